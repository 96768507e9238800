#!/bin/sh
# Runs Debian's arm64 JVM under qemu's user-mode emulation: the aarch64 runs of the Java tests,
# or by hand, as tools/java-aarch64.sh -jar build/nativefile.jar stat /. The
# emulator is named explicitly, so that binfmt_misc need not be registered (a container cannot);
# NATIVEFILE_EMULATOR tells the tests to start their child JVMs the same way.
java=/usr/lib/jvm/java-17-openjdk-arm64/bin/java
if ! emulator=$(command -v qemu-aarch64-static) || [ ! -x "$java" ]; then
    echo "java-aarch64.sh: SKIPPED: needs qemu-user-static and openjdk-17-jre-headless:arm64 (tools/install-deps.sh test)" >&2
    exit 77
fi
export NATIVEFILE_EMULATOR="$emulator -L /"
# Without binfmt_misc the JVM cannot start its arm64 spawn helper: it forks and execs instead.
exec $NATIVEFILE_EMULATOR "$java" -Djdk.lang.Process.launchMechanism=FORK "$@"
