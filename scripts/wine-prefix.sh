#!/bin/sh
# wine-prefix.sh start|stop
# start: the project's Xvfb display, the private prefix (created once) and the
# persistent wineserver, all outside of ctest (a server started by the first
# test inherits ctest's pipes and slows every later test down).
# stop: ends the server and the display.
set -e
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
socket="/tmp/.X11-unix/X$KVO_DISPLAY"
lock="/tmp/.X$KVO_DISPLAY-lock"

start_display() {
    if [ -e "$socket" ] && [ -f "$lock" ] && kill -0 "$(tr -d ' ' < "$lock")" 2>/dev/null; then
        return 1
    fi
    rm -f "$socket" "$lock"
    Xvfb ":$KVO_DISPLAY" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    i=0
    while [ ! -e "$socket" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
    [ -e "$socket" ] || { echo "Xvfb did not start on :$KVO_DISPLAY" >&2; exit 1; }
    return 0
}

case "$1" in
start)
    if start_display; then
        # A desktop process left from an earlier display would fail every window.
        wineserver -k >/dev/null 2>&1 || true
        wineserver -w >/dev/null 2>&1 || true
    fi
    mkdir -p "$WINEPREFIX"
    if [ ! -f "$WINEPREFIX/.update-timestamp" ]; then
        echo "creating Wine prefix $WINEPREFIX (once)"
        "$KVO_WINE" wineboot -i >/dev/null 2>&1 || true
        wineserver -w
        # Without a window manager Wine waits ~2 s on every window close.
        "$KVO_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        wineserver -w
    fi
    wineserver -p >/dev/null 2>&1 </dev/null || true
    "$KVO_WINE" wineboot >/dev/null 2>&1 </dev/null || true
    ;;
stop)
    wineserver -k >/dev/null 2>&1 || true
    if [ -f "$lock" ]; then
        kill "$(tr -d ' ' < "$lock")" 2>/dev/null || true
    fi
    ;;
*)
    echo "usage: $0 start|stop" >&2
    exit 2
    ;;
esac
