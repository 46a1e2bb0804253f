#!/usr/bin/env bash
# Sourced. rw_ensure_display DIR: unless DISPLAY is already set, starts a
# private Xvfb for DIR (once; later calls reuse it) and exports DISPLAY.
# rw_stop_display DIR ends it again.

rw_ensure_display() {
    local dir=$1
    [ -n "${DISPLAY:-}" ] && return 0
    mkdir -p "$dir"
    if [ -f "$dir/xvfb.pid" ] && kill -0 "$(cat "$dir/xvfb.pid")" 2>/dev/null; then
        export DISPLAY=":$(cat "$dir/xvfb.display")"
        return 0
    fi
    local n
    for n in $(seq 91 160); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
    done
    # Detached, with no inherited output, so nothing waits on it.
    setsid Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    echo $! >"$dir/xvfb.pid"
    echo "$n" >"$dir/xvfb.display"
    local i
    for i in $(seq 1 100); do
        [ -e "/tmp/.X11-unix/X$n" ] && break
        sleep 0.1
    done
    export DISPLAY=":$n"
}

rw_stop_display() {
    local dir=$1
    if [ -f "$dir/xvfb.pid" ]; then
        kill "$(cat "$dir/xvfb.pid")" 2>/dev/null || true
        rm -f "$dir/xvfb.pid" "$dir/xvfb.display"
    fi
}
