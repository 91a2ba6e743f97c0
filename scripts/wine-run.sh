#!/bin/sh
# Runs a Windows program under the project's private Wine prefix
# (ctest's cross-compiling emulator).
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
exec "$KVO_WINE" "$@"
