#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the two builds and their tests
# need and the machine does not have yet. Safe to run again: it only calls
# apt-get when something is missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    g++-mingw-w64-x86-64 gcc-mingw-w64-x86-64
    wine64 fonts-wine xvfb xauth x11-apps x11-utils imagemagick
    librsvg2-bin icoutils
    nsis zip
    espeak-ng sox
)
# espeak-ng and sox speak the demo's and the tests' messages at build time.
# The installer is built as a 64-bit NSIS program (Target amd64-unicode), so
# the 64-bit Wine runs it: no i386 architecture or wine32 is needed, and
# machines whose kernel cannot run 32-bit programs test it too.

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
