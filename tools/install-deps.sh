#!/usr/bin/env bash
# Installs the Debian packages that building needs, and with "test" what
# the tests need (memcheck, clang and its sanitizer and fuzzer runtimes), with
# "coverage" what tools/coverage.sh needs. Installs nothing that is there
# already; root is needed only when something is missing.
set -euo pipefail

# The jar's linux-aarch64 library is cross-compiled against Debian's arm64
# packages (multiarch); the tests run it in Debian's arm64 JVM under qemu.
packages=(g++ cmake make openjdk-17-jdk-headless libacl1-dev libcap-dev libmount-dev
          g++-aarch64-linux-gnu libacl1-dev:arm64 libcap-dev:arm64 libmount-dev:arm64)
case "${1:-}" in
test) packages+=(libgtest-dev libgmock-dev libbenchmark-dev junit5 locales util-linux mount coreutils e2fsprogs attr acl libcap2-bin
                 groff-base valgrind clang libclang-rt-14-dev libarchive-tools findutils qemu-user-static openjdk-17-jre-headless:arm64) ;;
coverage) packages+=(libgtest-dev libgmock-dev junit5 locales util-linux mount e2fsprogs attr acl libcap2-bin valgrind gcovr) ;;
esac

# A package counts only in the architecture its name asks for, else the
# machine's own (or as arch: all): another architecture's libmount-dev has
# headers but no library to link.
arch=$(dpkg --print-architecture)
missing=()
for package in "${packages[@]}"; do
    want=$arch
    [[ $package == *:* ]] && want=${package#*:}
    if ! dpkg-query -W -f='${Status} ${Architecture}\n' "$package" 2>/dev/null | grep -Eq "install ok installed ($want|all)$"; then
        missing+=("$package")
    fi
done
((${#missing[@]} == 0)) && exit 0

if [[ "$(id -u)" != 0 ]]; then
    echo "install-deps: missing packages: ${missing[*]}; run this as root to install them" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx arm64; then
    dpkg --add-architecture arm64
fi
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
