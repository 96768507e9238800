#!/usr/bin/env bash
# Builds the library, the jar and every test, and runs the tests (CTest) in
# three build trees:
#   build/       the tests as shipped, the native unit tests under memcheck, a
#                smoke pass of the benchmark suite, only to see that it still runs,
#                and the aarch64 library's tests in the arm64 JVM under qemu;
#   build-asan/  every test again with AddressSanitizer and UndefinedBehaviorSanitizer,
#                the JVMs with the sanitizer runtime preloaded;
#   build-fuzz/  the libFuzzer targets (clang), each for a bounded time.
# The second and third pack no aarch64 library: the first tests it already.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh test
jobs=$(nproc)
step() { echo "run-tests: ${SECONDS}s: $*"; }

step "tests as shipped, and memcheck"
cmake -S . -B build -DNATIVEFILE_TESTS=ON -DNATIVEFILE_BENCH=ON
cmake --build build -j"$jobs"
tools/bench.sh --smoke >/dev/null
(cd build && ctest --output-on-failure -j"$jobs" --timeout 600)

step "every test with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DNATIVEFILE_TESTS=ON -DNATIVEFILE_SANITIZE=ON -DNATIVEFILE_AARCH64=OFF
cmake --build build-asan -j"$jobs"
(cd build-asan && ctest --output-on-failure -j"$jobs" --timeout 600)

step "fuzzing"
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DNATIVEFILE_TESTS=OFF -DNATIVEFILE_FUZZ=ON -DNATIVEFILE_AARCH64=OFF
cmake --build build-fuzz -j"$jobs"
(cd build-fuzz && ctest --output-on-failure -j"$jobs" --timeout 600)
step "done"
