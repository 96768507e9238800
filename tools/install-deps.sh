#!/usr/bin/env bash
# Installs the Debian packages that building needs, and with "test" what
# the tests need (memcheck, clang and its sanitizer and fuzzer runtimes), with
# "coverage" what tools/coverage.sh needs. Installs nothing that is there
# already; root is needed only when something is missing.
set -euo pipefail

packages=(g++ cmake make openjdk-17-jdk-headless)
case "${1:-}" in
test) packages+=(libgtest-dev libgmock-dev libbenchmark-dev junit5 locales util-linux mount e2fsprogs attr groff-base valgrind clang libclang-rt-14-dev) ;;
coverage) packages+=(libgtest-dev libgmock-dev junit5 locales util-linux mount e2fsprogs valgrind gcovr) ;;
esac

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
((${#missing[@]} == 0)) && exit 0

if [[ "$(id -u)" != 0 ]]; then
    echo "install-deps: missing packages: ${missing[*]}; run this as root to install them" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
