#!/usr/bin/env bash
# Builds hwmc and runs every test (unit and end-to-end). On a fresh Debian
# machine, run as root, it first installs the packages the tests need that
# are missing; otherwise it says what to install.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${BUILD_DIR:-build}
scripts/ensure-packages.sh "The test suite" cmake g++ make pkg-config libgtest-dev \
  libboost-dev libboost-math-dev libhts-dev zlib1g-dev libeigen3-dev libmimalloc-dev \
  python3 python3-pyte python3-pil libfaketime tmux chromium fonts-dejavu-core librsvg2-bin \
  snakemake tabix bcftools plink2 plink1.9 xz-utils bzip2 zstd

cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON >/dev/null
# The tests copy the program as it was linked ($build_dir/uncounted/hwmc, taken
# at each link, never run); a build folder without that copy links once more.
[ -e "$build_dir/uncounted/hwmc" ] || rm -f "$build_dir/hwmc"
cmake --build "$build_dir" -j"$(nproc)"
ctest --test-dir "$build_dir" --output-on-failure -j"$(nproc)" "$@"
