#!/usr/bin/env bash
# Line coverage of src/ under the whole suite: the native unit tests and the
# Java tests, whose JVMs (children as nobody and in private namespaces too)
# load the instrumented library packed in the jar. Prints the figure and the
# lines never executed; the annotated sources go to build-coverage/coverage/.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh coverage
cmake -S . -B build-coverage -DNATIVEFILE_TESTS=ON -DNATIVEFILE_COVERAGE=ON -DCMAKE_BUILD_TYPE=Debug
cmake --build build-coverage -j"$(nproc)"
# The unit tests and the library share the objects, so their counts add up
# in one set of files, which every test process must be able to update.
objects=build-coverage/CMakeFiles/nativefile_objects.dir
find "$objects" -name '*.gcda' -delete
chmod -R a+rwX "$objects"
(umask 0 && cd build-coverage && ctest --output-on-failure -j"$(nproc)" --timeout 600)
mkdir -p build-coverage/coverage
gcovr --root . --filter 'src/' --object-directory "$objects" \
    --html-details build-coverage/coverage/index.html --txt -
