#!/usr/bin/env bash
# Runs one JUnit test class in a JVM with checked JNI; a JNI warning or error
# that the JVM prints fails the run even when every test passed.
set -uo pipefail
java=$1 classpath=$2 test_class=$3
# The test JVM itself creates non-ASCII names with java.nio, which needs a
# UTF-8 locale; children that must run in another locale say so.
export LC_ALL=C.UTF-8
log=$(mktemp)
trap 'rm -f "$log"' EXIT
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
"$java" -Xcheck:jni -Dnativefile.jars="$classpath" -Dnativefile.source="$source_dir" \
    -cp "$classpath:/usr/share/java/junit-platform-console-standalone.jar" \
    org.junit.platform.console.ConsoleLauncher \
    --disable-banner --disable-ansi-colors --fail-if-no-tests --details=tree \
    --select-class "$test_class" 2>&1 | tee "$log"
status=${PIPESTATUS[0]}
if grep -E -q 'WARNING in native method|FATAL ERROR in native method|JNI (warning|error)|WARNING: JNI' "$log"; then
    echo "run-junit: the JVM reported a JNI problem" >&2
    exit 1
fi
exit "$status"
