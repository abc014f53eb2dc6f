#!/usr/bin/env bash
# Start-up cost of hwmc against a trivial C++ program built with the same
# compiler and flags: the best wall time of RUNS runs of each (default 15),
# side by side, in milliseconds.
#
#   bench/startup_time.sh [BUILD_DIR]      default: build
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${RUNS:-15}
hwmc="$build/uncounted/hwmc"
[ -x "$hwmc" ] || { echo "no $hwmc: build first" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '#include <cstdio>\nint main() { std::puts("1.0"); return 0; }\n' >"$work/trivial.cpp"
${CXX:-c++} -std=c++20 -O2 -g -ffp-contract=off -o "$work/trivial" "$work/trivial.cpp"
printf 'aa:25 ab:50 bb:25\n' >"$work/one.txt"
# The copy counts its runs next to itself: keep the count out of the tree.
cp "$hwmc" "$work/hwmc"

best_ms() {
  python3 - "$runs" "$@" <<'PY'
import subprocess, sys, time
runs = int(sys.argv[1]); cmd = sys.argv[2:]
best = float("inf")
for _ in range(runs):
    t = time.perf_counter()
    subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    best = min(best, time.perf_counter() - t)
print(f"{best * 1000:.2f}")
PY
}

printf '%-40s %s\n' "command" "best of $runs (ms)"
printf '%-40s %s\n' "trivial C++ program" "$(best_ms "$work/trivial")"
printf '%-40s %s\n' "hwmc --version" "$(best_ms "$work/hwmc" --version)"
printf '%-40s %s\n' "hwmc --batch one.txt" "$(best_ms "$work/hwmc" --batch "$work/one.txt")"
printf '%-40s %s\n' "hwmc --batch --exact one.txt" "$(best_ms "$work/hwmc" --batch --exact "$work/one.txt")"
