#!/usr/bin/env bash
# Builds hwmc (without the tests, in build-example/, apart from the test
# build in build/) and runs it on the example file; the report goes to
# examples/sample.out (appended to if it exists). Each run counts itself into
# build-example/hwmc (see the README).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/ensure-packages.sh "Building hwmc" cmake g++ make libboost-math-dev libhts-dev pkg-config \
  libmimalloc-dev
cmake -S . -B build-example -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build build-example -j"$(nproc)" --target hwmc
exec ./build-example/hwmc examples/sample.txt examples/sample.out
