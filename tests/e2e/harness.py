"""Packs launchers and runs them under the project's Wine prefix.

Blocks are written here byte by byte, independently of kvo-pack, so that the
launcher's reading is checked against the format itself and so that broken
blocks can be made on purpose.
"""
import os
import re
import shutil
import struct
import subprocess
import tempfile
import unittest
from dataclasses import dataclass, field
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
BUILD_WIN32 = Path(os.environ.get("KVO_BUILD_WIN32", ROOT / "build" / "win32"))
BUILD_NATIVE = Path(os.environ.get("KVO_BUILD_NATIVE", ROOT / "build" / "native"))
STUB = BUILD_WIN32 / "launcher.exe"
RUNNER = BUILD_WIN32 / "fixtures" / "kvo-run.exe"
PACKER = BUILD_NATIVE / "kvo-pack"

DISPLAY_NUMBER = os.environ.get("KVO_DISPLAY", "93")
# The Wine loader scripts/wine-env.sh chose (the 64-bit one where the kernel
# cannot run the i386 loader).
WINE = os.environ.get("KVO_WINE", "wine")
MAGIC = 0xE8E413D5
SCRAMBLE_MASK = 0x5A


def winpath(path) -> str:
    """The Wine name of a Unix path (drive Z: is the Unix root)."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def pe_image_end(data: bytes) -> int:
    """Offset behind the raw data of the last section header."""
    pe = struct.unpack_from("<i", data, 60)[0]
    sections = struct.unpack_from("<h", data, pe + 6)[0]
    optional = struct.unpack_from("<h", data, pe + 20)[0]
    last = pe + 24 + optional + (sections - 1) * 40
    size, offset = struct.unpack_from("<ii", data, last + 16)
    return offset + size


def pe_machine(data: bytes) -> int:
    pe = struct.unpack_from("<i", data, 60)[0]
    return struct.unpack_from("<H", data, pe + 4)[0]


def launcher_is_64() -> bool:
    """Whether the tree under test holds the 64-bit launcher (build/win64)."""
    with open(STUB, "rb") as f:
        return pe_machine(f.read(4096)) == 0x8664


def launcher_arch() -> str:
    """The machine of the tree under test as builds of other parts (a real
    VM, for instance) name it: "x86_64" or "i386"."""
    return "x86_64" if launcher_is_64() else "i386"


def stub_image() -> bytes:
    data = STUB.read_bytes()
    return data[: pe_image_end(data)]


def i32(v: int) -> bytes:
    return struct.pack("<i", v)


def narrow_record(rid: int, text, encoding="cp1252") -> bytes:
    raw = text if isinstance(text, bytes) else text.encode(encoding)
    return i32(rid) + i32(len(raw)) + raw


def wide_record(rid: int, text: str) -> bytes:
    raw = text.encode("utf-16-le")
    return i32(rid) + i32(len(raw)) + raw


@dataclass
class Block:
    narrow: list = field(default_factory=list)   # (id, text) in order
    wide: list = field(default_factory=list)     # (id, text)
    locales: list = field(default_factory=list)  # (key, [(id, text)])
    magic: int = MAGIC

    def set(self, rid, text):
        self.narrow.append((rid, text))
        return self

    def bytes(self) -> bytes:
        body = i32(len(self.narrow)) + b"".join(narrow_record(i, t) for i, t in self.narrow)
        body += i32(len(self.wide)) + b"".join(wide_record(i, t) for i, t in self.wide)
        body += i32(len(self.locales))
        for key, records in self.locales:
            body += i32(len(key)) + key.encode("ascii") + i32(len(records))
            body += b"".join(wide_record(i, t) for i, t in records)
        head = struct.pack("<Iii", self.magic, 0, 0x554E581B)
        return head + struct.pack("<q", 8 + len(body)) + body


def base_block(**records) -> Block:
    """A small valid configuration: GUI type, message texts, no search."""
    b = Block()
    b.set(107, "1")
    b.set(1000, "Error")
    b.set(1005, "The JVM could not be started.")
    b.set(1009, "An internal error occurred (error code: {0})")
    for rid, text in records.items():
        b.set(int(rid.lstrip("r")), text)
    return b


@dataclass
class Result:
    code: int
    dialogs: list      # (title, text)
    stderr: str
    log: list          # lines of the launcher's log, or None
    log_name: str
    timed_out: bool


class LauncherCase(unittest.TestCase):
    """Each test gets a fresh directory that serves as app dir and TMP."""

    @classmethod
    def setUpClass(cls):
        # Without a display a message box returns at once and nothing can be
        # checked about it: these tests need the project's Xvfb display.
        if not Path(f"/tmp/.X11-unix/X{DISPLAY_NUMBER}").exists():
            raise AssertionError(f"no X display :{DISPLAY_NUMBER}: run scripts/wine-prefix.sh start "
                                 "(make test does)")
        for needed in (STUB, RUNNER):
            if not needed.exists():
                raise AssertionError(f"{needed} is missing: run make first")

    def setUp(self):
        self.dir = Path(tempfile.mkdtemp(prefix="kvo-e2e-"))
        self.tmp = self.dir / "tmp"
        self.tmp.mkdir()

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def make_exe(self, block, name="app.exe", tail=b"", where=None) -> Path:
        data = stub_image() + (block.bytes() if isinstance(block, Block) else block) + tail
        path = Path(where or self.dir) / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
        return path

    def runner_command(self, exe, args="", env=None, answer="ok", timeout_ms=30000, cmdline=None, log=True,
                       cwd=None, show=None, unix_env=None, errfile=None):
        """The driver's argv and Unix environment for one run of exe (see
        run_launcher), for tests that start several at once."""
        wenv = {"TMP": winpath(self.tmp), "KORVO_LOG": "yes" if log else "<unset>",
                "VANDREL_LOG": "<unset>"}
        wenv.update(env or {})
        argv = [WINE, str(RUNNER), "--answer", answer, "--timeout", str(timeout_ms)]
        if errfile == "<none>":
            argv += ["--stderr", errfile]
        elif errfile:
            argv += ["--stderr", winpath(errfile)]
        for k, v in wenv.items():
            argv += ["--env", f"{k}={v}"]
        if cwd:
            argv += ["--cwd", winpath(cwd)]
        if show is not None:
            argv += ["--show", str(show)]
        line = cmdline if cmdline is not None else f'"{winpath(exe)}"' + (" " + args if args else "")
        penv = dict(os.environ)
        here = ROOT / "scripts"
        penv.update({"WINEPREFIX": os.environ.get("KVO_WINEPREFIX", str(ROOT / "build" / "wineprefix")),
                     "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml=",
                     "DISPLAY": f":{DISPLAY_NUMBER}", "KVO_RUN_CMDLINE": line})
        penv.update(unix_env or {})
        return argv, penv

    def run_launcher(self, exe, args="", env=None, answer="ok", timeout_ms=30000,
                     cmdline=None, log=True, cwd=None, show=None, unix_env=None, std_handles="file") -> Result:
        """Runs exe with the exact command line `"<exe>" args`.

        `env` is set in the Windows environment by the driver; `unix_env` in
        the environment Wine itself starts with (the locale, for instance).
        `std_handles` "file" captures standard output and error in `stderr`;
        "<none>" starts the program without standard handles (as Explorer
        starts a GUI program).
        """
        errfile = self.dir / "stderr.txt"
        errfile.unlink(missing_ok=True)
        argv, penv = self.runner_command(exe, args, env, answer, timeout_ms, cmdline, log, cwd, show, unix_env,
                                         errfile if std_handles == "file" else std_handles)
        outfile = self.dir / "runner.txt"
        with open(outfile, "wb") as sink:
            # A file, not a pipe: a process the launcher starts may outlive it.
            out = subprocess.run(argv, env=penv, stdout=sink, stderr=subprocess.DEVNULL,
                                 stdin=subprocess.DEVNULL, timeout=timeout_ms / 1000 + 15)
        text = outfile.read_bytes().decode("utf-8", "replace")
        dialogs, code, timed_out = [], None, False
        for row in text.splitlines():
            parts = row.split("\t")
            if parts[0] == "dialog":
                dialogs.append((unescape(parts[1]), unescape(parts[2])))
            elif parts[0] == "exit":
                code = int(parts[1])
            elif parts[0] == "timeout":
                timed_out = True
        if code is None and not timed_out:
            raise AssertionError(f"runner failed: {out.returncode} {text!r}")
        # The newest: vdl_nlog_10 sorts before vdl_nlog_9 by name.
        logs = sorted(self.tmp.glob("vdl_nlog_*"), key=lambda p: p.lstat().st_mtime_ns)
        log_lines = logs[-1].read_bytes().decode("cp1252").replace("\r\n", "\n").split("\n") if logs else None
        stderr = errfile.read_bytes().decode("cp1252", "replace") if errfile.exists() else ""
        return Result(code, dialogs, stderr, log_lines, logs[-1].name if logs else "", timed_out)

    def assertLogHas(self, result, line):
        self.assertIsNotNone(result.log, "no log file was written")
        self.assertIn(line, result.log, "log was:\n" + "\n".join(result.log))

    def assertLogMatches(self, result, pattern):
        self.assertIsNotNone(result.log, "no log file was written")
        rx = re.compile(pattern)
        self.assertTrue(any(rx.fullmatch(l) for l in result.log),
                        f"no line matches {pattern!r}; log was:\n" + "\n".join(result.log))


def unescape(s: str) -> str:
    out, i = [], 0
    while i < len(s):
        if s[i] == "\\" and i + 1 < len(s):
            out.append({"n": "\n", "r": "\r", "t": "\t", "\\": "\\"}.get(s[i + 1], s[i + 1]))
            i += 2
        else:
            out.append(s[i])
            i += 1
    return "".join(out)


# --- Runtime homes, stand-in runtimes and the registry -----------------------

RUNTIME_FIXTURES = BUILD_WIN32 / "fixtures" / "runtime"
SHORT_PROBE_STUB = RUNTIME_FIXTURES / "launcher-short-probe.exe"
CACHE_ROOT = "HKCU\\SOFTWARE\\orrin-labs\\korvo\\jvms"


def wine_env() -> dict:
    env = dict(os.environ)
    env.update({"WINEPREFIX": os.environ.get("KVO_WINEPREFIX", str(ROOT / "build" / "wineprefix")),
                "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml=", "DISPLAY": f":{DISPLAY_NUMBER}"})
    return env


def stand_in_config(version="1.8.0_402", first_line=None, more_lines=(), exit_code=0, delay_ms=0,
                    raw=None) -> str:
    """What the stand-in java.exe prints: by default the old form of the
    version line (java version "X"); `first_line` replaces it, `raw` replaces
    all output with escaped text (\\n, \\r)."""
    rows = []
    if raw is not None:
        rows.append("raw=" + raw)
    else:
        rows.append("line=" + (first_line if first_line is not None else f'java version "{version}"'))
        rows += ["line=" + l for l in more_lines]
    rows += [f"exit={exit_code}", f"delay={delay_ms}"]
    return "\n".join(rows) + "\n"


def with_machine(data: bytes, machine) -> bytes:
    """The image with another machine in its PE header (None: unchanged), for
    runtimes of the other width that the launcher must reject unrun."""
    if machine is None or machine == pe_machine(data):
        return data
    pe = struct.unpack_from("<i", data, 60)[0]
    return data[: pe + 4] + struct.pack("<H", machine) + data[pe + 6:]


def _put_java(bin_dir: Path, config: str, javaw: bool, machine, javac=False):
    bin_dir.mkdir(parents=True, exist_ok=True)
    data = with_machine((RUNTIME_FIXTURES / "java.exe").read_bytes(), machine)
    (bin_dir / "java.exe").write_bytes(data)
    if javaw:
        (bin_dir / "javaw.exe").write_bytes(data)
    if javac:
        (bin_dir / "javac.exe").write_bytes(data)
    (bin_dir / "stand-in.cfg").write_text(config)


def _put_vm(bin_dir: Path, vm_types, library: str, dependency: bool):
    bin_dir.mkdir(parents=True, exist_ok=True)
    if dependency:
        shutil.copy(RUNTIME_FIXTURES / "stand-in-crt.dll", bin_dir / "stand-in-crt.dll")
    for vm in vm_types:
        (bin_dir / vm).mkdir(parents=True, exist_ok=True)
        shutil.copy(RUNTIME_FIXTURES / library, bin_dir / vm / "jvm.dll")


def make_runtime_home(home, version="1.8.0_402", *, jdk=False, vm_types=("server",), jdk_bin_vm_types=(),
                      javaw=True, dependency=True, machine=None, library="jvm.dll", javac=False,
                      **output) -> Path:
    """Lays out a runtime home as real ones are: a JRE has bin\\java.exe,
    bin\\javaw.exe, its C library in bin and bin\\<type>\\jvm.dll; a JDK has
    bin\\java.exe, lib\\tools.jar and a JRE in jre\\ (VM directories only
    there unless `jdk_bin_vm_types`). A JDK since 9 is the JRE layout with
    `javac` (bin\\javac.exe). `machine` overrides the PE machine of the
    java executables. `output` goes to stand_in_config."""
    home = Path(home)
    config = stand_in_config(version, **output)
    if jdk:
        _put_java(home / "bin", config, javaw, machine)
        (home / "lib").mkdir(parents=True, exist_ok=True)
        (home / "lib" / "tools.jar").write_bytes(b"PK\x05\x06" + bytes(18))
        _put_vm(home / "bin", jdk_bin_vm_types, library, dependency and bool(jdk_bin_vm_types))
        jre = home / "jre"
    else:
        jre = home
    _put_java(jre / "bin", config, javaw, machine, javac and not jdk)
    _put_vm(jre / "bin", vm_types, library, dependency)
    (jre / "lib").mkdir(parents=True, exist_ok=True)
    (jre / "lib" / "rt.jar").write_bytes(b"PK\x05\x06" + bytes(18))
    return home


def java_runs(bin_dir) -> list:
    """Command lines of the stand-in java.exe runs in `bin_dir`."""
    log = Path(bin_dir) / "stand-in-runs.log"
    return log.read_text(errors="replace").splitlines() if log.exists() else []


def jvm_record(vm_dir) -> dict:
    """What the stand-in jvm.dll in `vm_dir` noted, by keyword (the last of
    each), or {} when it was never loaded."""
    log = Path(vm_dir) / "jvm-stand-in.log"
    if not log.exists():
        return {}
    record = {}
    for row in log.read_text(encoding="utf-8", errors="replace").splitlines():
        key, _, value = row.partition("\t")
        record[key] = value
    return record


def reg(*args, check=True) -> subprocess.CompletedProcess:
    """Wine's own reg tool, e.g. reg("add", key, "/v", name, "/d", data, "/f")."""
    out = subprocess.run([WINE, "reg", *args], env=wine_env(), capture_output=True,
                         stdin=subprocess.DEVNULL, timeout=60)
    if check and out.returncode != 0:
        raise AssertionError(f"reg {args} failed: {out.stdout!r} {out.stderr!r}")
    return out


def _view(own):
    """The reg tool's switch for the registry view the launcher under test
    reads (`own`: HKLM keys of its width), or none for the tool's default."""
    if not own:
        return []
    return ["/reg:64"] if launcher_is_64() else ["/reg:32"]


# view32: the key lies in the launcher's own view of the machine keys (the
# 32-bit view for the 32-bit launcher, the 64-bit one for the other).
def reg_set(key, name, data, kind="REG_SZ", view32=False):
    args = ["add", key, "/v", name, "/t", kind, "/d", data, "/f"]
    reg(*(args + _view(view32)))


def reg_add_key(key, view32=False):
    reg(*(["add", key, "/f"] + _view(view32)))


def reg_delete(key, view32=False):
    reg(*(["delete", key, "/f"] + _view(view32)), check=False)


def reg_value(key, name, view32=False):
    """(type, data) of a value as reg query shows it, or None."""
    out = reg(*(["query", key, "/v", name] + _view(view32)), check=False)
    if out.returncode != 0:
        return None
    for row in out.stdout.decode("utf-8", "replace").splitlines():
        parts = row.strip().split(None, 2)
        if len(parts) >= 2 and parts[0] == name:
            return parts[1], parts[2] if len(parts) > 2 else ""
    return None


def cache_key(java_exe) -> str:
    """The version-cache key of a java executable given as a Unix path."""
    return CACHE_ROOT + "\\" + winpath(java_exe).lower().replace("\\", "/")


class RuntimeCase(LauncherCase):
    """A LauncherCase that removes the version-cache keys of its own runtime
    homes (they lie below its fresh directory) when it ends."""

    def tearDown(self):
        mine = "\\jvms\\" + winpath(self.dir).lower().replace("\\", "/")
        out = reg("query", CACHE_ROOT, check=False)
        for row in out.stdout.decode("utf-8", "replace").splitlines():
            row = row.strip()
            if mine in row.lower():
                reg_delete(row)
        super().tearDown()

    def make_short_probe_exe(self, block, name="app.exe") -> Path:
        """A launcher from the test build whose probe time limit follows
        KVO_TEST_PROBE_TIMEOUT_MS."""
        data = SHORT_PROBE_STUB.read_bytes()
        path = self.dir / name
        path.write_bytes(data[: pe_image_end(data)] + block.bytes())
        return path
