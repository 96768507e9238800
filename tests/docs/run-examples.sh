#!/usr/bin/env bash
# Runs every example of README.md and docs/*.md fenced as ```sh runnable or ```java runnable, each in
# a fresh temp dir holding nativefile.jar, with bin/nativefile on the PATH. A java block is compiled
# and run as its public class. Where a block is followed by one fenced ```output, the example must
# print exactly that (standard error included). A failure names the block's file and line.
# Then the README's table must give each command's usage line, and the manual page, as groff
# shows it, must hold the help texts line for line.
set -uo pipefail
shopt -s nullglob
source=$1 jar=$2 javac=$3 java=$4 manual=$5
work=$(mktemp -d -t nativefile-examples.XXXXXX)
trap 'rm -rf "$work"' EXIT
export PATH="$source/bin:$PATH" NATIVEFILE_JAR="$jar" LC_ALL=C.UTF-8
failed=0 count=0

run() { # kind, file, line; the block in $work/block, its expected output (if any) in $work/expected
    local dir class
    dir=$(mktemp -d "$work/example.XXXXXX") && cp "$jar" "$dir/nativefile.jar" && count=$((count + 1))
    if [[ $1 == java ]]; then
        class=$(sed -n 's/^public class \([A-Za-z0-9_]*\).*/\1/p' "$work/block")
        cp "$work/block" "$dir/$class.java"
        (cd "$dir" && "$javac" -cp nativefile.jar "$class.java" && "$java" -cp nativefile.jar:. "$class") >"$work/actual" 2>&1
    else
        (cd "$dir" && bash -euo pipefail "$work/block") >"$work/actual" 2>&1
    fi || { echo "$2:$3: the example failed:" && cat "$work/actual" && failed=1 && return 0; }
    if [[ -e $work/expected ]] && ! diff -u "$work/expected" "$work/actual" >"$work/diff"; then
        echo "$2:$3: the example printed something else:" && cat "$work/diff" && failed=1
    fi
    return 0
}

cd "$source" || exit 1
for file in README.md docs/*.md; do
    kind='' number=0 pending=''
    while IFS= read -r text || [[ -n $text ]]; do
        number=$((number + 1))
        if [[ -n $kind ]]; then
            if [[ $text == '```' ]]; then
                if [[ $kind == output ]]; then
                    run $pending && pending=''
                else
                    pending="$kind $file $start" && rm -f "$work/expected"
                fi
                kind=''
            else
                printf '%s\n' "$text" >>"$work/$([[ $kind == output ]] && echo expected || echo block)"
            fi
        elif [[ $text =~ ^\`\`\`(sh|java)\ runnable$ ]]; then
            if [[ -n $pending ]]; then run $pending; fi
            kind=${BASH_REMATCH[1]} start=$number pending='' && : >"$work/block"
        elif [[ $text == '```output' && -n $pending ]]; then
            kind=output && : >"$work/expected"
        elif [[ -n $text && -n $pending ]]; then
            run $pending && pending=''
        fi
    done <"$file"
    if [[ -n $pending ]]; then run $pending; fi
done
echo "run-examples: $count examples, $([[ $failed == 0 ]] && echo all passed || echo some failed)"

trim() { sed 's/^ *//; s/ *$//; /^$/d'; }
nativefile --help | trim >"$work/help"
commands=$(nativefile --help | sed -n '/^Commands:/,/^$/s/^  \([a-z]*\) .*/\1/p')
for command in $commands; do nativefile "$command" --help | trim; done >>"$work/help"
# The README's tour of the command gives each command as its usage line does.
sed -n 's/^Usage: nativefile \([a-z]\)/\1/p' "$work/help" | while IFS= read -r usage; do
    grep -qF "| \`${usage//|/\\|}\` |" README.md || echo "run-examples: README.md's table lacks '$usage'"
done | grep . && failed=1

command -v groff >/dev/null || { echo "run-examples: no groff to read the manual page (tools/install-deps.sh test)"; exit $((failed ? 1 : 77)); }
# The page from its first help line to the line before its footer, less the headings of its sections.
groff -man -Tutf8 -P-cbou -rLL=300n "$manual" | trim | sed -n '/^Usage: nativefile \[/,$p' | sed '$d' |
    grep -vxF -e COMMANDS $(printf -- '-e %s ' $commands) >"$work/page"
diff -u "$work/help" "$work/page" || { echo "run-examples: the manual page and --help disagree" && failed=1; }
exit "$failed"
