#!/usr/bin/env bash
# Builds the library, the jar and every test, and runs the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh test
cmake -S . -B build -DNATIVEFILE_TESTS=ON
cmake --build build -j"$(nproc)"
cd build
ctest --output-on-failure -j"$(nproc)" --timeout 600
