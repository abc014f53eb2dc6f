#!/usr/bin/env bash
# make-plink-bench.sh DIR [BUILD]: writes the PLINK benchmark's filesets into
# DIR (when they are not there yet): p20k, 20 000 samples x 20 000 variants,
# and p100k, 100 000 samples x 2 000 variants (scripts/make-plink.py, seed
# 1), each with a copy of its .bim on chromosome X (PREFIX-x.bim). With the
# build folder BUILD it then times, side by side, `cat PREFIX.bed` from the
# page cache, `plink2 --bfile PREFIX --hardy`, `plink1.9 --bfile PREFIX
# --hardy` (hyperfine, 10 runs each after a warm-up, medians of the wall and
# of the CPU time) and the reader's counting (BUILD/bench/plink_bench, 5
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

command -v hyperfine >/dev/null || { echo "the timings need hyperfine" >&2; exit 1; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
median() {  # hyperfine's JSON: each command's median wall and CPU (user + system) time
  python3 -c 'import json, statistics, sys
for r in json.load(open(sys.argv[1]))["results"]:
    cpu = statistics.median(u + s for u, s in zip(r["user"], r["system"]))
    print("%9.1f ms wall %9.1f ms CPU  %s" % (1000 * r["median"], 1000 * cpu, r["command"]))' "$1"
}
for name in p20k p100k; do
  p="$dir/$name"
  echo "== $name: $(stat -c %s "$p.bed") bytes of .bed"
  cmds=("cat $p.bed")
  command -v plink2 >/dev/null && cmds+=("plink2 --bfile $p --hardy --out $out/$name-2")
  command -v plink1.9 >/dev/null && cmds+=("plink1.9 --bfile $p --hardy --out $out/$name-19")
  hyperfine -N --warmup 1 --runs 10 --output=null --export-json "$out/$name.json" "${cmds[@]}" >/dev/null
  median "$out/$name.json"
done
echo "== the reader (median of 5 repetitions)"
HWMC_PLINK_BENCH_DIR=$dir "$build/bench/plink_bench" --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true 2>/dev/null | grep -E '_median|^Benchmark'
