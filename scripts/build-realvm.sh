#!/bin/sh
# build-realvm.sh [ARCH...]: builds the real Java VM the tests and the example
# run on (Avian as a Windows jvm.dll, from ../shared/avian or KVO_AVIAN_DIR)
# into build/realvm/ARCH (i386, x86_64), once; later calls reuse it. Without
# ARCH: x86_64, and i386 where this machine can run 32-bit programs (some
# kernels cannot, and then no 32-bit launcher runs here either).
# Without the sources it says so and leaves nothing behind: the real-VM tests
# then report themselves skipped and the example falls back to the stand-in.
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
avian="${KVO_AVIAN_DIR:-$root/../shared/avian}"
if [ $# -eq 0 ]; then
    set -- x86_64
    if /usr/lib/wine/wine --version >/dev/null 2>&1; then
        set -- i386 x86_64
    fi
fi

if [ ! -x "$avian/build.sh" ] && [ ! -f "$avian/build.sh" ]; then
    echo "real JVM: no sources at $avian: the real-VM tests will be skipped, the example uses the stand-in JVM" >&2
    exit 0
fi
for arch in "$@"; do
    out="$root/build/realvm/$arch"
    if [ -f "$out/jvm.dll" ] && [ -f "$out/classpath.jar" ] && [ "$out/jvm.dll" -nt "$avian/build.sh" ]; then
        continue
    fi
    echo "building the real JVM ($arch) from $avian (about a minute, once)"
    rm -f "$out/jvm.dll" "$out/classpath.jar"
    if ! bash "$avian/build.sh" "$out" "$arch" interpret; then
        echo "real JVM ($arch): build failed (see $out/work/make-$arch-interpret.log)" >&2
        rm -f "$out/jvm.dll" "$out/classpath.jar"
        exit 1
    fi
done
