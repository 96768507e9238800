#!/usr/bin/env bash
# Instructions per call of each native method (and of its floor) in user
# space, counted by callgrind: unlike timings, repeatable on a loaded machine,
# so a change to the library can be judged by it. Needs the build of
# tools/bench.sh and valgrind.
#
#   tools/bench-instructions.sh [CASE...]    cases of nativefile_floor, default all native/*
#
# The locale is the caller's: LC_ALL=C.UTF-8, LC_ALL=C, or a Latin-1 locale.
set -euo pipefail
cd "$(dirname "$0")/.."
floor=build/bench/nativefile_floor
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
java -cp build/nativefile.jar:build/bench/nativefile-bench.jar com.zel.io.file.bench.Bench --fixture "$work/files"

# Total instructions of N calls.
count() {
    valgrind --tool=callgrind --callgrind-out-file="$work/out" "$floor" --count "$1" "$2" "$work/files" \
        2>&1 >/dev/null | sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}

cases=("$@")
if ((${#cases[@]} == 0)); then
    mapfile -t cases < <("$floor" --benchmark_list_tests=true "$work/files" | grep '^native/')
fi
printf '| Case | instructions per call |\n|---|--:|\n'
for name in "${cases[@]}"; do
    # The difference of two runs leaves out the program's start and end.
    one=$(count "$name" 200)
    two=$(count "$name" 400)
    printf '| %s | %d |\n' "$name" $(((two - one) / 200))
done
