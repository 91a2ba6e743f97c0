# Sourced with $here set to this folder: the environment of every Wine run.
# A private prefix under the build tree, never the user's own ~/.wine, and one
# fixed Xvfb display for every run: Wine's desktop process stays bound to the
# display it started on, so a display per run would leave it on a dead one.
export WINEPREFIX="${KVO_WINEPREFIX:-$(cd "$here/.." && pwd)/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export KVO_DISPLAY="${KVO_DISPLAY:-93}"
export DISPLAY=":$KVO_DISPLAY"
# The i386 loader (wine32) needs a kernel that runs 32-bit Linux programs;
# virtual machines without that support exist, and there `wine` fails for
# every program because it prefers wine32 whenever it is installed. The 64-bit
# loader then runs the 64-bit Windows programs. KVO_WINE names the loader the
# scripts and the tests use; KVO_WINE32 says whether 32-bit programs can run.
if [ -z "${KVO_WINE:-}" ]; then
    if /usr/lib/wine/wine --version >/dev/null 2>&1 || [ ! -x /usr/lib/wine/wine64 ]; then
        KVO_WINE=wine
        KVO_WINE32=yes
    else
        KVO_WINE=/usr/lib/wine/wine64
        KVO_WINE32=no
    fi
fi
case "$KVO_WINE" in
*wine64) export WINELOADER="$KVO_WINE" ;;
esac
export KVO_WINE KVO_WINE32="${KVO_WINE32:-yes}"
