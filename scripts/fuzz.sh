#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang 14 (address and
# undefined-behaviour sanitizers) into build-fuzz and runs each for SECONDS.
#
#   scripts/fuzz.sh SECONDS [target...]     default: every *_fuzz target
#
# Every invocation works in a directory of its own, build-fuzz/runs/<time>-*,
# so that two of them never share files: each target starts from a fresh copy
# of tests/fuzz/corpus/<target> there (the committed seeds never grow by
# accident; the copy is deleted afterwards unless FUZZ_KEEP_CORPUS=1), and its
# log and any crash, hang (-timeout) or leak input stay there. A crash makes
# the script exit non-zero; a summary with executions, exec/s and coverage
# ends the output. FUZZ_PARALLEL=2 runs two targets at a time.
# On a fresh Debian machine, run as root, it first installs what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() { echo "usage: $0 SECONDS [target...]" >&2; exit 2; }
[ $# -ge 1 ] || usage
seconds=$1
shift
[[ "$seconds" =~ ^[1-9][0-9]*$ ]] || usage

scripts/ensure-packages.sh Fuzzing cmake make clang-14 libclang-rt-14-dev libboost-math-dev libhts-dev pkg-config

build_dir=build-fuzz
all_targets=()
for src in tests/fuzz/*_fuzz.cpp; do
  name=$(basename "$src" .cpp)
  all_targets+=("$name")
done
targets=("$@")
((${#targets[@]})) || targets=("${all_targets[@]}")
for t in "${targets[@]}"; do
  [ -f "tests/fuzz/$t.cpp" ] || { echo "unknown fuzz target: $t (have: ${all_targets[*]})" >&2; exit 2; }
done

# One build at a time in the shared build folder.
mkdir -p "$build_dir/runs"
exec 9>"$build_dir/.build-lock"
flock 9
CC=clang-14 CXX=clang++-14 cmake -S . -B "$build_dir" -DHWMC_FUZZ=ON -DBUILD_TESTING=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" --target "${targets[@]}" -j"$(nproc)"
flock -u 9
exec 9>&-

run_dir=$(mktemp -d "$build_dir/runs/$(date +%Y%m%d-%H%M%S)-XXXX")
echo "== run folder: $run_dir"

# libFuzzer's own options: the genotype reader and the statistics on 4 KiB
# files, a hang is anything beyond 10 s for one input.
run_target() {
  local t=$1
  local corpus="$run_dir/corpus/$t" artifacts="$run_dir/artifacts/$t/" log="$run_dir/$t.log"
  mkdir -p "$corpus" "$artifacts"
  cp tests/fuzz/corpus/"$t"/* "$corpus"/ 2>/dev/null || true
  local status=0
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build_dir/tests/fuzz/$t" "$corpus" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$artifacts" >"$log" 2>&1 || status=$?
  echo "$status" >"$log.status"
  [ "${FUZZ_KEEP_CORPUS:-0}" = 1 ] || rm -rf "$corpus"
}

summarise() {
  local t=$1 log="$run_dir/$1.log"
  local status execs rate line cov ft
  status=$(cat "$log.status")
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  line=$(grep -E '^#[0-9]+' "$log" | grep -E 'cov: ' | tail -1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$line")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$line")
  if [ "$status" = 0 ]; then
    printf '%-22s ok     execs %-10s exec/s %-7s cov %-5s ft %s\n' "$t" "${execs:-?}" "${rate:-?}" "${cov:-?}" "${ft:-?}"
  else
    printf '%-22s FAILED (exit %s), see %s and %s\n' "$t" "$status" "$log" "$run_dir/artifacts/$t/"
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error)' "$log" | head -5 || true
  fi
}

parallel=${FUZZ_PARALLEL:-1}
running=0
for t in "${targets[@]}"; do
  echo "== fuzzing $t for ${seconds}s"
  run_target "$t" &
  running=$((running + 1))
  if ((running >= parallel)); then
    wait -n || true
    running=$((running - 1))
  fi
done
wait

failed=0
echo "== fuzzing summary"
for t in "${targets[@]}"; do
  summarise "$t"
  [ "$(cat "$run_dir/$t.log.status")" = 0 ] || failed=1
done
exit "$failed"
