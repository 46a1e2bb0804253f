#!/usr/bin/env bash
# The README's pictures of the call history's and one-click blocking's
# windows, taken by their tests while the real windows are open:
# history-pictures.sh [BUILD_DIR] (default build/win, already built) writes
# docs/context-menu.png (the call list's context menu, with an earlier run's
# calls in grey) and docs/config-preferences.png (the Preferences page and
# its "Keep a history of calls" box), and the Defaults, Non Phone Book Calls
# and Block Suspend pages with their boxes for who gets through
# (docs/config-defaults.png, docs/config-non-phone-book.png,
# docs/config-block-suspend.png), and the Messages page
# (docs/config-messages.png), and Check the modem after a ring test
# (docs/modem-check.png), and the statistics window over a small history
# (docs/statistics.png), and the entry sheet saying what a prefix entry would
# have blocked (docs/entry-preview.png).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/win}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
. "$root/tools/wine-env.sh"
RW_MENU_PICTURE="$(rw_winpath "$tmp")\\menu.bmp" bash "$root/tools/wine-exec.sh" "$build" \
    "$build/bin/win_tests.exe" \
    --gtest_filter=MainWindowHistoryTest.TheContextMenuOffersItsCommands >/dev/null
convert "$tmp/menu.bmp" "$root/docs/context-menu.png"
echo "wrote $root/docs/context-menu.png"
RW_PREFERENCES_PICTURE="$(rw_winpath "$tmp")\\preferences.bmp" bash "$root/tools/wine-exec.sh" \
    "$build" "$build/bin/config_sheet_tests.exe" \
    --gtest_filter=ConfigSheetTest.KeepHistoryBoxRoundTripsThroughTheSheet >/dev/null
convert "$tmp/preferences.bmp" "$root/docs/config-preferences.png"
echo "wrote $root/docs/config-preferences.png"
RW_PAGES_PICTURES="$(rw_winpath "$tmp")" bash "$root/tools/wine-exec.sh" \
    "$build" "$build/bin/config_sheet_tests.exe" \
    --gtest_filter=ConfigSheetTest.WhoGetsThroughBoxesRoundTripThroughTheSheet >/dev/null
for page in defaults non-phone-book block-suspend; do
    convert "$tmp/$page.bmp" "$root/docs/config-$page.png"
    echo "wrote $root/docs/config-$page.png"
done
RW_MESSAGES_PICTURE="$(rw_winpath "$tmp")\\messages.bmp" bash "$root/tools/wine-exec.sh" \
    "$build" "$build/bin/config_sheet_tests.exe" \
    --gtest_filter=ConfigSheetTest.MessagesPageRoundTripsThroughTheSheet >/dev/null
convert "$tmp/messages.bmp" "$root/docs/config-messages.png"
echo "wrote $root/docs/config-messages.png"
RW_MODEM_PICTURE="$(rw_winpath "$tmp")\\modem.bmp" bash "$root/tools/wine-exec.sh" \
    "$build" "$build/bin/win_tests.exe" \
    --gtest_filter=LineHealthWiringTest.CheckTheModemShowsAndCopiesTheReport >/dev/null
convert "$tmp/modem.bmp" "$root/docs/modem-check.png"
echo "wrote $root/docs/modem-check.png"
RW_STATISTICS_PICTURE="$(rw_winpath "$tmp")\\statistics.bmp" bash "$root/tools/wine-exec.sh" \
    "$build" "$build/bin/statistics_tests.exe" >/dev/null
convert "$tmp/statistics.bmp" "$root/docs/statistics.png"
echo "wrote $root/docs/statistics.png"
RW_ENTRY_PREVIEW_PICTURE="$(rw_winpath "$tmp")\\entry-preview.bmp" bash "$root/tools/wine-exec.sh" \
    "$build" "$build/bin/win_tests.exe" \
    --gtest_filter=MainWindowWiringTest.TheEntrySheetShowsWhatTheEntryWouldHaveBlocked >/dev/null
convert "$tmp/entry-preview.bmp" "$root/docs/entry-preview.png"
echo "wrote $root/docs/entry-preview.png"
# The statistics window over the demo's calls, once `bash tools/run.sh` has
# been run (its history is in BUILD_DIR/demo).
if [ -f "$build/demo/Ringwarden-calls.csv" ]; then
    cp "$build/demo/Ringwarden-calls.csv" "$tmp/demo-calls.csv"
    RW_STATISTICS_DEMO="$(rw_winpath "$tmp")\\demo-calls.csv" \
        RW_STATISTICS_DEMO_PICTURE="$(rw_winpath "$tmp")\\statistics-demo.bmp" \
        bash "$root/tools/wine-exec.sh" "$build" "$build/bin/statistics_tests.exe" \
        --gtest_filter=StatisticsDialog.PictureOfTheDemosCalls >/dev/null
    convert "$tmp/statistics-demo.bmp" "$root/docs/statistics-demo.png"
    echo "wrote $root/docs/statistics-demo.png"
fi
