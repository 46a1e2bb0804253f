#!/usr/bin/env bash
# Sourced. rw_wine_env DIR: a private Wine prefix, X display and sound set-up
# inside DIR (a build tree), so runs never touch the user's own Wine.
# Wine lists no wave output device on a machine without a sound card; an
# ALSA default of type null gives it one that plays (faster than real time).

RW_WINE=/usr/lib/wine/wine64
RW_WINESERVER=/usr/lib/wine/wineserver64
[ -x "$RW_WINESERVER" ] || RW_WINESERVER=/usr/lib/wine/wineserver
. "$(dirname "${BASH_SOURCE[0]}")/xvfb.sh"

rw_wine_env() {
    local dir
    dir=$(cd "$1" && pwd)
    export WINEPREFIX="$dir/wineprefix"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export HOME="$dir/winehome"
    mkdir -p "$HOME"
    [ -f "$HOME/.asoundrc" ] || echo 'pcm.!default { type null }' >"$HOME/.asoundrc"
    rw_ensure_display "$dir"
    if [ ! -f "$WINEPREFIX/.rw-ready" ]; then
        rw_wine_prefix_init
        touch "$WINEPREFIX/.rw-ready"
    fi
    # Debian's Wine does not find its own Marlett, which draws the caption
    # buttons (without it the close box shows an "r"); the prefix gets a copy.
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    if [ ! -f "$fonts/marlett.ttf" ] && [ -f /usr/share/wine/fonts/marlett.ttf ]; then
        mkdir -p "$fonts"
        cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
    fi
}

# A new prefix: created once (about ten seconds), with no crash debugger
# (a crashing test must end, not wait in winedbg) and every window inside one
# Wine virtual desktop, which draws captions without a window manager and
# spares the wait Wine makes for a window manager when a window closes.
rw_wine_prefix_init() {
    "$RW_WINE" wineboot --init </dev/null >/dev/null 2>&1 || true
    "$RW_WINESERVER" -w || true
    local reg=("$RW_WINE" reg)
    "${reg[@]}" delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f
    "${reg[@]}" add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f
    "${reg[@]}" add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f
    "$RW_WINESERVER" -w || true
} </dev/null >/dev/null 2>&1

# rw_winpath PATH: the Windows name of a Unix path, through Wine's Z: drive.
rw_winpath() {
    local p=${1//\//\\}
    echo "Z:$p"
}

# rw_program_copy BUILD DIR: a fresh folder DIR holding Ringwarden.exe, the
# line simulator, the help pages and the demo's message (message.wav), so
# that the Ringwarden.cfg kept beside this portable copy is that folder's own.
rw_program_copy() {
    rm -rf "$2"
    mkdir -p "$2"
    cp "$1/bin/Ringwarden.exe" "$1/bin/rwlinesim.dll" "$2/"
    if [ -d "$1/bin/help" ]; then cp -r "$1/bin/help" "$2/"; fi
    "$1/tonegen" --message "$2/message.wav"
}

# rw_speak OUT.wav TEXT: TEXT spoken by espeak-ng, as 8 kHz 16-bit mono (sox),
# as a caller's words reach a voice modem.
rw_speak() {
    espeak-ng -w "$1.22k.wav" "$2" && sox "$1.22k.wav" -r 8000 -c 1 -b 16 "$1"
    rm -f "$1.22k.wav"
}

# rw_screenshot OUT.png: the whole Wine desktop on $DISPLAY. Under Xvfb a
# capture of the root window shows windows that have an owner (the call
# popup, the sheets, About) as black rectangles, though they are drawn; each
# of those is captured on its own and laid over the picture at its place.
rw_screenshot() {
    local out=$1 tmp=$1.tmp.png id pos x y
    xwd -root -silent -display "$DISPLAY" 2>/dev/null | convert xwd:- "$tmp" 2>/dev/null || return 1
    while read -r id pos; do
        [[ $pos =~ ^\+(-?[0-9]+)\+(-?[0-9]+)$ ]] || continue
        x=${BASH_REMATCH[1]} y=${BASH_REMATCH[2]}
        xwd -id "$id" -silent -display "$DISPLAY" 2>/dev/null |
            convert "$tmp" xwd:- -geometry "+$x+$y" -composite "$tmp" 2>/dev/null || true
    done < <(xwininfo -root -tree -display "$DISPLAY" 2>/dev/null |
        grep -E '"(Ringwarden Incoming Call Notification|Ringwarden Configuration|Ringwarden Phone Book Entry|About Ringwarden)"' |
        awk '{print $1, $NF}' | tac)
    mv -f "$tmp" "$out"
}
