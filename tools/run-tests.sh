#!/usr/bin/env bash
# Builds the library, the jar and every test; runs a smoke pass of the
# benchmark suite, only to see that it still runs, then the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh test
cmake -S . -B build -DNATIVEFILE_TESTS=ON -DNATIVEFILE_BENCH=ON
cmake --build build -j"$(nproc)"
tools/bench.sh --smoke >/dev/null
cd build
ctest --output-on-failure -j"$(nproc)" --timeout 600
