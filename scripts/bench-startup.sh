#!/bin/sh
# bench-startup.sh [ROUNDS] [--no-real-vm] [--also STUB ...] [--steps [KIND]]
# The launcher's start-up next to a bare jvm.dll loader, a trivial program
# and one java.exe run, measured inside the processes under this Wine
# (bench/bench_startup.py says what each figure is). Measures the 32-bit
# launcher where 32-bit programs run, else the 64-bit one; KVO_BENCH_TREE
# names another build tree. Needs a finished `make` (and `make realvm` for
# the real-VM figures).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
. "$here/wine-env.sh"
if [ -z "${KVO_BENCH_TREE:-}" ]; then
    if [ "$KVO_WINE32" = yes ]; then KVO_BENCH_TREE="$root/build/win32"; else KVO_BENCH_TREE="$root/build/win64"; fi
fi
[ -f "$KVO_BENCH_TREE/bench/bare-loader.exe" ] || { echo "bench-startup: no $KVO_BENCH_TREE/bench/bare-loader.exe: run make first" >&2; exit 1; }
"$here/wine-prefix.sh" start
KVO_BUILD_WIN32="$KVO_BENCH_TREE" exec python3 "$root/bench/bench_startup.py" "$@"
