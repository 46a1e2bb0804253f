#!/usr/bin/env bash
# Renders one SVG at the given pixel sizes and packs the pictures into a
# Windows .ico: mkico.sh SOURCE.svg OUTPUT.ico SIZE... Sizes of 256 and more
# are stored as PNG, as Windows expects for them; the rest as bitmaps, which
# every version reads. Runs on the build host (rsvg-convert from librsvg2-bin,
# icotool from icoutils).
set -euo pipefail
src=$1 out=$2
shift 2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
args=()
for size in "$@"; do
    png="$tmp/$size.png"
    rsvg-convert -w "$size" -h "$size" -o "$png" "$src"
    if ((size >= 256)); then args+=(-r "$png"); else args+=("$png"); fi
done
icotool -c -o "$out.tmp" "${args[@]}"
mv "$out.tmp" "$out"
