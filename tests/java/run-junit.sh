#!/usr/bin/env bash
# Runs one JUnit test class in a checked-JNI JVM; a JNI complaint fails the run. All that the run and
# its children (some as nobody) write, jars and sanitizer findings included, goes to one temp dir,
# removed at the end. NATIVEFILE_SANITIZER_RUNTIME (a sanitized build) is preloaded into every JVM.
set -uo pipefail
java=$1 classpath=$2 test_class=$3
export LC_ALL=C.UTF-8
work=$(mktemp -d -t nativefile-tests.XXXXXX)
trap 'rm -rf "$work"' EXIT
chmod 1777 "$work" && mkdir -m 1777 "$work/findings" && cp ${classpath//:/ } "$work/" && chmod 644 "$work"/*.jar
if [[ -n "${NATIVEFILE_SANITIZER_RUNTIME:-}" ]]; then
    export LD_PRELOAD=$NATIVEFILE_SANITIZER_RUNTIME
    # The JVM handles SIGSEGV and the like itself, and frees little at exit.
    export ASAN_OPTIONS="handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:handle_abort=0:allow_user_segv_handler=1:detect_leaks=0:log_path=$work/findings/asan"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$work/findings/ubsan"
fi
"$java" -Xcheck:jni -XX:-UsePerfData -Djava.io.tmpdir="$work" -Dnativefile.source="$(cd "$(dirname "$0")/../.." && pwd)" \
    -cp "$(printf '%s:' "$work"/*.jar)/usr/share/java/junit-platform-console-standalone.jar" org.junit.platform.console.ConsoleLauncher \
    --disable-banner --disable-ansi-colors --fail-if-no-tests --details=tree --select-class "$test_class" 2>&1 | tee "$work/log"
status=${PIPESTATUS[0]}
if grep -E -q 'in native method|WARNING: JNI|JNI local refs|Warning: Calling other JNI|handler modified' "$work/log"; then
    echo "run-junit: the JVM reported a JNI problem" >&2 && status=1
fi
if compgen -G "$work/findings/*" >/dev/null; then
    cat "$work"/findings/* >&2 && echo "run-junit: a sanitizer reported a finding" >&2 && status=1
fi
exit "$status"
