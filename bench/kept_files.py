"""The benchmark's pair for included files a launcher keeps per user
(IncludedFilesCache = 1): the same packed launcher with 48 MB included, as
a runtime lays them out (one large file and 200 small ones in folders), and
without included files, on the stand-in runtime, to JNI_CreateJavaVM. A
later start finds the kept folder and compares sizes and times; a first
start (the kept folder removed before it) writes the 48 MB.

Targets: a later start at most 10 ms more than the launcher without
included files; a first start writing at least 200 MB/s, counted as the
48 MB over what the first start takes beyond the launcher without included
files. A plain copy of the same bytes on the host is printed beside it.
"""
import getpass
import os
import shutil
import subprocess
import time
from pathlib import Path

from harness import PACKER, STUB, jvm_record, make_runtime_home

MEGABYTES = 48
SMALL_FILES = 200
LATER = "kept files: later start, 48 MB kept, to JNI_CreateJavaVM"
NONE = "kept files: same launcher, none included, to JNI_CreateJavaVM"
FIRST = "kept files: first start, 48 MB written, to JNI_CreateJavaVM"


class KeptFilesPair:
    def __init__(self, work, env, wine):
        self.env = env
        self.wine = wine
        self.where = work / "kept"
        home = make_runtime_home(self.where / "jre", "1.8.0_402")
        self.vm_dir = home / "bin" / "server"
        payload = self.where / "payload"
        payload.mkdir()
        rows = []
        small = 32 * 1024
        large = MEGABYTES * 1024 * 1024 - SMALL_FILES * small
        chunk = os.urandom(1024 * 1024)
        with open(payload / "modules", "wb") as f:
            for i in range(large // len(chunk)):
                f.write(chunk[i % 7:] + chunk[:i % 7])
            f.write(chunk[:large % len(chunk)])
        rows.append("rt\\lib\\modules = payload/modules")
        for i in range(SMALL_FILES):
            name = f"s{i:03d}.bin"
            (payload / name).write_bytes(chunk[i * 97:i * 97 + small])
            rows.append(f"rt\\{'bin' if i % 2 else 'lib'}\\part{i // 50}\\{name} = payload/{name}")
        self.payload = payload
        # A name of its own: the kept folder is removed again at the end.
        self.application = f"kvo-bench-kept-{os.getpid()}"
        head = ("ExecutableType = 0\nMainClass = kvobench.Main\nJreSearchSequence = B.\\jre\n"
                "1000 = Error\n1005 = The JVM could not be started.\n"
                f"ApplicationName = {self.application}\n")
        self.with_files = self._pack("with.kvo", "with.exe", head + "IncludedFilesCache = 1\n[files]\n"
                                     + "\n".join(rows) + "\n")
        self.without = self._pack("without.kvo", "without.exe", head)
        self.kept = (Path(env["WINEPREFIX"]) / "drive_c" / "users" / getpass.getuser() / "AppData" / "Local"
                     / "korvo" / self.application)

    @staticmethod
    def available():
        return PACKER.exists()

    def _pack(self, config, out, text):
        (self.where / config).write_text(text, encoding="utf-8")
        done = subprocess.run([str(PACKER), "build", "--stub", str(STUB), "--config", str(self.where / config),
                               "--out", str(self.where / out)], capture_output=True, text=True)
        if done.returncode != 0:
            raise SystemExit(f"kvo-pack failed for the kept-files pair: {done.stderr}")
        return self.where / out

    def _entry(self, exe):
        log = self.vm_dir / "jvm-stand-in.log"
        log.unlink(missing_ok=True)
        done = self.wine(self.env, exe)
        record = jvm_record(self.vm_dir)
        if "create" not in record:
            raise SystemExit(f"{exe.name} did not reach JNI_CreateJavaVM of the stand-in (exit {done.returncode})")
        return float(record["create"])

    def later(self):
        return self._entry(self.with_files)

    def none(self):
        return self._entry(self.without)

    def first(self):
        shutil.rmtree(self.kept, ignore_errors=True)
        return self._entry(self.with_files)

    def kinds(self):
        return {LATER: self.later, NONE: self.none, FIRST: self.first}

    def check(self):
        """That the starts above did what they are named for; and the plain
        copy, while the payload is there."""
        if not self.kept.is_dir() or len([p for p in self.kept.iterdir() if p.is_dir()]) != 1:
            raise SystemExit(f"no kept folder in {self.kept}: the kept-files figures would measure nothing")
        self.copies = []
        for _ in range(5):
            target = self.where / "copy"
            began = time.perf_counter()
            shutil.copytree(self.payload, target)
            self.copies.append(MEGABYTES / (time.perf_counter() - began))
            shutil.rmtree(target)

    def per_round(self, figures, show, ratio):
        show("kept files: later start - none included, ms (target <= 10)",
             [a - b for a, b in zip(figures[LATER], figures[NONE])])
        ratio(LATER, NONE, "kept files: later start / none included")
        show("kept files: first start writes, MB/s (target >= 200)",
             [MEGABYTES / ((a - b) / 1000) for a, b in zip(figures[FIRST], figures[NONE])])
        show("a plain copy of the same files on the host, MB/s", self.copies)

    def forget(self):
        shutil.rmtree(self.kept, ignore_errors=True)
