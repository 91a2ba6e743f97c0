"""Start-up benchmark: the launcher next to the floor any in-process
launcher stands on.

Every figure is measured inside the Windows processes under this Wine, in
milliseconds since the process was created:
  trivial      a program that only reaches main, as a console and as a GUI
               program, importing what the launcher imports at load time;
  bare loader  a program that loads the stand-in jvm.dll by its full path
               (bin on the DLL search path) and calls JNI_CreateJavaVM with
               one option; timed by the stand-in when the entry is called;
  launcher     the stock stub with a block, the same stand-in runtime as a
               private runtime; warm (version cache filled: no java.exe run)
               and cold (java.exe replaced before the start, so it is run);
               and the same with a release file in the runtime, which
               names the version, so that cold needs no run either
               (target: cold / warm at most 1.10, median of the rounds);
  java run     one java.exe -version run as the probe makes it (hidden,
               output through a pipe), started by a Windows program;
and with the real VM, the time until the Java launcher class's main is
entered, for the launcher and for the bare loader.
All kinds alternate in every round, so a machine that slows down slows
them alike; medians and quartiles are printed, and the ratios of each round.
A benchmark, not a test: it judges nothing.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
sys.path.insert(0, str(ROOT / "tests" / "realvm"))

from harness import (BUILD_WIN32, CACHE_ROOT, Block, jvm_record, launcher_arch, make_runtime_home, reg,  # noqa: E402
                     stub_image, wine_env, winpath)

BENCH = BUILD_WIN32 / "bench"
REALVM = Path(os.environ.get("KVO_REALVM", ROOT / "build" / "realvm" / launcher_arch()))


def wine(env, *args, timeout=120):
    done = subprocess.run([os.environ.get("KVO_WINE", "wine"), *map(str, args)], env=env, capture_output=True,
                          stdin=subprocess.DEVNULL, timeout=timeout)
    return done


def printed_number(done, what):
    text = done.stdout.decode(errors="replace").strip()
    try:
        return float(text)
    except ValueError:
        raise SystemExit(f"{what} printed no time (exit {done.returncode}): {text!r} "
                         f"{done.stderr.decode(errors='replace')[-400:]!r}")


class StandInSetup:
    """The launcher and the bare loader on the same stand-in runtime."""

    def __init__(self, work, env, release=None):
        self.env = env
        work = work / ("release" if release else "probe")
        self.home = make_runtime_home(work / "jre", "1.8.0_402")
        if release:
            # What jlink and the JDK builds write: the version without a run.
            (self.home / "release").write_text(f'JAVA_VERSION="{release}"\n')
        self.vm_dir = self.home / "bin" / "server"
        self.java = self.home / "bin" / "java.exe"
        block = Block()
        # Console type: after the stand-in VM refuses to start, the error
        # goes to standard error instead of a dialog waiting for a click.
        for rid, text in ((107, "0"), (128, "B.\\jre"), (126, "1.6"), (1000, "Error"),
                          (1005, "The JVM could not be started."), (1016, "No JVM ({0})")):
            block.set(rid, text)
        self.exe = work / "app.exe"
        self.exe.write_bytes(stub_image() + block.bytes())
        self.replaced = 0

    def entry_time(self, *command):
        log = self.vm_dir / "jvm-stand-in.log"
        if log.exists():
            log.unlink()
        done = wine(self.env, *command)
        record = jvm_record(self.vm_dir)
        if "create" not in record:
            raise SystemExit(f"{Path(str(command[0])).name} did not reach JNI_CreateJavaVM of the stand-in "
                             f"(exit {done.returncode}); run the launcher with KORVO_LOG=yes to see why")
        return float(record["create"])

    def launcher(self):
        return self.entry_time(self.exe)

    def launcher_cold(self):
        # A new modification time is a new java.exe to the version cache.
        self.replaced += 1
        later = time.time() + 10 + self.replaced
        os.utime(self.java, (later, later))
        return self.entry_time(self.exe)

    def bare_loader(self):
        return self.entry_time(BENCH / "bare-loader.exe", winpath(self.vm_dir / "jvm.dll"))

    def java_run(self):
        return printed_number(wine(self.env, BENCH / "time-one-run.exe", f'"{winpath(self.java)}" -version'),
                              "time-one-run.exe")

    def forget(self):
        key = CACHE_ROOT + "\\" + winpath(self.java).lower().replace("\\", "/")
        reg("delete", key, "/f", check=False)


class RealVmSetup:
    """The launcher and the bare loader on the real VM, both until the
    benchmark's Java launcher class enters main."""

    def __init__(self, work, env):
        from realvm import real_block
        self.env = dict(env)
        make_runtime_home(work / "real" / "jre", vm_types=("server",), library=str(REALVM / "jvm.dll"),
                          dependency=False)
        self.vm = work / "real" / "jre" / "bin" / "server" / "jvm.dll"
        classes = work / "classes"
        javac = shutil.which("javac")
        if not javac:
            raise SystemExit("javac not found: a JDK is needed for the real-VM figures")
        subprocess.run([javac, "-nowarn", "-source", "8", "-target", "8", "-bootclasspath",
                        str(REALVM / "classpath.jar"), "-d", str(classes),
                        str(ROOT / "bench" / "java" / "com" / "korvo" / "runtime" / "WinLauncher.java")],
                       check=True, capture_output=True)
        self.jar = work / "real" / "lib" / "launcher.jar"
        self.jar.parent.mkdir(parents=True)
        subprocess.run([str(Path(javac).with_name("jar")), "cf", str(self.jar), "-C", str(classes), "."],
                       check=True, capture_output=True)
        block = real_block("unused.Main", r121="A0.\\lib\\launcher.jar", r107="0")
        self.exe = work / "real" / "app.exe"
        self.exe.write_bytes(stub_image() + block.bytes())
        self.out = work / "real" / "entered.txt"
        self.env.update({"KVO_BENCH_CLOCK": winpath(BENCH / "bench-clock.dll"), "KVO_BENCH_OUT": winpath(self.out)})

    def _main_time(self, *command):
        if self.out.exists():
            self.out.unlink()
        done = wine(self.env, *command)
        if not self.out.exists():
            raise SystemExit(f"{Path(str(command[0])).name} did not reach the Java main (exit {done.returncode}): "
                             f"{done.stderr.decode(errors='replace')[-600:]}")
        return float(self.out.read_text().strip())

    def launcher(self):
        return self._main_time(self.exe)

    def bare_loader(self):
        return self._main_time(BENCH / "bare-loader.exe", winpath(self.vm), winpath(self.jar),
                               "com.korvo.runtime.WinLauncher")

    def forget(self):
        key = CACHE_ROOT + "\\" + winpath(self.vm.parent.parent / "java.exe").lower().replace("\\", "/")
        reg("delete", key, "/f", check=False)


def trivial(env, name):
    return printed_number(wine(env, BENCH / name), name)


def spread(values):
    values = sorted(values)
    q = statistics.quantiles(values, n=4) if len(values) > 1 else values * 3
    return statistics.median(values), q[0], q[2], values[0], values[-1]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("rounds", nargs="?", type=int, default=15, help="interleaved rounds (default 15)")
    parser.add_argument("--no-real-vm", action="store_true", help="leave out the real-VM figures")
    parser.add_argument("--also", action="append", default=[], metavar="STUB",
                        help="another launcher stub (e.g. one built from an older commit) measured warm in the "
                             "same rounds, on the same block and runtime; may be repeated")
    options = parser.parse_args()

    env = wine_env()
    for name in ("KORVO_LOG", "VANDREL_LOG", "KORVO_JAVA_HOME", "VANDREL_JAVA_HOME"):
        env.pop(name, None)
    work = Path(tempfile.mkdtemp(prefix="kvo-bench-"))
    setups = []
    try:
        stand_in = StandInSetup(work, env)
        setups.append(stand_in)
        with_release = StandInSetup(work, env, release="1.8.0_402")
        setups.append(with_release)
        real = None
        if not options.no_real_vm and (REALVM / "jvm.dll").exists():
            real = RealVmSetup(work, env)
            setups.append(real)
        kinds = {
            "trivial console program, to main": lambda: trivial(env, "time-to-main.exe"),
            "trivial GUI program, to WinMain": lambda: trivial(env, "time-to-main-gui.exe"),
            "bare loader, to JNI_CreateJavaVM": stand_in.bare_loader,
            "launcher warm, to JNI_CreateJavaVM": stand_in.launcher,
            "launcher cold, to JNI_CreateJavaVM": stand_in.launcher_cold,
            "launcher with release file warm, to JNI_CreateJavaVM": with_release.launcher,
            "launcher with release file cold, to JNI_CreateJavaVM": with_release.launcher_cold,
            "one java.exe -version run": stand_in.java_run,
        }
        for stub in options.also:
            other = work / f"also-{len(kinds)}.exe"
            other.write_bytes(Path(stub).read_bytes() + stand_in.exe.read_bytes()[len(stub_image()):])
            kinds[f"{Path(stub).name} warm, to JNI_CreateJavaVM"] = (lambda exe: lambda: stand_in.entry_time(exe))(other)
        if real:
            kinds["real VM: bare loader, to Java main"] = real.bare_loader
            kinds["real VM: launcher warm, to Java main"] = real.launcher
        # Settle Wine and fill the version caches before anything counts.
        for run in kinds.values():
            run()
        figures = {name: [] for name in kinds}
        for _ in range(options.rounds):
            for name, run in kinds.items():
                figures[name].append(run())
    finally:
        for setup in setups:
            setup.forget()
        shutil.rmtree(work, ignore_errors=True)

    print(f"{launcher_arch()} launcher ({BUILD_WIN32.name}), {options.rounds} interleaved rounds, milliseconds "
          f"since process creation")
    print(f"{'':56} {'median':>8} {'p25-p75':>15} {'min-max':>15}")
    for name, values in figures.items():
        m, q1, q3, lo, hi = spread(values)
        print(f"{name:56} {m:8.2f} {q1:7.2f}-{q3:<7.2f} {lo:7.2f}-{hi:<7.2f}")

    def ratio(top, bottom, label):
        rounds = [a / b for a, b in zip(figures[top], figures[bottom])]
        m, q1, q3, lo, hi = spread(rounds)
        print(f"{label:56} {m:8.3f} {q1:7.3f}-{q3:<7.3f} {lo:7.3f}-{hi:<7.3f}")

    def difference(label, values):
        m, q1, q3, lo, hi = spread(values)
        print(f"{label:56} {m:8.2f} {q1:7.2f}-{q3:<7.2f} {lo:7.2f}-{hi:<7.2f}")

    print("per round:")
    ratio("launcher warm, to JNI_CreateJavaVM", "bare loader, to JNI_CreateJavaVM", "launcher warm / bare loader")
    ratio("launcher warm, to JNI_CreateJavaVM", "trivial GUI program, to WinMain",
          "launcher warm / trivial GUI program")
    difference("launcher's own cost (warm - bare loader), ms",
               [a - b for a, b in zip(figures["launcher warm, to JNI_CreateJavaVM"],
                                      figures["bare loader, to JNI_CreateJavaVM"])])
    difference("cold - warm - one java.exe run, ms",
               [c - w - j for c, w, j in zip(figures["launcher cold, to JNI_CreateJavaVM"],
                                             figures["launcher warm, to JNI_CreateJavaVM"],
                                             figures["one java.exe -version run"])])
    ratio("launcher with release file cold, to JNI_CreateJavaVM",
          "launcher with release file warm, to JNI_CreateJavaVM", "with release file: cold / warm (target <= 1.10)")
    for name in figures:
        if name.endswith(" warm, to JNI_CreateJavaVM") and not name.startswith("launcher "):
            ratio(name, "bare loader, to JNI_CreateJavaVM", name.split(" warm")[0] + " warm / bare loader")
    if "real VM: launcher warm, to Java main" in figures:
        ratio("real VM: launcher warm, to Java main", "real VM: bare loader, to Java main",
              "real VM: launcher / bare loader, to Java main")
    return 0


if __name__ == "__main__":
    sys.exit(main())
