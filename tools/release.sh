#!/usr/bin/env bash
# The release command: builds the release Ringwarden.exe (build/release,
# mingw-w64, Release configuration) and puts into dist/
#   Ringwarden-1.00-setup.exe      the installer (NSIS)
#   Ringwarden-1.00-portable.zip   Ringwarden.exe, rwlinesim.dll, rwcfg.exe,
#                                  help/ and ReadMe.txt, to unpack anywhere
#   SHA256SUMS                     checksums of both
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/deps.sh"

version=1.00
build="$root/build/release"
dist="$root/dist"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" >/dev/null
cmake --build "$build" --target Ringwarden --target rwlinesim --target rwcfg --target rw_installer_art
bin="$build/bin"
# Nothing of the build machine's paths or symbols in what ships.
for f in Ringwarden.exe rwlinesim.dll rwcfg.exe; do
    x86_64-w64-mingw32-strip --strip-unneeded "$bin/$f"
done

mkdir -p "$dist"
setup="$dist/Ringwarden-$version-setup.exe"
zip="$dist/Ringwarden-$version-portable.zip"
rm -f "$setup" "$zip" "$dist/SHA256SUMS"

makensis -V2 -DBIN_DIR="$bin" -DART_DIR="$build/installer" -DOUT_FILE="$setup" "$root/installer/Ringwarden.nsi"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
portable="$stage/Ringwarden-$version"
mkdir -p "$portable"
cp "$bin/Ringwarden.exe" "$bin/rwlinesim.dll" "$bin/rwcfg.exe" "$portable/"
cp -r "$bin/help" "$portable/"
# Windows line ends for Notepad.
sed 's/$/\r/' "$root/installer/ReadMe.txt" >"$portable/ReadMe.txt"
(cd "$stage" && zip -q -r -X "$zip" "Ringwarden-$version")

(cd "$dist" && sha256sum "$(basename "$setup")" "$(basename "$zip")" >SHA256SUMS)
echo "Release $version in $dist:"
ls -l "$setup" "$zip" "$dist/SHA256SUMS"
cat "$dist/SHA256SUMS"
