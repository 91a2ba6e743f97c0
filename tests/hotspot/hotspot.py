"""The launcher's JVM stage on HotSpot, through the native host
(hotspot-host): runtime homes, the test's Java classes, one run and what it
left behind (exit code, log, messages shown, what the Java code reported).

One scenario by hand (the log lines are in DIR/log.txt), with the test's
launcher class or (--runtime) with kvo-runtime.jar's:

    python3 tests/hotspot/hotspot.py kvotest.Probe -- first "two words"
    python3 tests/hotspot/hotspot.py kvotest.Probe --runtime -- first "two words"
"""
import atexit
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
from dataclasses import dataclass
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parents[1]
HOST = Path(os.environ.get("KVO_HOTSPOT_HOST", ROOT / "build" / "native" / "hotspot-host"))
# Debian's OpenJDK 17, a build dependency: the tier must pass on it.
DEBIAN_JDK = Path("/usr/lib/jvm/java-17-openjdk-amd64")
JAVA_TREES = {"launcher": ROOT / "tests" / "realvm" / "java" / "launcher",
              "app": ROOT / "tests" / "realvm" / "java" / "app",
              "hotspot": HERE / "java",
              "javafx": HERE / "javafx"}
# Debian's JavaFX (package openjfx): its modules, and the jars of those the
# test's application needs, for the class path.
JAVAFX_MODULES = Path("/usr/share/openjfx/lib")
JAVAFX_JARS = [JAVAFX_MODULES / f"javafx.{name}.jar" for name in ("base", "graphics", "controls")]
# The launcher's Java half: the application classes of the real-VM tier use
# its API, so they compile against it.
RUNTIME_JAR = ROOT / "build" / "native" / "java" / "kvo-runtime.jar"
PACKER = Path(os.environ.get("KVO_PACKER", ROOT / "build" / "native" / "kvo-pack"))

MESSAGES = {1000: "Error", 1005: "The JVM could not be started.", 1009: "An internal error occurred (error code: {0})",
            1010: "Couldn't load main class.", 1011: "Main method not found."}


def libjvm(home):
    return Path(home) / "lib" / "server" / "libjvm.so"


def jdk_homes():
    """Debian's 17 first, then every other JDK home under /usr/lib/jvm (or
    in KVO_HOTSPOT_JDKS, separated by ':'), each real directory once."""
    listed = os.environ.get("KVO_HOTSPOT_JDKS")
    others = [Path(p) for p in listed.split(":") if p] if listed else sorted(Path("/usr/lib/jvm").glob("*"))
    homes, seen = [], set()
    for home in [DEBIAN_JDK] + others:
        real = home.resolve()
        if real not in seen and libjvm(home).exists():
            seen.add(real)
            homes.append(home)
    return homes


_classes = {}


def compiled(tree):
    """The classes of one Java tree, compiled once by Debian's javac: the
    realvm trees for Java 8 (as the test VM of that tier reads them), the
    HotSpot tree for Java 9, since it looks at modules, the JavaFX one for
    the toolkit's 11."""
    if tree in _classes:
        return _classes[tree]
    out = Path(tempfile.mkdtemp(prefix=f"kvo-hotspot-{tree}-"))
    atexit.register(shutil.rmtree, out, True)
    sources = [str(p) for p in JAVA_TREES[tree].rglob("*.java")]
    release = {"hotspot": "9", "javafx": "11"}.get(tree, "8")
    command = [str(DEBIAN_JDK / "bin" / "javac"), "-nowarn", "-Xlint:-options", "--release", release,
               "-encoding", "UTF-8", "-d", str(out)]
    if tree != "launcher":
        path = [compiled("launcher"), RUNTIME_JAR] + (JAVAFX_JARS if tree == "javafx" else [])
        command += ["-cp", os.pathsep.join(map(str, path))]
    done = subprocess.run(command + sources, capture_output=True, text=True)
    if done.returncode != 0:
        raise AssertionError(f"javac failed for {tree}:\n{done.stderr}")
    _classes[tree] = out
    return out


def escape(text):
    return text.replace("\\", "\\\\").replace("\n", "\\n").replace("\t", "\\t")


def unescape(text):
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text):
            out.append({"n": "\n", "t": "\t", "r": "\r"}.get(text[i + 1], text[i + 1]))
            i += 2
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


@dataclass
class Run:
    directory: Path
    code: int
    log: list
    messages: list
    report: list
    stdout: str
    stderr: str

    def values(self, key):
        return [v for k, v in self.report if k == key]

    def __str__(self):
        return (f"exit {self.code}\nmessages: {self.messages}\nlog:\n  " + "\n  ".join(self.log)
                + f"\nstderr:\n{self.stderr}\nreport: {self.report}")


_report_only = []


def report_classes():
    """The test's report class alone: beside kvo-runtime.jar no launcher
    class of the test may stand on the class path."""
    if not _report_only:
        out = Path(tempfile.mkdtemp(prefix="kvo-hotspot-report-"))
        atexit.register(shutil.rmtree, out, True)
        target = out / "com" / "korvo" / "runtime"
        target.mkdir(parents=True)
        shutil.copy(compiled("launcher") / "com" / "korvo" / "runtime" / "Report.class", target)
        _report_only.append(out)
    return _report_only[0]


_packed = []


def packed_java_half():
    """What kvo-pack appends to a stub for a plain configuration (build
    --overlay): the block with the Java half's classes behind it, which the
    host reads as the exe reads them from its own file."""
    if not _packed:
        out = Path(tempfile.mkdtemp(prefix="kvo-hotspot-packed-"))
        atexit.register(shutil.rmtree, out, True)
        (out / "app.kvo").write_text("ApplicationName = HotSpot tier\nMainClass = kvotest.Probe\nExecutableType = 1\n")
        done = subprocess.run([str(PACKER), "build", "--overlay", "--config", str(out / "app.kvo"), "--out",
                               str(out / "app.bin")], capture_output=True, text=True)
        if done.returncode != 0:
            raise AssertionError(f"kvo-pack failed: {done.stderr}")
        _packed.append(out / "app.bin")
    return _packed[0]


def host_command(home, directory, main_class, args=(), vm_options="", options_lines=None, controller=False,
                 records=None, runtime=False, launcher=None, class_path=()):
    """The command of one start of the JVM stage on the VM of `home`, in
    `directory`. With `runtime`, as kvo-pack packs a launcher: the Java
    half's classes read from the launcher's file (`launcher`, a packed
    launcher, or what kvo-pack appends for a plain configuration), no
    launcher class of the test's, and no message records (the built-in
    texts). `class_path` adds archives and folders behind the test's trees."""
    directory = Path(directory)
    directory.mkdir(parents=True, exist_ok=True)
    report, log, messages = directory / "report.txt", directory / "log.txt", directory / "messages.txt"
    for path in (report, log, messages):
        path.unlink(missing_ok=True)
    trees = [report_classes()] if runtime else [compiled("launcher")]
    trees += [compiled("app"), compiled("hotspot")]
    entries = ["D0" + str(t) for t in trees] + [("D0" if Path(p).is_dir() else "A0") + str(p) for p in class_path]
    table = {121: ";".join(entries),
             122: main_class, 123: f'"-Dkvotest.report={report}" {vm_options}'.strip(), 2001: "e"}
    if not runtime:
        table.update(MESSAGES)
    table.update(records or {})
    record_file = directory / "records.txt"
    record_file.write_text("".join(f"{k}\t{escape(str(v))}\n" for k, v in table.items()), encoding="utf-8")
    command = [str(HOST), "--jvm", str(libjvm(home)), "--dir", str(directory), "--records", str(record_file),
               "--log", str(log), "--messages", str(messages)]
    if runtime:
        command += ["--launcher", str(launcher or packed_java_half())]
    if options_lines is not None:
        options = directory / "app.vmoptions"
        if isinstance(options_lines, bytes):
            options.write_bytes(options_lines)  # a file as some editor saved it
        else:
            options.write_text("".join(line + "\n" for line in options_lines), encoding="utf-8")
        command += ["--options", str(options)]
    if controller:
        command.append("--controller")
    return command + ["--"] + list(args)


ENV = dict(os.environ, LC_ALL="C.UTF-8")


def collect(directory, code, stdout, stderr):
    """What one start left behind in `directory`."""
    directory = Path(directory)
    read = lambda p: p.read_text(encoding="utf-8", errors="replace").splitlines() if p.exists() else []
    rows = [tuple(line.split("\t", 1)) for line in read(directory / "report.txt")]
    return Run(directory, code, read(directory / "log.txt"), [unescape(m) for m in read(directory / "messages.txt")],
               [(k, unescape(v)) for k, v in rows], stdout.decode(errors="replace"), stderr.decode(errors="replace"))


def run_host(home, directory, main_class, args=(), timeout=60, environment=None, **kw):
    """One start of the JVM stage on the VM of `home`, in `directory`;
    `environment` adds to the host's."""
    done = subprocess.run(host_command(home, directory, main_class, args, **kw), capture_output=True,
                          env=dict(ENV, **(environment or {})), timeout=timeout)
    return collect(directory, done.returncode, done.stdout, done.stderr)


class Running:
    """A start that runs while the test goes on (a single instance)."""

    def __init__(self, home, directory, main_class, args, **kw):
        self.directory = Path(directory)
        self.process = subprocess.Popen(host_command(home, directory, main_class, args, **kw),
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=ENV)

    def wait_for(self, key, timeout=60):
        """The values the Java code reported under `key`, once there are any."""
        end = time.monotonic() + timeout
        while True:
            found = [v for k, v in collect(self.directory, None, b"", b"").report if k == key]
            if found or time.monotonic() > end or self.process.poll() is not None:
                return found
            time.sleep(0.05)

    def finish(self, timeout=60):
        try:
            out, err = self.process.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            out, err = self.process.communicate()
        return collect(self.directory, self.process.returncode, out, err)

    def hand_over(self, command_line, timeout=30):
        """A second start of the same launcher, given `command_line`: its
        exit code, its lifetime in ms and its log."""
        log = self.directory / "second.txt"
        log.unlink(missing_ok=True)
        began = time.monotonic()
        done = subprocess.run([str(HOST), "--hand-over", str(self.process.pid), "--dir", str(self.directory),
                               "--log", str(log), "--command-line", command_line], capture_output=True, env=ENV,
                              timeout=timeout)
        lifetime = int((time.monotonic() - began) * 1000)
        return done.returncode, lifetime, log.read_text(encoding="utf-8").splitlines() if log.exists() else []


_vm_names = {}


def vm_name(home):
    """java.vm.name and java.version of the VM in `home`, and its compilers
    (HotSpot names itself there), as Java reports them."""
    if home not in _vm_names:
        with tempfile.TemporaryDirectory(prefix="kvo-hotspot-vm-") as d:
            r = run_host(home, d, "kvotest.Probe")
            if not r.values("vm"):
                raise AssertionError(f"the VM in {home} did not start:\n{r}")
            name, version, compilers = r.values("vm")[0].split("\t")
            _vm_names[home] = f"{name} {version}, {compilers}"
    return _vm_names[home]


class HotSpotCase(unittest.TestCase):
    """Each test runs its scenarios on every JDK found, Debian's 17 first,
    and names the VM it ran on."""

    @classmethod
    def setUpClass(cls):
        if not HOST.exists():
            raise AssertionError(f"no host at {HOST}: build the native tree")
        if not libjvm(DEBIAN_JDK).exists():
            raise AssertionError(f"no HotSpot at {libjvm(DEBIAN_JDK)}: install openjdk-17-jdk-headless")

    def setUp(self):
        self._dir = tempfile.TemporaryDirectory(prefix="kvo-hotspot-")
        self.dir = Path(self._dir.name)
        self.addCleanup(self._dir.cleanup)
        self._runs = 0

    def vms(self):
        """(home, name) of each VM, announced on the test's output."""
        for home in jdk_homes():
            name = vm_name(home)
            print(f"\n  {self.id().rsplit('.', 1)[-1]}: on {name} ({home})", flush=True)
            yield home, name

    def start(self, home, main_class, *args, where=None, **kw):
        """One start in a directory of its own, or in `where` (a launcher
        started again)."""
        self._runs += 1
        return run_host(home, where or self.dir / f"run{self._runs}", main_class, args, **kw)

    def spawn(self, home, main_class, *args, **kw):
        self._runs += 1
        return Running(home, self.dir / f"run{self._runs}", main_class, args, **kw)

    def assertLogHas(self, run, line):
        self.assertIn(line, run.log, str(run))

    def steps(self, run, *lines):
        return [line for line in run.log if line in lines]


def main():
    """By hand: python3 hotspot.py MAIN_CLASS [--jdk HOME] [--vm-options TEXT] [--controller] [--runtime]
    [-- ARG...]"""
    argv = sys.argv[1:]
    args = argv[argv.index("--") + 1:] if "--" in argv else []
    argv = argv[:argv.index("--")] if "--" in argv else argv
    home = Path(argv[argv.index("--jdk") + 1]) if "--jdk" in argv else DEBIAN_JDK
    options = argv[argv.index("--vm-options") + 1] if "--vm-options" in argv else ""
    directory = Path(tempfile.mkdtemp(prefix="kvo-hotspot-by-hand-"))
    r = run_host(home, directory, argv[0], args, vm_options=options, controller="--controller" in argv,
                 runtime="--runtime" in argv)
    print(r)
    print(f"files in {directory}")
    sys.exit(r.code)


if __name__ == "__main__":
    main()
