#!/usr/bin/env bash
# Builds hwmc and runs it on the example file; the report goes to
# examples/sample.out (appended to if it exists).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/ensure-packages.sh "Building hwmc" cmake g++ make libboost-math-dev
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build build -j"$(nproc)" --target hwmc
exec ./build/hwmc examples/sample.txt examples/sample.out
