#!/usr/bin/env bash
# Builds the library and its jar, then runs the demo on it with the debug log on.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -DNATIVEFILE_TESTS=OFF
cmake --build build -j"$(nproc)"
mkdir -p build/examples
javac -d build/examples -cp build/nativefile.jar examples/Demo.java
__JNI_NATIVEFILE_DEBUG= java -cp build/nativefile.jar:build/examples Demo "$@"
