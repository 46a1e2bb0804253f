#!/usr/bin/env bash
# The soak and the screening benchmark: Ringwarden.exe, on the line
# simulator, with a phone book of 100,000 entries, screens CALLS calls of
# mixed kinds in one run (default 10,000):
#   blocked by their entry (answered, hear the message, hang up),
#   permitted by their entry (hang up while ringing),
#   withheld (blocked by the <Blocked> entry),
#   caller ID arriving late (permitted by the default rule),
#   blocked by time, one keying the security code near the end; a fifth of all
#   the blocked callers are time-blocked ones who stay and speak a 5-second
#   message after the beep (the modem has one voice path, so the next
#   blocked call's greeting and recording cut most of them short, as they
#   would on a line).
# Ringwarden runs minimised, as it usually does. The simulator measures,
# from each call's offering to Ringwarden's answer,
# the median and 99th percentile over the first and last 500 answered calls,
# the time from each answered call's CONNECTED to the first buffer of its
# message written to its wave device (median and 99th percentile over all),
# and the process's memory and USER/GDI objects from the first ring to the
# end. The figures are printed and kept in BUILD/soak/figures.txt.
# Exits non-zero when an answered call was not dropped, a call handle was
# not released, or USER/GDI objects or the process's windows grew with the
# calls; or when a blocked call did not hear its message; or when the call
# history does not hold exactly one row per call. Every call the
# soak's program answers is a blocked one with a message file, and the
# simulator counts the bytes played on each call's own wave device: so every
# answered call must have asked for its wave device and been played some
# bytes, with no allowance. A caller who hangs up while the answer is still
# pending is not answered at all. The message is read and started on the
# program's sound thread while the screening goes on, and a caller who hangs
# up before it starts is never played to; so the soak's callers are
# listen-first (see the simulator's options): an answered caller puts off
# hanging up until something has been played to it, for up to 30 s, as a
# person waits to hear the message. A sound that never comes still fails
# the verdict; one that comes late, behind a burst of blocked calls on a
# loaded machine, does not.
#
#   bash tools/soak.sh [BUILD_DIR [CALLS]]      (BUILD_DIR: build/win)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/win}" && pwd)
calls=${2:-10000}
entries=100000
. "$root/tools/wine-env.sh"
rw_wine_env "$build"

dir="$build/soak"
rw_program_copy "$build" "$dir"
winpath() { rw_winpath "$@"; }
message=$(winpath "$dir/message.wav")

# Entry i: number 01 followed by i in nine digits; filter by i mod 3:
# never block, block sometimes (all day), always block. The message's
# Windows path reaches awk through its environment: -v would read the
# backslashes in it as escapes (\t, \b, \0...) wherever the tree lives.
RW_SOAK_MESSAGE="$message" awk -v n="$entries" 'BEGIN {
    msg = ENVIRON["RW_SOAK_MESSAGE"]
    print "Name,Number,FilterType,UseOwnHours,OwnHoursStart,OwnHoursEnd,AnswerMode,MessageFile"
    split("Never Block,Block Sometimes,Always Block", f, ",")
    for (i = 0; i < n; i++)
        printf "Caller %d,01%09d,%s,1,00:00,00:00,2,%s\n", i, i, f[i % 3 + 1], msg
    printf "Withheld,<Blocked>,Always Block,0,,,2,%s\n", msg
}' >"$dir/book.csv"
"$RW_WINE" "$build/bin/rwcfg.exe" import-csv "$(winpath "$dir/book.csv")" \
    "$(winpath "$dir/Ringwarden.cfg")" </dev/null >/dev/null

# One call every 15 ms. A blocked caller stays 0.5 s (answered, hears the
# start of the message, some key the code), a permitted one hangs up after
# 12 ms of ringing; so a few dozen calls are up at once (one hears its
# message at a time, as a modem has one voice path).
write_script() {
awk -v calls="$1" -v n="$entries" 'BEGIN {
    print "rings 2 every 0.05"
    print "option listen-first on"
    for (c = 0; c < calls; c++) {
        call = c + 1
        t = 1 + c * 0.015
        kind = c % 6
        e = (c * 7919) % n
        if (kind == 0 || kind == 5) { e = e - e % 3 + 2; if (e >= n) e -= 3 }   # always block
        else if (kind == 1) e = e - e % 3                                       # never block
        else if (kind == 4) { e = e - e % 3 + 1; if (e >= n) e -= 3 }           # block sometimes
        stay = 0.5
        if (kind == 2)
            printf "at %.3f ring blocked\n", t
        else if (kind == 3) {
            printf "at %.3f ring unknown\n", t
            printf "at %.3f callerid %d number \"0999 %06d\"\n", t + 0.004, call, c
            stay = 0.012
        } else {
            printf "at %.3f ring number \"01%09d\"\n", t, e
            if (kind == 1) stay = 0.012
        }
        # The code suspends every time-based block for two minutes, so it is
        # keyed once, near the end: until then the time-blocked callers are
        # answered, and some leave messages.
        if (kind == 4 && c % 600 == 4 && c + 600 >= calls)
            printf "at %.3f keys %d \"12\"\n", t + 0.025, call
        if (kind == 4 && c % 30 != 28) {   # 4 of every 20 blocked calls
            printf "at %.3f say %d noise 5\n", t, call
            stay = 6
        }
        printf "at %.3f hangup %d\n", t + stay, call
    }
    printf "at %.3f quit\n", 1 + calls * 0.015 + 10
}' >"$2"
}
write_script "$calls" "$dir/calls.txt"

# Start minimised, as Ringwarden usually runs (in the tray). A visible list
# repainting under Wine on a virtual X display costs tens of milliseconds a
# frame, which would measure the X server rather than the screening. The
# preferences record opens the file; with no default message its
# StartMinimised field is the four bytes at 29, followed by ShowNotification.
prefs=$(od -An -tx1 -j29 -N8 "$dir/Ringwarden.cfg" | tr -d ' \n')
if [ "$prefs" != 0000000001000000 ]; then
    echo "soak: FAILED: unexpected preferences layout ($prefs)" >&2
    exit 1
fi
printf '\001' | dd of="$dir/Ringwarden.cfg" bs=1 seek=29 conv=notrunc 2>/dev/null

echo "soak: $calls calls against $entries phone book entries"
# Each call is one row of the call history, written once its outcome is
# final: the run starts without one, and must end with as many rows as calls.
rm -f "$dir/Ringwarden-calls.csv" "$dir/Ringwarden-calls.csv.pending" \
    "$dir/Ringwarden-calls.csv.waiting"
start=$(date +%s)
# The script quits by itself; a program that hangs is stopped well after.
limit=$((calls * 15 / 1000 + 180))
set +e
(cd "$dir" && timeout "$limit" "$RW_WINE" Ringwarden.exe --line-simulator \
    --sim-script "$(winpath "$dir/calls.txt")" --sim-quiet --sim-stats \
    </dev/null >"$dir/output.txt" 2>&1)
rc=$?
set -e
grep '^sim-stats:' "$dir/output.txt" | sed 's/^sim-stats: /soak: /' | tee "$dir/figures.txt"
echo "soak: $(($(date +%s) - start)) s in all" | tee -a "$dir/figures.txt"
if ((rc != 0)); then
    echo "soak: Ringwarden ended with exit code $rc" >&2
    cat "$dir/output.txt" >&2
    exit 1
fi

# One call, one row: the header and then a row for each call; nothing left
# pending or waiting after a clean exit.
historyRows=$(($(wc -l <"$dir/Ringwarden-calls.csv") - 1))
echo "soak: call history $historyRows rows for $calls calls" | tee -a "$dir/figures.txt"
if ((historyRows != calls)) || [ -e "$dir/Ringwarden-calls.csv.pending" ] ||
    [ -e "$dir/Ringwarden-calls.csv.waiting" ]; then
    echo "soak: FAILED: $historyRows history rows for $calls calls" \
        "(or rows left pending or waiting)" >&2
    exit 1
fi

# The soak's verdict: every answered call dropped, every handle released,
# no USER or GDI objects gained, every answered call played its message.
counts=$(grep '^soak: calls ' "$dir/figures.txt" || true)
played=$(grep '^soak: played to ' "$dir/figures.txt" || true)
objects=$(grep -o 'USER objects [0-9]* -> [0-9]*, GDI objects [0-9]* -> [0-9]*.*windows [0-9]* -> [0-9]*' \
    "$dir/figures.txt" || true)
re='answered ([0-9]+), answered-and-dropped ([0-9]+), not deallocated ([0-9]+)'
ore='USER objects ([0-9]+) -> ([0-9]+), GDI objects ([0-9]+) -> ([0-9]+).*windows ([0-9]+) -> ([0-9]+)'
pre='played to ([0-9]+) of ([0-9]+) answered calls that asked for the wave device, ([0-9]+) bytes'
if [[ ! $counts =~ $re ]] || [[ ! $objects =~ $ore ]] || [[ ! $played =~ $pre ]]; then
    echo "soak: FAILED: no figures from the simulator" >&2
    cat "$dir/output.txt" >&2
    exit 1
fi
[[ $counts =~ $re ]]
answered=${BASH_REMATCH[1]} dropped=${BASH_REMATCH[2]} kept=${BASH_REMATCH[3]}
[[ $objects =~ $ore ]]
userGrew=$((BASH_REMATCH[2] - BASH_REMATCH[1])) gdiGrew=$((BASH_REMATCH[4] - BASH_REMATCH[3]))
windowsGrew=$((BASH_REMATCH[6] - BASH_REMATCH[5]))
[[ $played =~ $pre ]]
playedTo=${BASH_REMATCH[1]} asked=${BASH_REMATCH[2]} bytes=${BASH_REMATCH[3]}
# The first figures are taken at the first ring, before the program has
# made the few windows it makes once on first use (the wave player's and
# the hold timers') and while no call popup is open (the popup and its
# three labels are still up when the script quits); anything that grew with
# the calls is far beyond them.
if ((answered == 0 || dropped != answered || kept != 0 || userGrew > 0 || gdiGrew > 0 ||
    windowsGrew > 8 || asked != answered || playedTo != asked || bytes == 0)); then
    echo "soak: FAILED: answered $answered, dropped $dropped, handles kept $kept," \
        "USER objects +$userGrew, GDI objects +$gdiGrew, windows +$windowsGrew," \
        "asked for the wave device $asked, played to $playedTo" >&2
    exit 1
fi
# The same calls with the telephony trace on (the first few thousand): its
# answer latency, against the figures above with it off.
traceCalls=$((calls < 3000 ? calls : 3000))
write_script "$traceCalls" "$dir/calls-trace.txt"
rm -f "$dir/Ringwarden-trace.log" "$dir/Ringwarden-trace.1.log"
set +e
(cd "$dir" && timeout $((traceCalls * 15 / 1000 + 180)) "$RW_WINE" Ringwarden.exe --line-simulator \
    --sim-script "$(winpath "$dir/calls-trace.txt")" --sim-quiet --sim-stats --trace \
    </dev/null >"$dir/output-trace.txt" 2>&1)
rc=$?
set -e
if ((rc != 0)) || [ ! -s "$dir/Ringwarden-trace.log" ]; then
    echo "soak: FAILED: the run with the trace on (exit code $rc, trace file missing or empty)" >&2
    cat "$dir/output-trace.txt" >&2
    exit 1
fi
grep '^sim-stats: answer latency' "$dir/output-trace.txt" |
    sed "s/^sim-stats: /soak: with the trace on, $traceCalls calls: /" | tee -a "$dir/figures.txt"
echo "soak: trace $(($(stat -c %s "$dir/Ringwarden-trace.log") / 1024)) KiB" | tee -a "$dir/figures.txt"
echo "soak: passed"
