#!/bin/sh
# bench-startup.sh [RUNS]
# Start-up cost of the launcher up to its JVM, measured inside the processes
# under this Wine: the stand-in jvm.dll notes the milliseconds from process
# creation to JNI_CreateJavaVM (or, while no JVM is created yet, to its own
# loading); trivial programs note their time to main. Prints the medians and
# their ratio with a warm version cache (no java.exe run) and a cold one
# (java.exe replaced before every start, so it is probed each time). The
# runs of all kinds alternate, so a busy machine slows them alike.
# Needs a finished `make` (build/win32 with its fixtures).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
"$here/wine-prefix.sh" start
KVO_ROOT="$root" exec python3 - "${1:-21}" <<'PY'
import os, statistics, subprocess, sys, tempfile, time
from pathlib import Path

sys.path.insert(0, str(Path(os.environ["KVO_ROOT"]) / "tests" / "e2e"))
from harness import (CACHE_ROOT, RUNTIME_FIXTURES, Block, jvm_record, make_runtime_home, reg, stub_image,
                     wine_env, winpath)

runs = int(sys.argv[1])
env = wine_env()
for name in ("KORVO_LOG", "VANDREL_LOG", "KORVO_JAVA_HOME", "VANDREL_JAVA_HOME"):
    env.pop(name, None)

work = Path(tempfile.mkdtemp(prefix="kvo-bench-"))
home = make_runtime_home(work / "jre", "1.8.0_402")
vm_dir = home / "bin" / "server"
block = Block()
# Console type: the start that ends after the stand-in VM reports on
# standard error instead of waiting in a dialog.
for rid, text in ((107, "0"), (128, "B.\\jre"), (126, "1.6"), (1000, "Error"),
                  (1005, "The JVM could not be started."), (1016, "No JVM ({0})")):
    block.set(rid, text)
exe = work / "app.exe"
exe.write_bytes(stub_image() + block.bytes())


def wine(*args):
    return subprocess.run([os.environ.get("KVO_WINE", "wine"), *map(str, args)], env=env, capture_output=True,
                          stdin=subprocess.DEVNULL, timeout=120)


def time_to_main(program):
    return float(wine(RUNTIME_FIXTURES / program).stdout.decode().strip())


points = set()


def launcher_time():
    log = vm_dir / "jvm-stand-in.log"
    if log.exists():
        log.unlink()
    wine(exe)
    record = jvm_record(vm_dir)
    if not record:
        raise SystemExit("the launcher did not load the stand-in jvm.dll; run it with KORVO_LOG=yes")
    point = "create" if "create" in record else "attach"
    points.add(point)
    return float(record[point])


def replace_java(i):
    later = time.time() + 10 + i
    os.utime(home / "bin" / "java.exe", (later, later))


figures = {"console": [], "gui": [], "warm": [], "cold": []}
try:
    time_to_main("time-to-main.exe")      # let Wine settle
    launcher_time()                       # fills the version cache
    for i in range(runs):
        figures["console"].append(time_to_main("time-to-main.exe"))
        figures["gui"].append(time_to_main("time-to-main-gui.exe"))
        figures["warm"].append(launcher_time())
        replace_java(i)
        figures["cold"].append(launcher_time())   # probes, and caches the new time
finally:
    key = CACHE_ROOT + "\\" + winpath(home / "bin" / "java.exe").lower().replace("\\", "/")
    reg("delete", key, "/f", check=False)
    subprocess.run(["rm", "-rf", str(work)])

m = {k: statistics.median(v) for k, v in figures.items()}
what = "JNI_CreateJavaVM entered" if points == {"create"} else "jvm.dll loaded"
print(f"runs per figure: {runs} (medians; launcher measured until {what})")
print(f"trivial console program to main:             {m['console']:8.2f} ms")
print(f"trivial program with the launcher's imports: {m['gui']:8.2f} ms")
print(f"launcher, warm version cache:                {m['warm']:8.2f} ms")
print(f"launcher, cold version cache:                {m['cold']:8.2f} ms")
print(f"ratio warm / trivial console:                {m['warm'] / m['console']:8.2f}")
print(f"ratio cold / trivial console:                {m['cold'] / m['console']:8.2f}")
print(f"ratio warm / trivial with the same imports:  {m['warm'] / m['gui']:8.2f}")
print(f"ratio cold / trivial with the same imports:  {m['cold'] / m['gui']:8.2f}")
PY
