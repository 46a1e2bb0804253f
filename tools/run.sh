#!/usr/bin/env bash
# The run command: installs what is missing, builds Ringwarden.exe and runs
# it under Wine in a private prefix, watching the line simulator
# (--line-simulator). Further arguments go to Ringwarden.exe.
# Without a DISPLAY it starts its own Xvfb and keeps a screenshot of the
# Wine desktop up to date so the window can be seen.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/deps.sh"
. "$root/tools/build.sh"
. "$root/tools/wine-env.sh"

rw_build_win --target Ringwarden --target rwlinesim
build="$root/build/win"

own_display=0
[ -n "${DISPLAY:-}" ] || own_display=1
rw_wine_env "$build"

shot="$build/screenshot.png"
shooter=
if ((own_display)); then
    echo "No DISPLAY: Ringwarden runs on a private X display ($DISPLAY) inside a Wine virtual desktop."
    echo "To see it, open $shot (refreshed every 5 seconds), or run:"
    echo "  DISPLAY=$DISPLAY xwd -root -silent | convert xwd:- shot.png"
    (
        while sleep 5; do
            xwd -root -silent -display "$DISPLAY" 2>/dev/null | convert xwd:- "$shot.tmp.png" 2>/dev/null &&
                mv -f "$shot.tmp.png" "$shot"
        done
    ) </dev/null >/dev/null 2>&1 &
    shooter=$!
fi

cleanup() {
    [ -n "$shooter" ] && kill "$shooter" 2>/dev/null
    "$RW_WINESERVER" -k 2>/dev/null || true
    ((own_display)) && rw_stop_display "$build"
    return 0
}
trap cleanup EXIT
trap 'exit 130' INT TERM

echo "Starting Ringwarden (close it with its Quit button, or press Ctrl+C here)."
set +e
"$RW_WINE" "$build/bin/Ringwarden.exe" --line-simulator "$@"
rc=$?
set -e
echo "Ringwarden ended (exit code $rc)."
exit $rc
