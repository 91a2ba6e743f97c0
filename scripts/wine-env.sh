# Sourced with $here set to this folder: the environment of every Wine run.
# A private prefix under the build tree, never the user's own ~/.wine, and one
# fixed Xvfb display for every run: Wine's desktop process stays bound to the
# display it started on, so a display per run would leave it on a dead one.
export WINEPREFIX="${KVO_WINEPREFIX:-$(cd "$here/.." && pwd)/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export KVO_DISPLAY="${KVO_DISPLAY:-93}"
export DISPLAY=":$KVO_DISPLAY"
