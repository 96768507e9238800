#!/usr/bin/env bash
# Mutation testing: how many of the realistic faults listed in
# tools/mutants.tsv does the test suite catch? Each fault is put into a
# scratch copy of the work tree in turn, the copy rebuilt and the suite run.
#
#   tools/mutate.sh [--only ID[,ID]...] [--list FILE] [-E REGEX] [-R REGEX]
#
# --only runs just the named rows, --list reads another table, -E and -R go
# to ctest (e.g. -E memcheck to leave out the slowest test). A row's text must
# occur exactly once in its file, else the row is STALE; a fault that does not
# compile is NOBUILD. Neither counts in the score.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
list=$repo/tools/mutants.tsv
only=
ctest_args=()
while (($#)); do
    case $1 in
        --only) only=",$2,"; shift 2 ;;
        --list) list=$(realpath "$2"); shift 2 ;;
        -E | -R) ctest_args+=("$1" "$2"); shift 2 ;;
        *) echo "mutate: unknown argument '$1'" >&2; exit 2 ;;
    esac
done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/mutate.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
# The work tree as it stands, uncommitted edits included, without the build
# trees and whatever else git ignores. The caller's tree is only ever read.
tree=$scratch/tree
mkdir "$tree"
(cd "$repo" && git ls-files -co --exclude-standard -z | tar --null -T - --ignore-failed-read -cf -) |
    tar -xf - -C "$tree"
cd "$tree"
log=$scratch/step.log
original=$scratch/original

build() { cmake --build build -j"$(nproc)" >"$log" 2>&1 </dev/null; }
suite() { (cd build && ctest --stop-on-failure -j2 --timeout 300 "${ctest_args[@]}") >"$log" 2>&1 </dev/null; }

start=$SECONDS
# A fault shows natively as well as under emulation: the slow aarch64 runs stay out.
cmake -S . -B build -DNATIVEFILE_TESTS=ON -DNATIVEFILE_AARCH64=OFF >"$log" 2>&1 </dev/null && build ||
    { tail -n 40 "$log"; echo "mutate: the tree does not build as it is" >&2; exit 1; }
suite || { tail -n 40 "$log"; echo "mutate: the suite fails without any fault" >&2; exit 1; }
echo "mutate: build and suite green in $((SECONDS - start)) s"

# Replaces the one occurrence of $FROM in the file by $TO, literally: the rows
# hold &, |, \ and quotes, which no sed expression takes as they stand.
apply() {
    python3 - "$1" <<'EOF'
import os, sys
path, old, new = sys.argv[1], os.environ["FROM"], os.environ["TO"]
with open(path, encoding="utf-8") as f:
    text = f.read()
if text.count(old) != 1:
    sys.exit(3)
with open(path, "w", encoding="utf-8") as f:
    f.write(text.replace(old, new))
EOF
}

caught=0 survived=0 nobuild=0 stale=0
survivors=()
report() { printf '%-8s %-22s %s\n' "$1" "$id" "$what"; }
# The table is read on its own descriptor: nothing in the loop may eat it.
while IFS= read -r -u 3 line || [[ -n $line ]]; do
    [[ -z $line || $line == '#'* ]] && continue
    # Tabs become a non-blank separator so that an empty "to" stays a field.
    IFS=$'\x1f' read -r id file from to what <<<"${line//$'\t'/$'\x1f'}"
    [[ -n $only && $only != *",$id,"* ]] && continue
    case $file in src/* | java/src/*) ;; *) report STALE; ((++stale)); continue ;; esac
    if [[ ! -f $file ]]; then report STALE; ((++stale)); continue; fi
    cp "$file" "$original"
    if ! FROM=$from TO=$to apply "$file"; then report STALE; ((++stale)); continue; fi
    if ! build; then
        report NOBUILD; ((++nobuild))
    elif suite; then
        report SURVIVED; ((++survived)); survivors+=("$id	$what")
    else
        report caught; ((++caught))
    fi
    # A plain copy, not cp -p: the restored file must be newer than the
    # mutant's objects, or the next build would keep them.
    cp "$original" "$file"
done 3<"$list"

scored=$((caught + survived))
echo "score: $caught/$scored ($((scored ? 100 * caught / scored : 0))%)"
echo "not scored: $nobuild NOBUILD, $stale STALE; $((SECONDS - start)) s in all"
if ((${#survivors[@]})); then
    echo "survivors:"
    printf '  %s\n' "${survivors[@]}"
fi
