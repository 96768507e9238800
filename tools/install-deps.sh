#!/usr/bin/env bash
# Installs the Debian packages that building (and, with "test", testing and
# benchmarking) needs. Installs nothing that is there already; root is needed only when
# something is missing.
set -euo pipefail

packages=(g++ cmake make openjdk-17-jdk-headless)
if [[ "${1:-}" == test ]]; then
    packages+=(libgtest-dev libgmock-dev libbenchmark-dev valgrind junit5 locales util-linux mount)
fi

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
