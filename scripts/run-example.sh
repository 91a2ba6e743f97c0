#!/bin/sh
# The main job: pack examples/app.kvo into the launcher stub, give it the
# application's launcher class and a private runtime beside it, start it
# under Wine, and show what the launcher did: its log, what the JVM was
# given (options and main's arguments), dialogs and the exit code.
#
# No Windows Java runtime exists here, so the private runtime is the
# project's stand-in: a java.exe that answers "-version" and a jvm.dll that
# records what it is handed and plays a JVM whose main returns at once.
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
fixtures="$root/build/win32/fixtures"
out="$root/build/example"
rm -rf "$out"
mkdir -p "$out/tmp" "$out/jre/bin/server" "$out/.vandrel" "$out/classes"

"$root/build/native/kvo-pack" build --stub "$root/build/win32/launcher.exe" \
    --config "$root/examples/app.kvo" --out "$out/app.exe"
echo "packed $out/app.exe"

# The private runtime in jre\ (the first entry of the search sequence).
cp "$fixtures/runtime/java.exe" "$out/jre/bin/java.exe"
cp "$fixtures/runtime/java.exe" "$out/jre/bin/javaw.exe"
printf 'line=java version "1.8.0_402"\n' > "$out/jre/bin/stand-in.cfg"
cp "$fixtures/runtime/stand-in-crt.dll" "$out/jre/bin/"
cp "$fixtures/recording-jvm/jvm.dll" "$out/jre/bin/server/jvm.dll"

# The launcher class the installer flavour calls, in its runtime archive.
src="$out/classes/com/vandrel/runtime/launcher"
mkdir -p "$src"
printf 'package com.vandrel.runtime.launcher;\npublic class WinLauncher {\n    public static void main(String[] args) {}\n}\n' \
    > "$src/WinLauncher.java"
javac -d "$out/classes" "$src/WinLauncher.java"
jar cf "$out/.vandrel/vdlruntime.jar" -C "$out/classes" com/vandrel/runtime/launcher/WinLauncher.class

"$here/wine-prefix.sh" start
trap '"$here/wine-prefix.sh" stop' EXIT INT TERM
. "$here/wine-env.sh"

winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
# The driver answers any dialog with OK and reports the full exit code.
KVO_RUN_CMDLINE="\"$(winpath "$out/app.exe")\" hello world" \
    wine "$fixtures/kvo-run.exe" --env KORVO_LOG=yes \
    --env "TMP=$(winpath "$out/tmp")" --stderr "$(winpath "$out/stderr.txt")" 2>/dev/null \
    | tr -d '\r' > "$out/result.txt"

echo
echo "=== launcher log ($(ls "$out"/tmp/vdl_nlog_* 2>/dev/null | head -1)) ==="
cat "$out"/tmp/vdl_nlog_* 2>/dev/null | tr -d '\r' || echo "(no log)"
echo "=== what the JVM was given ==="
if [ -f "$out/jre/bin/server/jvm-record.txt" ]; then
    grep -E '^(option|findclass|main|arg|destroy)' "$out/jre/bin/server/jvm-record.txt" | tr '\t' ' '
else
    echo "(the JVM library was not loaded)"
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
[ "$code" = 0 ]
