#!/usr/bin/env bash
# make-plink-bench.sh DIR [BUILD]: writes the PLINK benchmark's filesets into
# DIR (when they are not there yet): p20k, 20 000 samples x 20 000 variants,
# and p100k, 100 000 samples x 2 000 variants (scripts/make-plink.py, seed
# 1), each with a copy of its .bim on chromosome X (PREFIX-x.bim). With the
# build folder BUILD it then times, side by side with hyperfine, `cat
# PREFIX.bed` from the page cache, `hwmc --bfile PREFIX --exact`, `plink2
# --bfile PREFIX --hardy` and `plink1.9 --bfile PREFIX --hardy` (each with its
# default threads: hwmc and plink2 all cores, plink1.9 one), 2 warm-up runs
# and RUNS (default 10) timed runs each, and prints the median wall time,
# the CPU time (user + system; hyperfine 1.15 gives its mean) and the CPU
# per genotype; then the reader's counting alone (BUILD/bench/plink_bench, 5
# repetitions, medians)
# where it is built. It also checks that each plink wrote a row per variant
# (plink1.9 three: all samples, cases, controls), so that neither time is a
# run that skipped sites. hwmc runs as a read-only copy of
# BUILD/uncounted/hwmc: a counted run rewrites the program file (tens of MB)
# as it ends. On a machine shared with other work compare figures of one run
# of the script only, and rather the CPU times.
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

command -v hyperfine >/dev/null || { echo "hyperfine is needed for the timings" >&2; exit 1; }
runs=${RUNS:-10}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cp "$build/uncounted/hwmc" "$out/hwmc"
chmod a-w "$out/hwmc"
# hyperfine's JSON gives each run's wall time and the mean user and system
# time (each run's, in later versions): the median wall, the median CPU
# where there are runs' times, else the mean, and the CPU per genotype.
summarise() {  # json genotypes
  python3 - "$1" "$2" <<'PY'
import json, statistics, sys
genotypes = int(sys.argv[2])
for r in json.load(open(sys.argv[1]))["results"]:
    wall = statistics.median(r["times"])
    user, system = r["user"], r["system"]
    if isinstance(user, list):
        cpu = statistics.median(u + s for u, s in zip(user, system))
    else:
        cpu = user + system
    print("%9.1f ms wall %9.1f ms CPU %7.3f ns CPU/genotype  %s"
          % (1000 * wall, 1000 * cpu, 1e9 * cpu / genotypes, r["command"]))
PY
}
for name in p20k p100k; do
  p="$dir/$name"
  samples=$(wc -l < "$p.fam")
  variants=$(wc -l < "$p.bim")
  echo "== $name: $samples samples x $variants variants, $(stat -c %s "$p.bed") bytes of .bed; load: $(cut -d' ' -f1-3 /proc/loadavg)"
  cat "$p.bed" "$p.bim" "$p.fam" > /dev/null  # into the page cache
  cmds=("cat $p.bed" "$out/hwmc --bfile $p --exact --seed 1")
  command -v plink2 >/dev/null && cmds+=("plink2 --bfile $p --hardy --out $out/$name-2")
  command -v plink1.9 >/dev/null && cmds+=("plink1.9 --bfile $p --hardy --out $out/$name-19")
  hyperfine -N --warmup 2 --runs "$runs" --style none --export-json "$out/$name.json" \
    "${cmds[@]}" > /dev/null
  summarise "$out/$name.json" $((samples * variants))
  if [ -e "$out/$name-2.hardy" ]; then
    echo "   plink2 --hardy rows: $(($(wc -l < "$out/$name-2.hardy") - 1)) (variants: $variants)"
  fi
  if [ -e "$out/$name-19.hwe" ]; then
    echo "   plink1.9 --hardy rows: $(($(wc -l < "$out/$name-19.hwe") - 1)) (3 x variants: $((3 * variants)))"
  fi
done
if [ -x "$build/bench/plink_bench" ]; then
  echo "== the reader (median of 5 repetitions)"
  HWMC_PLINK_BENCH_DIR=$dir "$build/bench/plink_bench" --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true 2>/dev/null | grep -E '_median|^Benchmark'
fi
