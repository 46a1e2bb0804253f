#!/usr/bin/env bash
# installer_test.sh BUILD_DIR: builds the installer from BUILD_DIR/bin (and
# its pictures from BUILD_DIR/installer), checks that setup and the
# uninstaller it writes show Ringwarden's icon, and
# follows one user's life with it in a fresh Wine prefix: a silent install,
# the program started from its Start menu shortcut, its configuration in
# application data (an old file beside the program taken over once), silent
# upgrades over a running copy (a file in use fails one; the copy setup
# closed is started again either way), a silent uninstall that closes the
# running program and keeps the configuration; and a portable copy that
# keeps its file beside itself.
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/wine-env.sh"

for tool in makensis wrestool icotool; do
    command -v "$tool" >/dev/null || { echo "$tool missing: run tools/deps.sh" >&2; exit 1; }
done

work="$build/installer-test"
rm -rf "$work"
mkdir -p "$work"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

# The build tree's display and sound set-up, then a fresh prefix of our own:
# nothing installed before, no user file anywhere.
rw_wine_env "$build"
export WINEPREFIX="$work/prefix"
rw_wine_prefix_init
trap '"$RW_WINESERVER" -k 2>/dev/null || true' EXIT

art="$build/installer"
makensis -V2 -DFAST_COMPRESSION -DBIN_DIR="$build/bin" -DART_DIR="$art" \
    -DOUT_FILE="$work/Ringwarden-setup.exe" \
    "$root/installer/Ringwarden.nsi" >"$work/makensis.log" 2>&1 ||
    { cat "$work/makensis.log" >&2; exit 1; }

wine() { "$RW_WINE" "$@" </dev/null; }

# The pictures of an icon (an .ico, or the icon an .exe shows), one
# checksum each, so that two icons compare whatever order NSIS stored them in.
icon_pictures() { # FILE OUTDIR
    local ico=$1
    mkdir -p "$2"
    if [[ $1 == *.exe ]]; then
        ico="$2/shown.ico"
        wrestool -x -t 14 "$1" >"$ico" 2>/dev/null || true
    fi
    icotool -x -o "$2" "$ico" 2>/dev/null || true
    (cd "$2" && find . -name '*.png' -exec md5sum {} + | awk '{ print $1 }' | sort)
}
expect_our_icon() { # FILE.exe WHAT
    local ours theirs
    ours=$(icon_pictures "$art/Setup.ico" "$work/icons/ours")
    theirs=$(icon_pictures "$1" "$work/icons/$2")
    [ -n "$ours" ] && [ "$ours" = "$theirs" ] ||
        fail "$2 does not show Ringwarden's icon ($(wc -w <<<"$theirs") of its pictures, $(wc -w <<<"$ours") ours)"
}
expect_our_icon "$work/Ringwarden-setup.exe" setup
c="$WINEPREFIX/drive_c"
program="$c/Program Files/Ringwarden"
winprogram='C:\Program Files\Ringwarden'
quit_script="$work/quit.txt"
echo "at 0.5 quit" >"$quit_script"

# --- Silent install -------------------------------------------------------
wine "$work/Ringwarden-setup.exe" /S
"$RW_WINESERVER" -w
for f in Ringwarden.exe rwlinesim.dll rwcfg.exe help/main.html installed.ini uninstall.exe; do
    [ -f "$program/$f" ] || fail "installed $f missing"
done
cmp -s "$build/bin/Ringwarden.exe" "$program/Ringwarden.exe" || fail "installed Ringwarden.exe differs"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Ringwarden'
uninstall_entry=$(wine reg query "$key" 2>/dev/null | tr -d '\r')
for value in "DisplayName.*Ringwarden" "DisplayVersion.*1\.00" "Publisher.*Ringwarden Project" \
    "QuietUninstallString.*uninstall\.exe\" /S" "NoModify.*0x1" "EstimatedSize"; do
    grep -Eq "$value" <<<"$uninstall_entry" || fail "Apps & Features entry lacks $value"
done
if wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v Ringwarden >/dev/null 2>&1; then
    fail "a silent install without /AUTOSTART added a Run entry"
fi
expect_our_icon "$program/uninstall.exe" uninstaller
pass "silent install"

# --- Started from the Start menu shortcut's target ------------------------
lnk=$(find "$c" -path '*Start Menu/Programs/Ringwarden.lnk' | head -n 1)
[ -n "$lnk" ] || { fail "no Start menu shortcut"; exit 1; }
target=$(strings -a "$lnk" | grep -m1 -E '^[A-Za-z]:.*Ringwarden\.exe$' || true)
[ "$target" = "$winprogram\\Ringwarden.exe" ] || fail "shortcut target is '$target'"
run_installed() {
    wine "$target" --line-simulator --sim-script "$(rw_winpath "$quit_script")" >/dev/null
}
appdata_cfg=$(find "$c/users" -maxdepth 3 -type d -name Roaming | head -n 1)/Ringwarden/Ringwarden.cfg
run_installed
[ -f "$appdata_cfg" ] || fail "the installed copy saved no configuration in application data"
[ -e "$program/Ringwarden.cfg" ] && fail "the installed copy wrote beside itself"
where=$(wine "$winprogram\\rwcfg.exe" where | tr -d '\r')
case "$where" in *'\AppData\Roaming\Ringwarden\Ringwarden.cfg') ;; *) fail "rwcfg where: $where" ;; esac
pass "installed copy keeps its configuration in application data ($where)"

# --- An old file beside the program is taken over once --------------------
rwcfg_import() { # CSV-TEXT WINDOWS-CFG-PATH
    printf '%s\r\n' "Name,Number" "$1" >"$work/book.csv"
    wine "$winprogram\\rwcfg.exe" import-csv "$(rw_winpath "$work/book.csv")" "$2" >/dev/null
}
rm -f "$appdata_cfg"
rwcfg_import "Old Friend,01234 111111" "$winprogram\\Ringwarden.cfg"
run_installed
book=$(wine "$winprogram\\rwcfg.exe" export-csv | tr -d '\r')
grep -q "Old Friend" <<<"$book" || fail "the old file beside the program was not taken over: $book"
rwcfg_import "Newer Friend,01234 222222" "$winprogram\\Ringwarden.cfg"
run_installed
book=$(wine "$winprogram\\rwcfg.exe" export-csv | tr -d '\r')
grep -q "Old Friend" <<<"$book" || fail "the taken-over entry was lost: $book"
grep -q "Newer Friend" <<<"$book" && fail "the old file was read a second time"
pass "old file beside the program taken over once"

# The Unix ids of the installed Ringwarden.exe processes in this test's own
# prefix (Wine shows a process's Windows command line as its Unix one).
ringwarden_pids() {
    local cmdline
    grep -laiF "$winprogram\\Ringwarden.exe" /proc/[0-9]*/cmdline 2>/dev/null |
        while read -r cmdline; do
            if grep -qazxF "WINEPREFIX=$WINEPREFIX" "${cmdline%/cmdline}/environ" 2>/dev/null; then
                basename "${cmdline%/cmdline}"
            fi
        done || true
}
# Waits (a loaded machine may take a while to start Wine) for the installed
# copy's main window, which setup and the uninstaller look for. The display
# is shared with tests running beside this one, whose Ringwarden.exe windows
# look the same: only a window whose process (Wine sets _NET_WM_PID) is one
# of this prefix's copies counts.
wait_for_main_window() {
    local ids id pid
    for _ in $(seq 1 60); do
        ids=$(xwininfo -root -tree 2>/dev/null |
            awk '/"Ringwarden": \("ringwarden.exe"/ { print $1 }') || true
        for id in $ids; do
            pid=$(xprop -id "$id" _NET_WM_PID 2>/dev/null | awk '{ print $NF }') || true
            [ -n "$pid" ] && ringwarden_pids | grep -qx "$pid" && return 0
        done
        sleep 0.5
    done
    return 1
}
# Starts the installed copy in the background ($running), as the user left it.
start_installed() {
    "$RW_WINE" "$target" --line-simulator --sim-no-window </dev/null >/dev/null 2>&1 &
    running=$!
    wait_for_main_window || fail "the installed copy did not start"
}
alive() { # PID: running, not merely waiting to be reaped
    ps -o stat= -p "$1" 2>/dev/null | grep -qv Z
}
# Setup closed the running copy and, once it ended, started Ringwarden
# again; WHAT names the setup run. The new copy is ended here.
expect_started_again() { # WHAT
    alive "$running" && fail "$1 did not close the running copy"
    kill "$running" 2>/dev/null || true
    wait "$running" 2>/dev/null || true
    local again=""
    for _ in $(seq 1 40); do
        again=$(ringwarden_pids)
        [ -n "$again" ] && break
        sleep 0.5
    done
    [ -n "$again" ] || fail "the copy that $1 closed was not started again"
    for pid in $again; do kill -KILL "$pid" 2>/dev/null || true; done
    for _ in $(seq 1 40); do [ -z "$(ringwarden_pids)" ] && break; sleep 0.25; done
}

# --- Silent upgrades over a running copy ---------------------------------
# A file held open by another program fails the install with a non-zero
# exit code; the copy setup closed on the way is started again all the same.
start_installed
held="$work/held.txt"
"$RW_WINE" "$build/bin/rwholdfile.exe" "$winprogram\\rwcfg.exe" 60 </dev/null >"$held" 2>&1 &
holder=$!
for _ in $(seq 1 40); do grep -q held "$held" && break; sleep 0.5; done
grep -q held "$held" || fail "could not hold rwcfg.exe open: $(cat "$held")"
status=0
wine "$work/Ringwarden-setup.exe" /S || status=$?
kill "$holder" 2>/dev/null || true
wait "$holder" 2>/dev/null || true
[ "$status" -ne 0 ] || fail "a silent install over a file in use reported success"
expect_started_again "a failed setup"
pass "a file in use fails a silent install (exit code $status)"

# A clean one, over a folder that also holds a file of the user's own, which
# the size in Apps & Features leaves out.
head -c 3000000 /dev/zero >"$program/calls.log"
start_installed
status=0
wine "$work/Ringwarden-setup.exe" /S || status=$?
[ "$status" -eq 0 ] || fail "a silent upgrade failed with exit code $status"
expect_started_again "a silent upgrade"
installed_bytes=$(cd "$program" && cat Ringwarden.exe rwlinesim.dll rwcfg.exe ReadMe.txt \
    installed.ini uninstall.exe help/main.html help/help.css | wc -c)
size=$(wine reg query "$key" /v EstimatedSize | tr -d '\r' | awk '/EstimatedSize/ { print $3 }')
[ "$((size))" -eq $(((installed_bytes + 1023) / 1024)) ] ||
    fail "EstimatedSize is $((size)) KiB for $installed_bytes installed bytes"
rm -f "$program/calls.log"
pass "a silent upgrade starts the copy it closed again; size $((size)) KiB"

# --- Silent uninstall closes the running copy and keeps the configuration --
start_installed
wine "$winprogram\\uninstall.exe" /S
# The uninstaller runs from a copy of itself; wait for it, and for the
# program it closed.
if ! timeout 40 "$RW_WINESERVER" -w; then
    fail "the uninstaller or the program it should close is still running"
    "$RW_WINESERVER" -k || true
fi
kill -0 "$running" 2>/dev/null && fail "the running Ringwarden was not closed"
wait "$running" 2>/dev/null || true
for f in Ringwarden.exe rwlinesim.dll rwcfg.exe help installed.ini uninstall.exe; do
    [ -e "$program/$f" ] && fail "uninstall left $f"
done
[ -e "$lnk" ] && fail "uninstall left the Start menu shortcut"
wine reg query "$key" >/dev/null 2>&1 && fail "uninstall left the Apps & Features entry"
[ -f "$appdata_cfg" ] || fail "uninstall removed the user's configuration"
[ -f "$program/Ringwarden.cfg" ] || fail "uninstall removed the old file beside the program"
pass "silent uninstall"

# --- A portable copy keeps its file beside itself -------------------------
rm -rf "$(dirname "$appdata_cfg")"
portable="$work/portable"
rw_program_copy "$build" "$portable"
wine "$(rw_winpath "$portable/Ringwarden.exe")" --line-simulator \
    --sim-script "$(rw_winpath "$quit_script")" >/dev/null
[ -f "$portable/Ringwarden.cfg" ] || fail "the portable copy saved nothing beside itself"
[ -e "$(dirname "$appdata_cfg")" ] && fail "the portable copy used application data"
pass "portable copy"

"$RW_WINESERVER" -w || true
if ((failures)); then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "installer test passed"
