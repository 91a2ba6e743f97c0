#!/bin/sh
# The main job: pack examples/app.kvo into the launcher stub, give it the
# application's archives and a private runtime beside it, start it under
# Wine, and show what happened: the launcher's log, what the Java
# application itself wrote, dialogs and the exit code.
#
# The private runtime's jvm.dll is a real Java VM (built by
# scripts/build-realvm.sh from ../shared/avian). It has no java.exe of its
# own, so the version probe answers from the project's stand-in java.exe.
# Without the real VM's sources the project's recording stand-in jvm.dll
# takes its place, and the application's code does not run.
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
. "$here/wine-env.sh"
# The 32-bit launcher where this machine can run 32-bit programs, the 64-bit
# one where it cannot (some kernels have no 32-bit support).
if [ "${KVO_WINE32:-yes}" = yes ]; then
    tree="$root/build/win32" arch=i386 width=32
else
    tree="$root/build/win64" arch=x86_64 width=64
fi
fixtures="$tree/fixtures"
realvm="$root/build/realvm/$arch"
out="$root/build/example"
rm -rf "$out"
mkdir -p "$out/tmp" "$out/jre/bin/server" "$out/lib" "$out/classes"

"$root/build/native/kvo-pack" build --stub "$tree/launcher.exe" \
    --config "$root/examples/app.kvo" --out "$out/app.exe"
echo "packed $out/app.exe"

# The private runtime in jre\ (the first entry of the search sequence).
cp "$fixtures/runtime/java.exe" "$out/jre/bin/java.exe"
cp "$fixtures/runtime/java.exe" "$out/jre/bin/javaw.exe"
printf 'line=java version "1.8.0_402"\n' > "$out/jre/bin/stand-in.cfg"
if [ -f "$realvm/jvm.dll" ]; then
    real=yes
    cp "$realvm/jvm.dll" "$out/jre/bin/server/jvm.dll"
    # Compiled against the VM's own class library: nothing it lacks is used.
    javac_target="-source 8 -target 8 -bootclasspath $realvm/classpath.jar"
else
    real=no
    cp "$fixtures/runtime/stand-in-crt.dll" "$out/jre/bin/"
    cp "$fixtures/recording-jvm/jvm.dll" "$out/jre/bin/server/jvm.dll"
    javac_target="--release 8"
fi

# The application in lib\. The launcher class comes from kvo-runtime.jar,
# which kvo-pack packed into the launcher.
# shellcheck disable=SC2086
javac -nowarn $javac_target -d "$out/classes" $(find "$root/examples/java" -name '*.java')
jar cf "$out/lib/example-app.jar" -C "$out/classes" com/example

"$here/wine-prefix.sh" start
trap '"$here/wine-prefix.sh" stop' EXIT INT TERM

winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
# The driver answers any dialog with OK and reports the full exit code.
KVO_RUN_CMDLINE="\"$(winpath "$out/app.exe")\" hello \"big world\"" \
    "${KVO_WINE:-wine}" "$fixtures/kvo-run.exe" --env KORVO_LOG=yes \
    --env "TMP=$(winpath "$out/tmp")" --stderr "$(winpath "$out/stderr.txt")" 2>/dev/null \
    | tr -d '\r' > "$out/result.txt"

echo
echo "=== what was real ==="
echo "launcher:            real ($width-bit, ${tree#"$root"/}/launcher.exe packed with examples/app.kvo)"
[ "$width" = 32 ] || echo "                     (this machine cannot run 32-bit programs, so the 64-bit launcher runs)"
echo "launcher class:      real Java (kvo-runtime.jar, packed into the launcher by kvo-pack)"
echo "application:         real Java (examples/java), compiled with the JDK's javac"
if [ "$real" = yes ]; then
    echo "jvm.dll:             a real Java VM (Avian, $arch, built from ../shared/avian)"
else
    echo "jvm.dll:             STAND-IN: ../shared/avian was not found, so the project's recording"
    echo "                     jvm.dll plays the JVM and the application's Java code does not run"
fi
echo "java.exe:            stand-in (answers the version probe; the VM has no java.exe)"
echo
echo "=== launcher log ($(ls "$out"/tmp/vdl_nlog_* 2>/dev/null | head -1)) ==="
cat "$out"/tmp/vdl_nlog_* 2>/dev/null | tr -d '\r' || echo "(no log)"
if [ "$real" = yes ]; then
    echo "=== what the Java application wrote (build/example/example-output.txt) ==="
    cat "$out/example-output.txt" 2>/dev/null || echo "(nothing: the application did not run)"
    echo "=== its System.out and System.err (build/example/output.log) ==="
    tr -d '\r' < "$out/output.log" 2>/dev/null || echo "(none)"
else
    echo "=== what the stand-in JVM was given ==="
    grep -E '^(option|findclass|main|arg|destroy)' "$out/jre/bin/server/jvm-record.txt" 2>/dev/null | tr '\t' ' ' \
        || echo "(the JVM library was not loaded)"
fi
if [ -s "$out/stderr.txt" ]; then
    echo "=== standard error ==="
    tr -d '\r' < "$out/stderr.txt"
fi
echo "=== dialogs and exit code ==="
tr '\t' ' ' < "$out/result.txt"
code=$(sed -n 's/^exit\t//p' "$out/result.txt")
case "$code" in
0) echo "result: the application's main ran and the launcher ended normally (exit code 0)" ;;
1) echo "result: a fatal error (see the dialog text above)" ;;
83) echo "result: no usable Java runtime was found (exit code 83)" ;;
*) echo "result: exit code $code" ;;
esac
[ "$code" = 0 ] || exit 1
[ "$real" = no ] || [ -s "$out/example-output.txt" ]
