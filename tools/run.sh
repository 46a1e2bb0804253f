#!/usr/bin/env bash
# The run command: installs what is missing, builds Ringwarden.exe and runs
# it under Wine in a private prefix, watching the line simulator
# (--line-simulator), with the demo phone book (tools/demo/phonebook.csv).
# Without arguments an earlier run first takes three calls
# (tools/demo/earlier.txt), then the simulator plays the demo's ten
# callers, one of them blocked from the call list's context menu by the demo
# user (tools/demo/DemoUser.cpp), two of them leaving a spoken message, and a
# line the service closes for a moment (tools/demo/calls.txt); Ringwarden
# quits after under three minutes; any
# arguments go to Ringwarden.exe instead of the demo script (for example
# nothing but the simulator's own window: bash tools/run.sh --sim-window).
# Without a DISPLAY it starts its own Xvfb and keeps a screenshot of the
# Wine desktop up to date so the window can be seen.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/deps.sh"
. "$root/tools/build.sh"
. "$root/tools/wine-env.sh"

rw_build_win --target Ringwarden --target rwlinesim --target rwcfg --target rwdemouser
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
            rw_screenshot "$shot"
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

# A fresh copy of the program in a folder of its own, so that its
# Ringwarden.cfg (kept beside the executable) is the demo's.
demo="$build/demo"
rw_program_copy "$build" "$demo"
winpath() { rw_winpath "$@"; }
message=$(winpath "$demo/message.wav")
sed "s|@MESSAGE@|${message//\\/\\\\}|" "$root/tools/demo/phonebook.csv" >"$demo/phonebook.csv"
"$RW_WINE" "$build/bin/rwcfg.exe" import-csv "$(winpath "$demo/phonebook.csv")" \
    "$(winpath "$demo/Ringwarden.cfg")" </dev/null
cp "$root/tools/demo/calls.txt" "$root/tools/demo/earlier.txt" "$demo/"
# The two callers who leave a message speak, at the modem's 8 kHz.
rw_speak "$demo/voice-surgery.wav" \
    "Hello, this is the surgery. Your test results are back. Please ring us tomorrow after nine."
rw_speak "$demo/voice-plumber.wav" "Hi, it's Chris the plumber. I can come on Thursday morning."
# The demo asks unknown callers to press a key (off by default).
printf '[Screening]\r\nKeyCheck=1\r\n' >"$demo/Ringwarden.ini"

args=("$@")
demo_user=
if ((${#args[@]} == 0)); then
    echo "An earlier run: three calls in 17 seconds (tools/demo/earlier.txt), kept in"
    echo "the call history (Ringwarden-calls.csv beside Ringwarden.cfg)."
    (cd "$demo" && "$RW_WINE" Ringwarden.exe --line-simulator \
        --sim-script "$(winpath "$demo/earlier.txt")" --sim-quiet) || true
    echo "What the simulated line can do (Ringwarden.exe --check-modem, kept in"
    echo "modem-report.txt beside the demo's configuration):"
    (cd "$demo" && "$RW_WINE" Ringwarden.exe --line-simulator --sim-quiet \
        --check-modem "$(winpath "$demo/modem-report.txt")" </dev/null) &&
        tr -d '\r' <"$demo/modem-report.txt" || true
    args=(--sim-script "$(winpath "$demo/calls.txt")")
    echo "Demo: the earlier run's calls in grey; callers, two leaving a message, one"
    echo "blocked from the call list's context menu, a quiet half hour turned on and off"
    echo "from the tray with a key check and a redialing robot in it, then the line"
    echo "closed for a moment, in under four minutes (tools/demo/calls.txt); Ringwarden"
    echo "then quits."
    echo "Each call's outcome is printed when it quits."
    # The demo user right-clicks the tenth call once it is listed with the
    # earlier run's three (thirteen rows) and its popup has gone; turns
    # "Quiet" on from the tray after the eleventh, and off after the
    # fifteenth.
    "$RW_WINE" "$build/bin/rwdemouser.exe" 13 300 14 18 </dev/null &
    demo_user=$!
else
    [ "${args[0]}" = --sim-window ] && args=("${args[@]:1}")
fi

echo "Starting Ringwarden (close it with its Quit button, or press Ctrl+C here)."
set +e
(cd "$demo" && "$RW_WINE" Ringwarden.exe --line-simulator "${args[@]}")
rc=$?
[ -n "$demo_user" ] && wait "$demo_user" 2>/dev/null
set -e
if ((own_display)) && [ -n "$shooter" ]; then
    kill "$shooter" 2>/dev/null
    shooter=
    echo "Last screenshot: $shot"
fi
echo "Ringwarden ended (exit code $rc)."
exit $rc
