#!/usr/bin/env bash
# The README's pictures of the tray icon in each state, taken from Wine's
# virtual desktop taskbar by the tray test: tray-pictures.sh [BUILD_DIR]
# (default build/win, already built) writes docs/tray-states.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/win}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
. "$root/tools/wine-env.sh"
RW_TRAY_PICTURES=$(rw_winpath "$tmp") bash "$root/tools/wine-exec.sh" "$build" \
    "$build/bin/tray_tests.exe" --gtest_filter=TrayIconTest.RealShellTakesEveryState >/dev/null
parts=()
for state in idle permitting blocking not-watching warning; do
    convert "$tmp/tray-$state.bmp" -filter point -resize 300% \
        -bordercolor white -border 6 "$tmp/$state.png"
    parts+=("$tmp/$state.png")
done
convert "${parts[@]}" +append "$root/docs/tray-states.png"
echo "wrote $root/docs/tray-states.png"
