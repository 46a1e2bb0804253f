#!/usr/bin/env bash
# The README's picture of the call list's context menu (with an earlier
# run's calls in grey), taken by the main window's history test while the
# real menu is open: menu-picture.sh [BUILD_DIR] (default build/win, already
# built) writes docs/context-menu.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/win}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
. "$root/tools/wine-env.sh"
RW_MENU_PICTURE="$(rw_winpath "$tmp")\\menu.bmp" bash "$root/tools/wine-exec.sh" "$build" \
    "$build/bin/win_tests.exe" \
    --gtest_filter=MainWindowHistoryTest.TheContextMenuOffersItsFourCommands >/dev/null
convert "$tmp/menu.bmp" "$root/docs/context-menu.png"
echo "wrote $root/docs/context-menu.png"
