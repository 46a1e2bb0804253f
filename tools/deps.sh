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
    dpkg-dev python3-openpyxl
)
# espeak-ng and sox speak the demo's and the tests' messages at build time.
# dpkg-dev unpacks the source packages below; Debian's python3-openpyxl
# (a reader no one here wrote) checks the workbooks the export writes.
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

# The workbook export is written with libxlsxwriter and zlib, built from
# Debian's own source packages (for mingw-w64 as well as natively), pinned
# to these versions. The sources go to build/third-party, outside Git.
xlsx_version=1.1.4-2
zlib_version=1:1.2.13.dfsg-1
root=$(cd "$(dirname "$0")/.." && pwd)
third=$root/build/third-party
if [ ! -f "$third/libxlsxwriter/include/xlsxwriter.h" ] || [ ! -f "$third/zlib/zlib.h" ]; then
    src_list=/etc/apt/sources.list.d/ringwarden-deb-src.sources
    if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
        echo "Adding a deb-src line for Debian's archive ($src_list)"
        # The same archive and suites as the binary packages come from.
        cat >"$src_list" <<'SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
        apt-get update -q
    fi
    rm -rf "$third.tmp"
    mkdir -p "$third.tmp"
    (cd "$third.tmp" && apt-get source -q "libxlsxwriter=$xlsx_version" "zlib=$zlib_version" </dev/null)
    mkdir -p "$third"
    rm -rf "$third/libxlsxwriter" "$third/zlib"
    mv "$third.tmp"/libxlsxwriter-*/ "$third/libxlsxwriter"
    mv "$third.tmp"/zlib-*/ "$third/zlib"
    rm -rf "$third.tmp"
    echo "libxlsxwriter $xlsx_version, zlib $zlib_version" >"$third/VERSIONS"
fi
