#!/bin/sh
# wine-prefix.sh start|stop
# Creates the private prefix once and starts the persistent wineserver outside
# of ctest (a server started by the first test inherits ctest's pipes and
# slows every later test down).
set -e
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
case "$1" in
start)
    mkdir -p "$WINEPREFIX"
    if [ ! -f "$WINEPREFIX/.update-timestamp" ]; then
        echo "creating Wine prefix $WINEPREFIX (once)"
        wineboot -i >/dev/null 2>&1 || true
        wineserver -w
        # Without a window manager Wine waits ~2 s on every window close.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        wineserver -w
    fi
    wineserver -p >/dev/null 2>&1 </dev/null || true
    wineboot >/dev/null 2>&1 </dev/null || true
    ;;
stop)
    wineserver -k >/dev/null 2>&1 || true
    ;;
*)
    echo "usage: $0 start|stop" >&2
    exit 2
    ;;
esac
