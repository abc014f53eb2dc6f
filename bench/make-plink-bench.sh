#!/usr/bin/env bash
# make-plink-bench.sh DIR [BUILD]: writes the PLINK benchmark's filesets into
# DIR (when they are not there yet): p20k, 20 000 samples x 20 000 variants,
# and p100k, 100 000 samples x 2 000 variants (scripts/make-plink.py, seed
# 1), each with a copy of its .bim on chromosome X (PREFIX-x.bim). With the
# build folder BUILD it then times, side by side, `cat PREFIX.bed` from the
# page cache, `hwmc --bfile PREFIX --exact`, `plink2 --bfile PREFIX
# --hardy`, `plink1.9 --bfile PREFIX --hardy` (10 runs each after a warm-up, medians of the wall and of the CPU
# time) and the reader's counting (BUILD/bench/plink_bench, 5
# repetitions, medians). On a machine shared with other work the CPU times
# are the ones to compare.
set -euo pipefail
dir=${1:?usage: make-plink-bench.sh DIR [BUILD]}
build=${2:-}
here=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$dir"
make_fileset() {  # name samples variants
  if [ ! -e "$dir/$1.bed" ]; then
    python3 "$here/scripts/make-plink.py" "$dir/$1" "$2" "$3" 1
  fi
  sed 's/^1\t/X\t/' "$dir/$1.bim" > "$dir/$1-x.bim"
}
make_fileset p20k 20000 20000
make_fileset p100k 100000 2000
ls -l "$dir"
[ -n "$build" ] || exit 0

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# Each command once to warm the page cache, then 10 times: the medians of
# the wall time and of the CPU time (user + system, from the children's
# resource use), standard output to /dev/null.
time_commands() {
  python3 - "$@" <<'PY'
import resource, shlex, statistics, subprocess, sys, time
for command in sys.argv[1:]:
    walls, cpus = [], []
    for run in range(11):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        subprocess.run(shlex.split(command), check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        wall = time.perf_counter() - start
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        if run:
            walls.append(wall)
            cpus.append(after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)
    print("%9.1f ms wall %9.1f ms CPU  %s" % (1000 * statistics.median(walls),
                                             1000 * statistics.median(cpus), command))
PY
}
for name in p20k p100k; do
  p="$dir/$name"
  echo "== $name: $(stat -c %s "$p.bed") bytes of .bed"
  cmds=("cat $p.bed" "$build/hwmc --bfile $p --exact --seed 1")
  command -v plink2 >/dev/null && cmds+=("plink2 --bfile $p --hardy --out $out/$name-2")
  command -v plink1.9 >/dev/null && cmds+=("plink1.9 --bfile $p --hardy --out $out/$name-19")
  time_commands "${cmds[@]}"
done
echo "== the reader (median of 5 repetitions)"
HWMC_PLINK_BENCH_DIR=$dir "$build/bench/plink_bench" --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true 2>/dev/null | grep -E '_median|^Benchmark'
