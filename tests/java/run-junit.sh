#!/usr/bin/env bash
# Runs one JUnit test class in a JVM with checked JNI; a JNI warning or error
# that the JVM prints fails the run even when every test passed.
#
# With NATIVEFILE_SANITIZER_RUNTIME set (a sanitized build), that runtime is
# preloaded into the JVM and every process it starts; their findings go to
# files, so that one in a child JVM fails the run too.
set -uo pipefail
java=$1 classpath=$2 test_class=$3
# The test JVM itself creates non-ASCII names with java.nio, which needs a
# UTF-8 locale; children that must run in another locale say so.
export LC_ALL=C.UTF-8
log=$(mktemp)
findings=$(mktemp -d -p "$PWD" sanitizer-findings.XXXXXX)
trap 'rm -rf "$log" "$findings"' EXIT
if [[ -n "${NATIVEFILE_SANITIZER_RUNTIME:-}" ]]; then
    # Children running as nobody write their findings here too.
    chmod 1777 "$findings"
    export LD_PRELOAD=$NATIVEFILE_SANITIZER_RUNTIME
    # The JVM handles SIGSEGV and the like itself, and frees little at exit.
    export ASAN_OPTIONS="handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:handle_abort=0:allow_user_segv_handler=1:detect_leaks=0:log_path=$findings/asan"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$findings/ubsan"
fi
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
"$java" -Xcheck:jni -Dnativefile.jars="$classpath" -Dnativefile.source="$source_dir" \
    -cp "$classpath:/usr/share/java/junit-platform-console-standalone.jar" \
    org.junit.platform.console.ConsoleLauncher \
    --disable-banner --disable-ansi-colors --fail-if-no-tests --details=tree \
    --select-class "$test_class" 2>&1 | tee "$log"
status=${PIPESTATUS[0]}
# Every text that checked JNI prints about a misuse (HotSpot's wording).
if grep -E -q 'in native method|WARNING: JNI|JNI local refs: [0-9]+, exceeds capacity|Warning: Calling other JNI functions|Warning: [A-Z0-9]+ handler modified' "$log"; then
    echo "run-junit: the JVM reported a JNI problem" >&2
    status=1
fi
if compgen -G "$findings/*" >/dev/null; then
    cat "$findings"/* >&2
    echo "run-junit: a sanitizer reported a finding" >&2
    status=1
fi
exit "$status"
