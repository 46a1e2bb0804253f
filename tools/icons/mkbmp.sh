#!/usr/bin/env bash
# Renders one SVG into the plain bitmap NSIS shows on setup's pages:
# mkbmp.sh SOURCE.svg OUTPUT.bmp WIDTH HEIGHT. NSIS reads only uncompressed
# 24-bit BMPs with the old (BITMAPINFOHEADER) header, so the picture is laid
# on white and written as such. Runs on the build host (rsvg-convert from
# librsvg2-bin, convert from imagemagick).
set -euo pipefail
src=$1 out=$2 width=$3 height=$4
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
rsvg-convert -w "$width" -h "$height" -o "$tmp/art.png" "$src"
convert "$tmp/art.png" -background white -flatten -type TrueColor "BMP3:$tmp/art.bmp"
mv "$tmp/art.bmp" "$out"
