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
        # checked about it: these tests run under Xvfb.
        if not os.environ.get("DISPLAY"):
            raise AssertionError("no DISPLAY: run under xvfb-run (make test does)")
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

    def run_launcher(self, exe, args="", env=None, answer="ok", timeout_ms=30000,
                     cmdline=None, log=True, cwd=None, show=None, unix_env=None) -> Result:
        """Runs exe with the exact command line `"<exe>" args`.

        `env` is set in the Windows environment by the driver; `unix_env` in
        the environment Wine itself starts with (the locale, for instance).
        """
        wenv = {"TMP": winpath(self.tmp), "KORVO_LOG": "yes" if log else "<unset>",
                "VANDREL_LOG": "<unset>"}
        wenv.update(env or {})
        errfile = self.dir / "stderr.txt"
        argv = ["wine", str(RUNNER), "--answer", answer, "--timeout", str(timeout_ms),
                "--stderr", winpath(errfile)]
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
                     "KVO_RUN_CMDLINE": line})
        penv.update(unix_env or {})
        outfile = self.dir / "runner.txt"
        with open(outfile, "wb") as sink:
            # A file, not a pipe: a process the launcher starts may outlive it.
            out = subprocess.run(argv, env=penv, stdout=sink, stderr=subprocess.DEVNULL,
                                 stdin=subprocess.DEVNULL, timeout=timeout_ms / 1000 + 60)
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
        logs = sorted(self.tmp.glob("vdl_nlog_*"))
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
