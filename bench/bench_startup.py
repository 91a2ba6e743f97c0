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
entered, for the launcher and for the bare loader (and the application's
main, for a packed launcher and the bare loader calling it, and for the
packed launcher's first start, before which what it remembered of the
check of main is forgotten); and on HotSpot,
through the HotSpot tier's host, the time until the application's main is
entered with the Java half packed and with the benchmark's own launcher
class.
All kinds alternate in every round, so a machine that slows down slows
them alike, in an order shuffled anew every round: a start right after one
that ran java.exe or ended a VM meets Wine still busy with that, and a
fixed order would hand that cost to the same kind every time. The kinds a
ratio compares run one right after the other, so that both meet the same
spell of the machine. Medians and
quartiles are printed, and the ratios of each round.
A benchmark, not a test: it judges nothing.

Each figure and each per-round ratio comes with its median, lower and
upper quartile and extremes; the lower quartile is what a start costs when
nothing else got in its way. The first line says how many rounds ran and
the load average before and after them, and whether others kept the
machine busy meanwhile.

--steps shows where the time goes instead: the launcher and the bare
loader run with KORVO_STEP_TIMES, which notes the time of every log line
(and of a few steps without one) in memory and writes them when the
process ends; the table gives, per step, when it was reached and how long
it took until the next one.
"""
import argparse
import atexit
import os
import random
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
from kept_files import KeptFilesPair  # noqa: E402

BENCH = BUILD_WIN32 / "bench"
# Where a launcher remembers that it found the application's main public static.
MAINS_ROOT = "HKCU\\SOFTWARE\\orrin-labs\\korvo\\mains"
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

    def entry_time(self, *command, steps=None):
        log = self.vm_dir / "jvm-stand-in.log"
        if log.exists():
            log.unlink()
        done = wine(with_steps(self.env, steps), *command)
        record = jvm_record(self.vm_dir)
        if "create" not in record:
            raise SystemExit(f"{Path(str(command[0])).name} did not reach JNI_CreateJavaVM of the stand-in "
                             f"(exit {done.returncode}); run the launcher with KORVO_LOG=yes to see why")
        return float(record["create"])

    def launcher(self, steps=None):
        return self.entry_time(self.exe, steps=steps)

    def launcher_cold(self, steps=None):
        # A new modification time is a new java.exe to the version cache.
        self.replaced += 1
        later = time.time() + 10 + self.replaced
        os.utime(self.java, (later, later))
        return self.entry_time(self.exe, steps=steps)

    def bare_loader(self, steps=None):
        return self.entry_time(BENCH / "bare-loader.exe", winpath(self.vm_dir / "jvm.dll"), steps=steps)

    def java_run(self):
        return printed_number(wine(self.env, BENCH / "time-one-run.exe", f'"{winpath(self.java)}" -version'),
                              "time-one-run.exe")

    def forget(self):
        key = CACHE_ROOT + "\\" + winpath(self.java).lower().replace("\\", "/")
        reg("delete", key, "/f", check=False)


class RealVmSetup:
    """The launcher and the bare loader on the real VM, both until the
    benchmark's Java code notes that a main was entered. `packed`: a launcher
    as a vendor makes one, with kvo-pack, which packs in the classes of
    kvo-runtime.jar; the launcher defines them from its own file, and their
    launcher class calls the application's main (which the figure then
    is)."""

    def __init__(self, work, env, release=None, packed=False):
        from realvm import real_block
        self.env = dict(env)
        work = work / ("real" + ("-release" if release else "") + ("-packed" if packed else ""))
        home = make_runtime_home(work / "jre", vm_types=("server",), library=str(REALVM / "jvm.dll"),
                                 dependency=False)
        if release:
            (home / "release").write_text(f'JAVA_VERSION="{release}"\n')
        self.vm = home / "bin" / "server" / "jvm.dll"
        classes = work / "classes"
        javac = shutil.which("javac")
        if not javac:
            raise SystemExit("javac not found: a JDK is needed for the real-VM figures")
        subprocess.run([javac, "-nowarn", "-source", "8", "-target", "8", "-bootclasspath",
                        str(REALVM / "classpath.jar"), "-d", str(classes),
                        *map(str, (ROOT / "bench" / "java").rglob("*.java"))], check=True, capture_output=True)
        self.jar = work / "lib" / "launcher.jar"
        self.jar.parent.mkdir(parents=True)
        subprocess.run([str(Path(javac).with_name("jar")), "cf", str(self.jar), "-C", str(classes), "."],
                       check=True, capture_output=True)
        self.exe = work / "app.exe"
        if packed:
            from packing import pack
            pack(work, "ApplicationName = Bench\nMainClass = kvobench.Main\n"
                       "ClassPath = A1.\\lib\\launcher.jar\nJreSearchSequence = B.\\jre\n")
            self.main_class = "kvobench.Main"
        else:
            block = real_block("unused.Main", r121="A0.\\lib\\launcher.jar", r107="0")
            self.exe.write_bytes(stub_image() + block.bytes())
            self.main_class = "com.korvo.runtime.WinLauncher"
        self.out = work / "entered.txt"
        self.env.update({"KVO_BENCH_CLOCK": winpath(BENCH / "bench-clock.dll"), "KVO_BENCH_OUT": winpath(self.out)})

    def _main_time(self, *command, steps=None):
        if self.out.exists():
            self.out.unlink()
        done = wine(with_steps(self.env, steps), *command)
        if not self.out.exists():
            raise SystemExit(f"{Path(str(command[0])).name} did not reach the Java main (exit {done.returncode}): "
                             f"{done.stderr.decode(errors='replace')[-600:]}")
        since, _, extracted = self.out.read_text(encoding="utf-8").partition("\n")
        remove_extracted(extracted.strip(), self.env)
        return float(since)

    def launcher(self, steps=None):
        return self._main_time(self.exe, steps=steps)

    def launcher_first_start(self, steps=None):
        """A packed launcher's first start, or its first once the
        application's archives changed: it checks that main is public static
        (which later starts remember)."""
        self.forget_main_check()
        return self._main_time(self.exe, steps=steps)

    def bare_loader(self, steps=None):
        return self._main_time(BENCH / "bare-loader.exe", winpath(self.vm), winpath(self.jar), self.main_class,
                               steps=steps)

    def forget_main_check(self):
        reg("delete", MAINS_ROOT + "\\" + winpath(self.exe).replace("\\", "/"), "/f", check=False)

    def forget(self):
        key = CACHE_ROOT + "\\" + winpath(self.vm.parent.parent / "java.exe").lower().replace("\\", "/")
        reg("delete", key, "/f", check=False)
        self.forget_main_check()


class HotSpotPair:
    """The launcher's JVM stage on HotSpot, through the HotSpot tier's host
    and Debian's OpenJDK, until the application's main is entered: packed
    (the Java half's classes defined from what kvo-pack appends, their
    launcher class calling that main), and with the benchmark's own launcher
    class calling the same main, so that the ratio is the Java half's own
    cost on the VM users run. Timed on CLOCK_MONOTONIC from just before the
    host is started; the host is a Linux process, not under Wine."""

    def __init__(self, work):
        sys.path.insert(0, str(ROOT / "tests" / "hotspot"))
        import hotspot
        self.hotspot = hotspot
        self.where = work / "hotspot"
        classes = self.where / "classes"
        done = subprocess.run([str(hotspot.DEBIAN_JDK / "bin" / "javac"), "-nowarn", "-Xlint:-options", "--release",
                               "8", "-d", str(classes), *map(str, (ROOT / "bench" / "java").rglob("*.java"))],
                              capture_output=True, text=True)
        if done.returncode != 0:
            raise SystemExit(f"javac failed for the benchmark's classes:\n{done.stderr}")
        self.records = {121: f"D0{classes}"}
        self.out = self.where / "entered.txt"

    @staticmethod
    def available():
        sys.path.insert(0, str(ROOT / "tests" / "hotspot"))
        import hotspot
        return hotspot.HOST.exists() and hotspot.libjvm(hotspot.DEBIAN_JDK).exists() and hotspot.PACKER.exists()

    def _main_time(self, packed):
        self.out.unlink(missing_ok=True)
        command = self.hotspot.host_command(self.hotspot.DEBIAN_JDK, self.where / ("packed" if packed else "own"),
                                            "kvobench.Main", records=self.records, runtime=packed)
        env = dict(self.hotspot.ENV, KVO_BENCH_OUT=str(self.out))
        env.pop("KVO_BENCH_CLOCK", None)
        began = time.monotonic_ns()
        done = subprocess.run(command, env=env, capture_output=True, timeout=120)
        text = self.out.read_text() if self.out.exists() else ""
        if not text.startswith("mono "):
            raise SystemExit(f"the HotSpot host did not reach the Java main (exit {done.returncode}): "
                             f"{done.stderr.decode(errors='replace')[-600:]}")
        return (int(text.split()[1]) - began) / 1e6

    def packed(self):
        return self._main_time(True)

    def own_launcher_class(self):
        return self._main_time(False)


def remove_extracted(directory, env):
    """Removes a temporary directory a packed launcher left behind (and the
    empty file whose name it took), which a normal end leaves to the
    application."""
    drive, colon, rest = directory.partition(":")
    if not colon or "_dir" not in rest:
        return
    unix = Path(env["WINEPREFIX"], "dosdevices", drive.lower() + ":").joinpath(*filter(None, rest.split("\\")))
    shutil.rmtree(unix, ignore_errors=True)
    unix.with_name(unix.name[:unix.name.rindex("_dir")]).unlink(missing_ok=True)


def with_steps(env, steps):
    """The environment with the step times going to `steps` (a Unix path)."""
    if steps is None:
        return env
    env = dict(env)
    env["KORVO_STEP_TIMES"] = winpath(steps)
    return env


def timed_steps(run, steps, last):
    """One run's steps as (label, ms) in order, with `last` (what the run
    itself measured: the stand-in's entry, the Java main)."""
    if steps.exists():
        steps.unlink()
    at = run(steps=steps)
    if not steps.exists():
        raise SystemExit("no step times written: is the launcher built from this tree?")
    rows = []
    for line in steps.read_text(encoding="utf-8", errors="replace").splitlines():
        when, _, label = line.partition("\t")
        if when != "-":
            rows.append((label.strip(), float(when)))
    if last:
        # On the same clock: in its place among the steps.
        place = next((i for i, (_, when) in enumerate(rows) if when > at), len(rows))
        rows.insert(place, (last, at))
    return rows


def hotspot_stage(runtime=False):
    """A start of the launcher's JVM stage on HotSpot (the native host of the
    HotSpot tier, Debian's OpenJDK), or None where either is missing. Its
    step times count from the host's main; the VM is not under Wine. With
    `runtime`, as a packed launcher starts: kvo-runtime.jar's launcher class
    calls the application's main, which the host's 'main returned' then
    includes."""
    sys.path.insert(0, str(ROOT / "tests" / "hotspot"))
    import hotspot
    if not hotspot.HOST.exists() or not hotspot.libjvm(hotspot.DEBIAN_JDK).exists():
        return None
    where = Path(tempfile.mkdtemp(prefix="kvo-bench-hotspot-"))
    atexit.register(shutil.rmtree, where, True)

    def run(steps=None):
        done = hotspot.run_host(hotspot.DEBIAN_JDK, where, "kvotest.Probe", runtime=runtime,
                                environment={"KORVO_STEP_TIMES": str(steps)} if steps else None)
        if done.code != 0:
            raise SystemExit(f"the HotSpot host failed:\n{done}")
        return None
    return run


def step_table(title, runs, since="process creation"):
    """Per step (a label and its occurrence): when it was reached and the
    time until the next step of the same run, medians and lower quartiles
    over the runs, in the order the steps came."""
    keyed = []
    for rows in runs:
        seen = {}
        run = []
        for i, (label, at) in enumerate(rows):
            seen[label] = seen.get(label, 0) + 1
            took = (rows[i + 1][1] if i + 1 < len(rows) else at) - at
            run.append(((label, seen[label]), i, at, took))
        keyed.append(run)
    common = set.intersection(*(set(key for key, _, _, _ in run) for run in keyed))
    table = {}
    for run in keyed:
        for key, position, at, took in run:
            if key in common:
                entry = table.setdefault(key, ([], [], []))
                entry[0].append(position)
                entry[1].append(at)
                entry[2].append(took)
    print(f"{title}: {len(runs)} runs, ms since {since}; 'until next' is the step's own cost")
    print(f"  {'reached':>8} {'p25':>8} {'until next':>10} {'p25':>8}  step")
    for key, (positions, ats, tooks) in sorted(table.items(), key=lambda item: statistics.median(item[1][0])):
        label = key[0] if key[1] == 1 else f"{key[0]} (#{key[1]})"
        at, at_q1 = spread(ats)[:2]
        took, took_q1 = spread(tooks)[:2]
        print(f"  {at:8.2f} {at_q1:8.2f} {took:10.2f} {took_q1:8.2f}  {label[:90]}")


def load_average():
    """The machine's 1, 5 and 15 minute load averages."""
    try:
        return tuple(float(x) for x in Path("/proc/loadavg").read_text().split()[:3])
    except (OSError, ValueError):
        return None


def machine_state(before, after):
    """Whether others kept the machine busy while it measured. The 1-minute
    load average before the benchmark began is everybody else's; after its
    rounds it holds the benchmark's own share too (about one program at a
    time)."""
    if not before or not after:
        return "load average unknown"
    processors = os.cpu_count() or 1
    busy = before[0] > processors / 2 or after[0] > processors / 2 + 1
    shown = lambda load: " ".join(f"{x:.2f}" for x in load)
    return (f"load average before {shown(before)}, after {shown(after)} on {processors} processors: "
            + ("BUSY, the figures are not to be trusted" if busy else "quiet"))


def compared_with(kind):
    """The group of kinds a ratio compares `kind` with. A group's starts run
    one right after the other, in a shuffled order: this machine slows down
    for spells of a few seconds, and a ratio of two starts a round apart
    would often compare a slow spell with a quick one."""
    if kind.startswith("real VM"):
        return "packed" if "application's main" in kind else "real VM"
    if kind.startswith("HotSpot"):
        return "HotSpot"
    if kind.startswith("kept files"):
        return "kept files"
    if "release file" in kind:
        return "release file"
    if kind.startswith("trivial console"):
        return kind
    return "stand-in"


def trivial(env, name):
    return printed_number(wine(env, BENCH / name), name)


def spread(values):
    values = sorted(values)
    q = statistics.quantiles(values, n=4) if len(values) > 1 else values * 3
    return statistics.median(values), q[0], q[2], values[0], values[-1]


def show_steps(rounds, only, work, stand_in, with_release, real, real_release, real_packed):
    kinds = {"stand-in, cache: launcher": (stand_in.launcher, "stand-in JNI_CreateJavaVM entered"),
             "stand-in, release file: launcher": (with_release.launcher, "stand-in JNI_CreateJavaVM entered"),
             "stand-in, release file, cold: launcher": (with_release.launcher_cold,
                                                        "stand-in JNI_CreateJavaVM entered"),
             "stand-in: bare loader": (stand_in.bare_loader, "stand-in JNI_CreateJavaVM entered")}
    if real:
        kinds["real VM: launcher"] = (real.launcher, "Java main entered")
        kinds["real VM: bare loader"] = (real.bare_loader, "Java main entered")
        kinds["real VM, release file: launcher"] = (real_release.launcher, "Java main entered")
        kinds["real VM, packed: launcher, to the application's main"] = (real_packed.launcher, "Java main entered")
        kinds["real VM, packed: bare loader, to the application's main"] = (real_packed.bare_loader,
                                                                           "Java main entered")
        kinds["real VM, packed: launcher's first start, to the application's main"] = (
            real_packed.launcher_first_start, "Java main entered")
    if "HotSpot" in only:
        stage = hotspot_stage()
        if not stage:
            raise SystemExit("no HotSpot figures: build the native tree (hotspot-host) and install "
                             "openjdk-17-jdk-headless")
        kinds["HotSpot, the native host: launcher's JVM stage"] = (stage, None)
        kinds["HotSpot, the native host, packed: kvo-runtime.jar's launcher class"] = (hotspot_stage(True), None)
    kinds = {k: v for k, v in kinds.items() if only in k}
    if not kinds:
        raise SystemExit(f"no kind of start is named like {only!r}")
    steps = work / "steps.txt"
    for run, _ in kinds.values():
        run()
    runs = {name: [] for name in kinds}
    for _ in range(rounds):
        for name, (run, last) in kinds.items():
            runs[name].append(timed_steps(run, steps, last))
    for name, taken in runs.items():
        step_table(name, taken, "the host's main" if "HotSpot" in name else "process creation")
        print()
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("rounds", nargs="?", type=int, default=15, help="interleaved rounds (default 15)")
    parser.add_argument("--no-real-vm", action="store_true", help="leave out the real-VM figures")
    parser.add_argument("--no-hotspot", action="store_true",
                        help="leave out the HotSpot pair (the HotSpot tier's host, Debian's OpenJDK)")
    parser.add_argument("--also", action="append", default=[], metavar="STUB",
                        help="another launcher stub (e.g. one built from an older commit) measured warm in the "
                             "same rounds, on the same block and runtime (the stand-in's and the real VM's); "
                             "may be repeated")
    parser.add_argument("--steps", nargs="?", const="", metavar="KIND",
                        help="where the time goes, instead of the figures: every step of the launcher and the "
                             "bare loader on the stand-in and the real VM (only the kinds whose name holds KIND); "
                             "--steps HotSpot: the launcher's JVM stage on HotSpot, through the HotSpot tier's host")
    options = parser.parse_args()

    env = wine_env()
    for name in ("KORVO_LOG", "VANDREL_LOG", "KORVO_JAVA_HOME", "VANDREL_JAVA_HOME"):
        env.pop(name, None)
    # Before anything of the benchmark's own: compiling and packing its
    # programs below would count as others' load.
    load_before = load_average()
    work = Path(tempfile.mkdtemp(prefix="kvo-bench-"))
    setups = []
    try:
        stand_in = StandInSetup(work, env)
        setups.append(stand_in)
        with_release = StandInSetup(work, env, release="1.8.0_402")
        setups.append(with_release)
        real = real_release = real_packed = None
        if not options.no_real_vm and (REALVM / "jvm.dll").exists():
            real = RealVmSetup(work, env)
            setups.append(real)
            real_release = RealVmSetup(work, env, release="1.8.0_402")
            setups.append(real_release)
            real_packed = RealVmSetup(work, env, release="1.8.0_402", packed=True)
            setups.append(real_packed)
        if options.steps is not None:
            return show_steps(options.rounds, options.steps, work, stand_in, with_release, real, real_release,
                              real_packed)
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
            other = stand_in.exe.with_name(f"also-{len(kinds)}.exe")
            other.write_bytes(Path(stub).read_bytes() + stand_in.exe.read_bytes()[len(stub_image()):])
            kinds[f"{Path(stub).name} warm, to JNI_CreateJavaVM"] = (lambda exe: lambda: stand_in.entry_time(exe))(other)
        if real:
            kinds["real VM: bare loader, to Java main"] = real.bare_loader
            kinds["real VM: launcher warm, to Java main"] = real.launcher
            for stub in options.also:
                other = real.exe.with_name(f"also-{len(kinds)}.exe")
                other.write_bytes(Path(stub).read_bytes() + real.exe.read_bytes()[len(stub_image()):])
                kinds[f"real VM: {Path(stub).name} warm, to Java main"] = (
                    lambda exe: lambda: real._main_time(exe))(other)
            kinds["real VM: launcher with release file, to Java main"] = real_release.launcher
            kinds["real VM: bare loader, to the application's main"] = real_packed.bare_loader
            kinds["real VM: packed launcher, to the application's main"] = real_packed.launcher
            kinds["real VM: packed launcher's first start, to the application's main"] = (
                real_packed.launcher_first_start)
        kept = None
        if KeptFilesPair.available():
            kept = KeptFilesPair(work, env, wine)
            setups.append(kept)
            kinds.update(kept.kinds())
        if not options.no_hotspot and HotSpotPair.available():
            pair = HotSpotPair(work)
            kinds["HotSpot host: own launcher class, to the application's main"] = pair.own_launcher_class
            kinds["HotSpot host: packed (Java half), to the application's main"] = pair.packed
        # Settle Wine and fill the version caches before anything counts.
        for run in kinds.values():
            run()
        if kept:
            kept.check()
        figures = {name: [] for name in kinds}
        # Seeded: two runs of the benchmark meet the same orders.
        order = random.Random(29)
        groups = {}
        for name in kinds:
            groups.setdefault(compared_with(name), []).append(name)
        groups = list(groups.values())
        for _ in range(options.rounds):
            order.shuffle(groups)
            for group in groups:
                order.shuffle(group)
                for name in group:
                    figures[name].append(kinds[name]())
        load_after = load_average()
    finally:
        for setup in setups:
            setup.forget()
        shutil.rmtree(work, ignore_errors=True)

    print(f"{launcher_arch()} launcher ({BUILD_WIN32.name}), {options.rounds} interleaved rounds (order shuffled), "
          f"milliseconds since process creation; {machine_state(load_before, load_after)}")
    print(f"{'':58} {'median':>8} {'p25':>8} {'p75':>8} {'min':>8} {'max':>8}")
    row = "{:58} {:8.2f} {:8.2f} {:8.2f} {:8.2f} {:8.2f}"
    for name, values in figures.items():
        print(row.format(name, *spread(values)))

    def ratio(top, bottom, label):
        rounds = [a / b for a, b in zip(figures[top], figures[bottom])]
        print(row.replace(".2f", ".3f").format(label, *spread(rounds)))

    def difference(label, values):
        print(row.format(label, *spread(values)))

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
        for stub in options.also:
            ratio(f"real VM: {Path(stub).name} warm, to Java main", "real VM: bare loader, to Java main",
                  f"real VM: {Path(stub).name} / bare loader, to Java main")
        ratio("real VM: launcher with release file, to Java main", "real VM: bare loader, to Java main",
              "real VM, release file: launcher / bare loader, to main")
        ratio("real VM: packed launcher, to the application's main", "real VM: bare loader, to the application's main",
              "real VM, packed: launcher / bare loader, to app's main")
        ratio("real VM: packed launcher's first start, to the application's main",
              "real VM: bare loader, to the application's main",
              "real VM, packed, first start: launcher / bare loader")
    if kept:
        kept.per_round(figures, difference, ratio)
    if "HotSpot host: packed (Java half), to the application's main" in figures:
        ratio("HotSpot host: packed (Java half), to the application's main",
              "HotSpot host: own launcher class, to the application's main",
              "HotSpot host: Java half / own launcher class, to app's main")
        difference("HotSpot host: the Java half's own cost, ms",
                   [a - b for a, b in zip(figures["HotSpot host: packed (Java half), to the application's main"],
                                          figures["HotSpot host: own launcher class, to the application's main"])])
    return 0


if __name__ == "__main__":
    sys.exit(main())
