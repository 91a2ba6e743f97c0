#!/bin/sh
# Runs every test tier: native unit tests (sanitizers), fuzz smoke run, the
# packer's and the screen saver's tests, then the Wine tiers under Xvfb (32-bit
# and 64-bit launcher).
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
cd "$root"

"$here/wine-prefix.sh" start
trap '"$here/wine-prefix.sh" stop' EXIT INT TERM

status=0
ctest --test-dir build/native --output-on-failure -j2 || status=1
# Dialogs need the display that wine-prefix.sh started; wine-env.sh names it.
. "$here/wine-env.sh"
# One at a time: the window tests and the end-to-end tests share one display,
# and Wine's foreground handling between processes that show windows at the
# same moment was seen to stall a window test.
# A test that fails is run once more before it counts as failed: Wine's
# desktop process and foreground handling on a loaded machine have stalled a
# window test now and then. A real fault fails twice, and each case has a
# time-out of about a minute, so a hang costs no more than that.
retry="--repeat until-pass:2"
if [ "$KVO_WINE32" = yes ]; then
    ctest --test-dir build/win32 --output-on-failure -j1 $retry || status=1
else
    echo "NOT RUN: the 32-bit Wine tier (build/win32): this kernel cannot run 32-bit programs, so Wine's i386 loader cannot start (the 64-bit tier below runs the same tests)" >&2
fi
# The same tiers for the 64-bit launcher, which runs on every machine here.
ctest --test-dir build/win64 --output-on-failure -j1 $retry || status=1
exit $status
