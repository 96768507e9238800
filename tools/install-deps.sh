#!/usr/bin/env bash
# Installs the Debian packages that building needs, and with "test" what
# the tests need (memcheck, clang and its sanitizer and fuzzer runtimes), with
# "coverage" what tools/coverage.sh needs. Installs nothing that is there
# already; root is needed only when something is missing.
set -euo pipefail

packages=(g++ cmake make openjdk-17-jdk-headless libmount-dev)
case "${1:-}" in
test) packages+=(libgtest-dev libgmock-dev libbenchmark-dev junit5 locales util-linux mount coreutils e2fsprogs attr valgrind clang libclang-rt-14-dev) ;;
coverage) packages+=(libgtest-dev libgmock-dev junit5 locales util-linux mount e2fsprogs valgrind gcovr) ;;
esac

# A package counts only in the machine's own architecture (or as arch: all):
# another architecture's libmount-dev has headers but no library to link.
arch=$(dpkg --print-architecture)
missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status} ${Architecture}\n' "$package" 2>/dev/null | grep -Eq "install ok installed ($arch|all)$"; then
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
