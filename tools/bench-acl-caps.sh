#!/usr/bin/env bash
# Times reading a file's ACL and its capability set: the library through the
# JVM, the frame floor (the same calls the library makes, in C), the C floor
# (acl_get_file, cap_get_file) and getfacl and getcap run as processes. Needs
# root (setcap). Prints a Markdown table of CPU time per call, wall-clock time
# in parentheses; timings depend on the machine's load: this is no pass/fail
# test.
#
#   tools/bench-acl-caps.sh [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh test
cmake -S . -B build -DNATIVEFILE_BENCH=ON >/dev/null
cmake --build build -j2 --target nativefile_bench >/dev/null
exec java -Dnativefile.bench.aclcapfloor="$PWD/build/bench/nativefile_acl_cap_floor" \
    -Dcom.zel.io.file.library="$PWD/build/libNativeFile.so" \
    -cp build/nativefile.jar:build/bench/nativefile-bench.jar \
    com.zel.io.file.bench.AclCapBench "$@"
