#!/usr/bin/env bash
# Builds the library, its jar and the Javadoc, then runs the nativefile command
# on this machine: a set-user-ID program and a sticky directory, which Java's
# own API cannot show, and every mount point. Arguments, if any, are run as a
# nativefile command line instead.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -DNATIVEFILE_TESTS=OFF
cmake --build build -j"$(nproc)"
if (($# > 0)); then
    exec bin/nativefile "$@"
fi
echo
echo '$ bin/nativefile stat /usr/bin/passwd /tmp'
bin/nativefile stat /usr/bin/passwd /tmp
echo
echo '$ bin/nativefile mounts'
bin/nativefile mounts
