"""Launchers started on a real Java VM (Avian built as a Windows jvm.dll
from ../shared/avian): runtime homes that hold it, the test's Java classes
compiled against its class library, and what the Java code reported."""
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "e2e"))

from harness import BUILD_NATIVE, ROOT, LauncherCase, base_block, make_runtime_home, unescape, winpath  # noqa: E402
from packing import pack  # noqa: E402

ARCH = os.environ.get("KVO_REALVM_ARCH", "i386")
REALVM = Path(os.environ.get("KVO_REALVM", ROOT / "build" / "realvm" / ARCH))
JVM_DLL = REALVM / "jvm.dll"
CLASS_LIBRARY = REALVM / "classpath.jar"
JAVA_SOURCES = HERE / "java"
# The launcher's Java half, as kvo-pack packs it into every launcher.
RUNTIME_JAR = BUILD_NATIVE / "java" / "kvo-runtime.jar"

LAUNCHER_CLASSES = ["com/korvo/runtime/WinLauncher", "com/korvo/runtime/Report",
                    "com/korvo/runtime/KorvoController"]

_compiled = {}


def missing_reason():
    """Why the real VM cannot be used here, or None."""
    if not JVM_DLL.exists():
        return f"no real JVM at {JVM_DLL} (scripts/build-realvm.sh builds it from ../shared/avian)"
    return None


def javac():
    home = os.environ.get("JAVA_HOME")
    found = Path(home) / "bin" / "javac" if home else shutil.which("javac")
    if not found:
        raise AssertionError("javac not found: a JDK is needed to compile the test classes")
    return str(found)


def compiled(tree) -> Path:
    """The classes of java/<tree> (with java/launcher on the class path),
    compiled once against the real VM's own class library, so that nothing
    it lacks can be used."""
    if tree in _compiled:
        return _compiled[tree]
    out = Path(tempfile.mkdtemp(prefix=f"kvo-realvm-{tree}-"))
    sources = [str(p) for p in (JAVA_SOURCES / tree).rglob("*.java")]
    command = [javac(), "-nowarn", "-source", "8", "-target", "8", "-bootclasspath", str(CLASS_LIBRARY),
               "-encoding", "UTF-8", "-d", str(out)]
    if tree != "launcher":
        command += ["-cp", f"{compiled('launcher')}{os.pathsep}{RUNTIME_JAR}"]
    done = subprocess.run(command + sources, capture_output=True, text=True)
    if done.returncode != 0:
        raise AssertionError(f"javac failed for {tree}:\n{done.stderr}")
    _compiled[tree] = out
    return out


def make_jar(path, tree, entries, files=None):
    """A jar made by the JDK's jar tool from compiled classes of `tree`
    (entries without ".class") and extra files {name: text}."""
    path = Path(path)
    path.parent.mkdir(parents=True, exist_ok=True)
    stage = Path(tempfile.mkdtemp(prefix="kvo-realvm-jar-"))
    for entry in entries:
        target = stage / (entry + ".class")
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy(compiled(tree) / (entry + ".class"), target)
        for inner in (compiled(tree) / entry).parent.glob(Path(entry).name + "$*.class"):
            shutil.copy(inner, target.parent / inner.name)
    for name, text in (files or {}).items():
        target = stage / name
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_text(text)
    jar = Path(javac()).with_name("jar")
    subprocess.run([str(jar), "cf", str(path), "-C", str(stage), "."], check=True, capture_output=True)
    shutil.rmtree(stage, ignore_errors=True)
    return path


def copy_classes(directory, tree, entries):
    for entry in entries:
        target = Path(directory) / (entry + ".class")
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy(compiled(tree) / (entry + ".class"), target)


def real_block(main_class, vm_options="", **records):
    """Flavour e (launcher class com/korvo/runtime/WinLauncher), a private
    runtime in jre\\, the launcher's and the application's archives in lib\\."""
    b = base_block()
    for rid, text in [(121, "A0.\\lib\\launcher.jar;A0.\\lib\\app.jar"), (122, main_class),
                      (123, vm_options), (126, "1.6"), (128, "B.\\jre"), (2001, "e"),
                      (1010, "Couldn't load main class."), (1011, "Main method not found.")]:
        b.set(rid, text)
    for rid, text in records.items():
        b.set(int(rid.lstrip("r")), text)
    return b


def read_report(path):
    """(key, value) rows the Java code wrote, values unescaped."""
    rows = []
    if not Path(path).exists():
        return rows
    for line in Path(path).read_bytes().decode("utf-8").split("\n"):
        if not line:
            continue
        key, _, value = line.partition("\t")
        rows.append((key, unescape(value)))
    return rows


class RealVmCase(LauncherCase):
    """Each case: a launcher packed from the stock stub, a runtime home with
    the real jvm.dll (and the stand-in java.exe for the probe: the VM has no
    launcher of its own) and the test's Java classes."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        reason = missing_reason()
        if reason:
            raise AssertionError(reason)

    def setUp(self):
        super().setUp()
        self.report_path = self.dir / "report.txt"

    def real_app(self, main_class, *, launcher_entries=None, app_entries=("kvotest/" + "Probe",),
                 launcher_tree="launcher", vm_options="", where=None, **records):
        where = Path(where or self.dir)
        make_runtime_home(where / "jre", vm_types=("server",), library=str(JVM_DLL), dependency=False)
        make_jar(where / "lib" / "launcher.jar", launcher_tree,
                 LAUNCHER_CLASSES if launcher_entries is None else launcher_entries)
        make_jar(where / "lib" / "app.jar", "app", list(app_entries),
                 files={"kvotest/greeting.txt": "hello from the jar"})
        options = f'"-Dkvotest.report={winpath(self.report_path)}" {vm_options}'.strip()
        return self.make_exe(real_block(main_class, options, **records), where=where)

    def packed_app(self, main_class, *lines, app_entries=("kvotest/Probe",), app_tree="app", toolkit=False,
                   vm_options="", where=None):
        """A launcher as a vendor makes one: kvo-pack and the stock stub, a
        configuration of the four lines a first launcher needs (name, main
        class, class path, search) and `lines`. The launcher class is the
        one in kvo-runtime.jar, which kvo-pack packs in. With `toolkit`, the
        stand-in of the JavaFX toolkit's Application in a jar of its own."""
        where = Path(where or self.dir)
        make_runtime_home(where / "jre", vm_types=("server",), library=str(JVM_DLL), dependency=False)
        make_jar(where / "lib" / "app.jar", app_tree, list(app_entries))
        make_jar(where / "lib" / "report.jar", "launcher", ["com/korvo/runtime/Report"])
        jars = ["app.jar", "report.jar"]
        if toolkit:
            make_jar(where / "lib" / "toolkit.jar", "toolkit", ["javafx/application/Application"])
            jars.append("toolkit.jar")
        config = ["ApplicationName = Plain application", f"MainClass = {main_class}",
                  "ClassPath = " + ";".join(f"A1.\\lib\\{jar}" for jar in jars), "JreSearchSequence = B.\\jre",
                  f'VmOptions = "-Dkvotest.report={winpath(self.report_path)}" {vm_options}'.rstrip(), *lines]
        return pack(where, "\n".join(config) + "\n")

    def start(self, exe, args="", **kw):
        env = {"MANPATH": "<unset>"}
        env.update(kw.pop("env", {}))
        kw.setdefault("timeout_ms", 45000)
        return self.run_launcher(exe, args, env=env, **kw)

    def report(self):
        return read_report(self.report_path)

    def values(self, key):
        return [v for k, v in self.report() if k == key]

    def dialog_texts(self, result):
        """The dialogs' texts without the log-file line the launcher adds."""
        return [text.split("\n\nLog: ")[0] for _, text in result.dialogs]
