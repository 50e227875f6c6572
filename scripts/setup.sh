#!/usr/bin/env bash
# Installs every system package the project needs, from Debian's archive.
# This is the only list of packages; the build and test scripts call it.
# Installs only what is missing, so running it again is cheap.
set -euo pipefail

PACKAGES=(
    # toolchain
    build-essential cmake pkg-config clang libclang-rt-14-dev g++-multilib
    # test and benchmark libraries
    libgtest-dev libgmock-dev libbenchmark-dev
    # audio files, property lists
    libsndfile1-dev libplist-dev
    # drawing, images, windows, fonts
    libcairo2-dev libpng-dev libjpeg-dev libx11-dev libxtst-dev fonts-dejavu-core
    # X server and tools for the window tests
    xvfb xauth x11-utils xdotool
    # third-party counterparts used by tests and benchmarks
    lsp-plugins-vst sox ladspa-sdk ardour swh-plugins caps
)

missing=()
for package in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=()
if [[ $(id -u) -ne 0 ]]; then
    SUDO=(sudo)
fi
"${SUDO[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
