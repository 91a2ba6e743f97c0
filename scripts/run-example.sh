#!/bin/sh
# The main job: pack examples/app.kvo into the launcher stub and start it
# under Wine, then show what the launcher did (its log, dialogs, exit code).
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
out="$root/build/example"
rm -rf "$out"
mkdir -p "$out/tmp"

"$root/build/native/kvo-pack" build --stub "$root/build/win32/launcher.exe" \
    --config "$root/examples/app.kvo" --out "$out/app.exe"
echo "packed $out/app.exe"

"$here/wine-prefix.sh" start
trap '"$here/wine-prefix.sh" stop' EXIT INT TERM
. "$here/wine-env.sh"

winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
# The driver answers any dialog with OK and reports the full exit code.
KVO_RUN_CMDLINE="\"$(winpath "$out/app.exe")\"" \
    wine "$root/build/win32/fixtures/kvo-run.exe" --env KORVO_LOG=yes \
    --env "TMP=$(winpath "$out/tmp")" --stderr "$(winpath "$out/stderr.txt")" 2>/dev/null \
    | tr -d '\r' > "$out/result.txt"

echo
echo "=== launcher log ($(ls "$out"/tmp/vdl_nlog_* 2>/dev/null | head -1)) ==="
cat "$out"/tmp/vdl_nlog_* 2>/dev/null | tr -d '\r' || echo "(no log)"
echo "=== dialogs and exit code ==="
tr '\t' ' ' < "$out/result.txt"
code=$(sed -n 's/^exit\t//p' "$out/result.txt")
case "$code" in
0) echo "result: the application ran and ended normally" ;;
1) echo "result: a fatal error (see the dialog text above)" ;;
83) echo "result: no usable Java runtime was found (exit code 83)" ;;
*) echo "result: exit code $code" ;;
esac
