"""Helpers for tests that start the (recording) JVM: Java archives made with
the JDK's own tools, runtime homes with the recording jvm.dll, and reading
what it recorded."""
import os
import shutil
import subprocess
import tempfile
from pathlib import Path

from harness import BUILD_WIN32, make_runtime_home

RECORDING_JVM = BUILD_WIN32 / "fixtures" / "recording-jvm" / "jvm.dll"
WIN_LAUNCHER_I = "com/vandrel/runtime/launcher/WinLauncher"
WIN_LAUNCHER_E = "com/korvo/runtime/WinLauncher"
FIRST_RUN = "com/vandrel/runtime/launcher/FirstRun"
KORVO_CONTROLLER = "com/korvo/runtime/KorvoController"

_classes_dir = None


def jdk_tool(name):
    home = os.environ.get("JAVA_HOME")
    if home and (Path(home) / "bin" / name).exists():
        return str(Path(home) / "bin" / name)
    found = shutil.which(name)
    if not found:
        raise AssertionError(f"{name} not found: a JDK is needed to build test archives")
    return found


def compiled_classes() -> Path:
    """The launcher-side classes an application ships, compiled once."""
    global _classes_dir
    if _classes_dir:
        return _classes_dir
    src = Path(tempfile.mkdtemp(prefix="kvo-java-"))
    for name, body in {
        WIN_LAUNCHER_I: "public static void main(String[] a) {}",
        WIN_LAUNCHER_E: "public static void main(String[] a) {}",
        FIRST_RUN: "public static boolean firstRun() { return true; }",
        KORVO_CONTROLLER: "public static int getAction() { return 0; } public static String getText() { return null; }",
    }.items():
        package, _, cls = name.rpartition("/")
        path = src / "src" / (name + ".java")
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(f"package {package.replace('/', '.')};\npublic class {cls} {{ {body} }}\n")
    out = src / "classes"
    sources = [str(p) for p in (src / "src").rglob("*.java")]
    subprocess.run([jdk_tool("javac"), "-d", str(out), *sources], check=True, capture_output=True)
    _classes_dir = out
    return out


def make_jar(path, *class_names):
    """A real jar made by the JDK's jar tool holding the given classes."""
    path = Path(path)
    path.parent.mkdir(parents=True, exist_ok=True)
    classes = compiled_classes()
    entries = [f"{n}.class" for n in class_names]
    command = [jdk_tool("jar"), "cf", str(path)]
    for entry in entries:
        command += ["-C", str(classes), entry]
    subprocess.run(command, check=True, capture_output=True)
    return path


def copy_classes(directory, *class_names):
    """Class files in a directory tree, as a D class-path entry holds them."""
    for name in class_names:
        target = Path(directory) / (name + ".class")
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy(compiled_classes() / (name + ".class"), target)


def recording_home(home, script=None, vm_type="server"):
    """A runtime home whose jvm.dll records; returns the VM directory."""
    make_runtime_home(home, vm_types=(vm_type,), library=str(RECORDING_JVM))
    vm_dir = Path(home) / "bin" / vm_type
    if script:
        (vm_dir / "jvm-script.txt").write_text("".join(f"{k}={v}\n" for k, v in script.items()))
    return vm_dir


class Record:
    """What the recording JVM noted, in order."""

    def __init__(self, vm_dir):
        path = Path(vm_dir) / "jvm-record.txt"
        self.rows = [r.split("\t") for r in path.read_text(encoding="utf-8").splitlines()] if path.exists() else []

    def values(self, key):
        return [r[1] if len(r) == 2 else r[1:] for r in self.rows if r[0] == key]

    @property
    def options(self):
        return [r[1] for r in self.rows if r[0] == "option"]

    @property
    def args(self):
        return [r[2] for r in self.rows if r[0] == "arg"]

    def keys(self):
        return [r[0] for r in self.rows]

    def has(self, *row):
        return list(row) in self.rows
