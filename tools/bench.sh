#!/usr/bin/env bash
# Builds the library and the benchmark suite, then runs it: the floor (system
# calls in C++, a bare JNI call), every native method and Java's own
# equivalents, in the UTF-8, C and a Latin-1 locale, and the queries on 1 and
# 2 threads. Writes results.md and results.json to build/bench/results.
#
#   tools/bench.sh                 the full run (some 10 minutes)
#   tools/bench.sh --forks 5 --rounds 40
#   tools/bench.sh --smoke         a few seconds, only to see that it all runs
#                                  (results in build/bench/smoke)
#   tools/bench.sh --threads [--rounds N] [--round-ms N] [--forks N]
#                                  the mount table on 1 and 2 threads alone, each round
#                                  beside libmount's own read in C (threads.md)
#   tools/bench.sh --trees [--rounds N] [--smoke]
#                                  whole trees instead (TreeBench): scan, walk, Java's
#                                  walk, find, ls -lR and the C floor, per entry, on a
#                                  tree of 100,000 entries made in build/bench/results
#
# Timings depend on the machine's load: this is no pass/fail test.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh test
cmake -S . -B build -DNATIVEFILE_BENCH=ON >/dev/null
cmake --build build -j"$(nproc)" >/dev/null
out=build/bench/results
[[ " $* " == *" --smoke "* ]] && out=build/bench/smoke
if [[ "${1:-}" == --trees ]]; then
    shift
    exec java -Dnativefile.bench.treefloor="$PWD/build/bench/nativefile_tree_floor" \
        -Dcom.zel.io.file.library="$PWD/build/libNativeFile.so" \
        -cp build/nativefile.jar:build/bench/nativefile-bench.jar \
        com.zel.io.file.bench.TreeBench --out "$out" "$@"
fi
exec java -Dnativefile.bench.floor="$PWD/build/bench/nativefile_floor" \
    -Dnativefile.bench.barejni="$PWD/build/bench/libNativeFileBareJni.so" \
    -Dcom.zel.io.file.library="$PWD/build/libNativeFile.so" \
    -cp build/nativefile.jar:build/bench/nativefile-bench.jar \
    com.zel.io.file.bench.Bench --out "$out" "$@"
