# Sourced with $here set to this folder: the environment of every Wine run.
# A private prefix under the build tree, never the user's own ~/.wine.
export WINEPREFIX="${KVO_WINEPREFIX:-$(cd "$here/.." && pwd)/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
