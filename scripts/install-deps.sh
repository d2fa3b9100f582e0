#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and benchmarks with, only when missing.
#   install-deps.sh           what the Linux build needs
#   install-deps.sh windows   that and the Windows cross build with Wine to run it
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    zlib1g-dev libisal-dev libdeflate-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libpng-dev libspng-dev libpixman-1-dev
    libfreetype-dev libfontconfig-dev fonts-wine fonts-dejavu-core
    qt6-base-dev xvfb x11-utils
    clang libclang-rt-14-dev
)
if [ "${1:-}" = windows ]; then
    packages+=(g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev wine wine64)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
