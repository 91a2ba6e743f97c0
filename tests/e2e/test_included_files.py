"""Included files: packed, extracted into a fresh temporary directory, and
removed again when the launcher ends itself.

The launcher cannot yet run an application, so every run of launcher.exe
ends with an error exit, which removes the directory. To look at the
extracted files, the same block and data are appended to a copy of the
Wine test program, whose test DISABLED_PackedExtraction reads its own block
and extracts exactly as the launcher does, then returns (as a normal run
would) and reports the directory and the unextracted position.
"""
import hashlib
import os
import re
import struct
import subprocess
import time
import unittest
from pathlib import Path

from harness import (BUILD_NATIVE, BUILD_WIN32, PACKER, ROOT, SCRAMBLE_MASK, LauncherCase, base_block,
                     pe_image_end, winpath)
from jvmstart import recording_home

WINE_TESTS = BUILD_WIN32 / "wine_tests.exe"
STUB_LAUNCHER = BUILD_WIN32 / "launcher.exe"
PREFIX_C = Path(os.environ.get("KVO_WINEPREFIX", ROOT / "build" / "wineprefix")) / "drive_c"
CHILD_ARGS = "--gtest_also_run_disabled_tests --gtest_filter=DISABLED_PackedExtraction.*"

KVO_HEAD = ("ExecutableType = 1\nMainClass = test.Main\n1000 = Error\n"
            "1009 = An internal error occurred (error code: {0})\n")


def scrambled(data: bytes) -> bytes:
    return bytes(b ^ SCRAMBLE_MASK for b in data)


def entry(data: bytes, length=None) -> bytes:
    """One included file as it lies behind the block."""
    return struct.pack("<q", len(data) if length is None else length) + scrambled(data)


def pattern_bytes(n: int, seed: int) -> bytes:
    # Every byte value, and no period that lines up with the 8192-byte chunks.
    return bytes((i * 131 + i // 8191 + seed) & 0xFF for i in range(n))


def unix_path(path: str) -> Path:
    """The Unix path of a Wine path on drive Z: or C:."""
    drive, rest = path[0].upper(), path[2:].replace("\\", "/")
    if drive == "Z":
        return Path(rest)
    if drive == "C":
        # Wine matches names without regard to case.
        found = PREFIX_C
        for part in [p for p in rest.split("/") if p]:
            matches = [c for c in found.iterdir() if c.name.lower() == part.lower()]
            found = matches[0] if matches else found / part
        return found
    raise AssertionError(f"unexpected drive in {path}")


# Wine takes its Windows locale, and with it the ANSI code page (932), from
# the host's; ASCII arguments only, so the locale need not be generated.
JAPANESE = {"LC_ALL": "ja_JP.UTF-8"}


class IncludedFilesCase(LauncherCase):
    def setUp(self):
        super().setUp()
        if not PACKER.exists() or not WINE_TESTS.exists():
            raise AssertionError("kvo-pack or wine_tests.exe is missing: run make first")
        self.files = self.dir / "files"
        self.files.mkdir()
        self.windows_temp = unix_path("C:\\windows\\temp")
        self.windows_temp_before = set(self.windows_temp.glob("kvo*"))

    def tearDown(self):
        # Runs that fell back to the Windows temp directory leave their
        # empty "kvo" files there; they are ours to remove.
        for p in set(self.windows_temp.glob("kvo*")) - self.windows_temp_before:
            if p.is_file():
                p.unlink()
        super().tearDown()

    def pack(self, files: dict, stub: Path, name="app.exe", extra="") -> Path:
        """Packs `files` (name in temp dir -> bytes) with kvo-pack."""
        lines = []
        for i, (inner, data) in enumerate(files.items()):
            source = self.files / f"f{i}"
            source.write_bytes(data)
            lines.append(f"{inner} = files/f{i}")
        config = self.dir / "app.kvo"
        config.write_text(KVO_HEAD + extra + "[files]\n" + "\n".join(lines) + "\n", encoding="utf-8")
        out = self.dir / name
        subprocess.run([str(PACKER), "build", "--stub", str(stub), "--config", str(config),
                        "--out", str(out)], check=True, capture_output=True)
        return out

    def raw(self, block, tail: bytes, stub=None, name="app.exe") -> Path:
        """Writes a launcher byte by byte: image, block, then `tail`."""
        if stub is None:
            return self.make_exe(block, name=name, tail=tail)
        data = Path(stub).read_bytes()
        path = self.dir / name
        path.write_bytes(data[: pe_image_end(data)] + block.bytes() + tail)
        return path

    def run_child(self, exe, env=None, unix_env=None):
        """Runs the extraction in a packed copy of the test program."""
        report = self.dir / "report.txt"
        if report.exists():
            report.unlink()
        r = self.run_launcher(exe, CHILD_ARGS, env={"KVO_EXTRACTION_REPORT": winpath(report),
                                                    **(env or {})}, unix_env=unix_env)
        self.assertEqual(r.code, 0, f"child failed; log:\n" + "\n".join(r.log or []))
        values = dict(line.split("\t", 1) for line in report.read_text().splitlines())
        return r, values

    def temp_dir_of(self, result) -> str:
        lines = [l for l in result.log if l.startswith("Temp dir: ")]
        self.assertEqual(len(lines), 1, "\n".join(result.log))
        return lines[0][len("Temp dir: "):]

    def names_in_tmp(self):
        return sorted(p.name for p in self.tmp.iterdir() if not p.name.startswith("vdl_nlog_"))


def classes_length(exe) -> int:
    """The length of the Java half's classes behind a packed launcher's
    included files, as its record RuntimeClasses (2005) says."""
    found = re.search(rb"\xd5\x07\x00\x00.\x00\x00\x00(\d+),(\d+)", Path(exe).read_bytes(), re.S)
    return int(found.group(2))


class PackedByKvoPack(IncludedFilesCase):
    FILES = {
        "a.txt": b"hello\r\n",
        "empty.txt": b"",
        "lib\\big.bin": pattern_bytes(3 * 1024 * 1024 + 1, 7),
        "lib\\chunk.bin": pattern_bytes(8193, 3),
        "b.dat": pattern_bytes(8192, 5),
    }

    def test_files_are_restored_byte_for_byte(self):
        exe = self.pack(self.FILES, WINE_TESTS)
        r, report = self.run_child(exe)
        self.assertEqual(report["result"], "0")
        temp = report["tempDir"]
        self.assertRegex(temp, r"^" + re.escape(winpath(self.tmp)) + r"\\kvo[0-9A-Fa-f]{1,4}\.tmp_dir-?\d+$")
        where = unix_path(temp)
        # The system's empty temporary file stays beside the directory.
        stem = temp.split("\\")[-1].rsplit("_dir", 1)[0]
        self.assertEqual((self.tmp / stem).read_bytes(), b"")

        found = sorted(str(p.relative_to(where)) for p in where.rglob("*"))
        # The vendor's files alone: the Java half's classes stay in the file.
        self.assertEqual(found, ["a.txt", "b.dat", "lib", "lib/big.bin", "lib/chunk.bin"])
        for inner, data in self.FILES.items():
            if data:
                got = (where / inner.replace("\\", "/")).read_bytes()
                self.assertTrue(got == data, f"{inner}: {len(got)} bytes differ from {len(data)}")
        # Behind the last included file, where the classes begin.
        self.assertEqual(int(report["unextractedPosition"]), exe.stat().st_size - classes_length(exe))

        self.assertLogHas(r, "Included files: 5")
        self.assertLogHas(r, f"creating directory {temp}\\lib")
        self.assertLogHas(r, f"extracting {temp}\\lib\\big.bin (size: {3 * 1024 * 1024 + 1})")
        self.assertLogHas(r, f"extracting {temp}\\empty.txt (size: 0)")
        self.assertLogHas(r, "extracting files done")

    def test_dump_lists_the_files_and_takes_them_out_unchanged(self):
        exe = self.pack(self.FILES, STUB_LAUNCHER)
        out = self.dir / "dumped"
        text = subprocess.run([str(PACKER), "dump", "--extract-files", str(out), str(exe)],
                              check=True, capture_output=True, text=True).stdout
        section = text[text.index("[files]"):].splitlines()[1:]
        self.assertEqual([l.split(" = ")[0] for l in section if l], list(self.FILES))
        self.assertEqual((out / "lib" / "big.bin").read_bytes(), self.FILES["lib\\big.bin"])

    def test_error_exit_removes_the_directory(self):
        # No runtime can be found yet: the launcher ends with code 83.
        exe = self.pack(self.FILES, STUB_LAUNCHER)
        r = self.run_launcher(exe)
        self.assertEqual(r.code, 83)
        temp = self.temp_dir_of(r)
        self.assertFalse(unix_path(temp).exists())
        self.assertEqual(len(self.names_in_tmp()), 1, self.names_in_tmp())  # the kvo*.tmp file
        self.assertLogHas(r, f"unextracted position: {exe.stat().st_size - classes_length(exe)}")
        self.assertLogHas(r, f"emptying {temp}")
        self.assertLogHas(r, f"attempting to remove {temp}\\lib (1)")
        self.assertLogHas(r, f"attempting to delete {temp}\\lib\\big.bin")
        self.assertNotIn(f"attempting to delete {temp}\\empty.txt", r.log)


class ByteByByte(IncludedFilesCase):
    def block(self, count, names):
        return base_block(r2002=str(count), r2003=names)

    def test_no_included_files_make_no_directory(self):
        for count in ("0", "", "x"):
            with self.subTest(count=count):
                block = base_block(r2002=count, r2003="a.txt") if count else base_block()
                # Data behind the block is not even looked at.
                r = self.run_launcher(self.raw(block, entry(b"ignored")))
                self.assertEqual(r.code, 83)
                self.assertLogHas(r, "Included files: 0")
                self.assertFalse(any(l.startswith("Temp dir:") for l in r.log))
                self.assertEqual(self.names_in_tmp(), [])
                for f in self.tmp.glob("vdl_nlog_*"):
                    f.unlink()

    def test_negative_count_makes_the_directory_and_extracts_nothing(self):
        exe = self.raw(self.block(-1, "a.txt"), entry(b"data"), stub=WINE_TESTS)
        r, report = self.run_child(exe)
        self.assertEqual(report["result"], "0")
        self.assertEqual(list(unix_path(report["tempDir"]).iterdir()), [])
        self.assertEqual(report["unextractedPosition"], report["blockEnd"])
        self.assertLogHas(r, "Included files: -1")

    def test_more_count_than_names_stops_at_the_names(self):
        tail = entry(b"one") + entry(b"two") + entry(b"three")
        exe = self.raw(self.block(3, "a.txt;;b.txt;"), tail, stub=WINE_TESTS)
        r, report = self.run_child(exe)
        where = unix_path(report["tempDir"])
        self.assertEqual(sorted(p.name for p in where.iterdir()), ["a.txt", "b.txt"])
        self.assertEqual((where / "b.txt").read_bytes(), b"two")
        # The third file's length field is where the unextracted data begins.
        third = exe.stat().st_size - len(entry(b"three"))
        self.assertEqual(int(report["unextractedPosition"]), third)

    def test_fewer_count_than_names_stops_at_the_count(self):
        exe = self.raw(self.block(1, "a.txt;b.txt"), entry(b"one") + entry(b"two"), stub=WINE_TESTS)
        r, report = self.run_child(exe)
        self.assertEqual([p.name for p in unix_path(report["tempDir"]).iterdir()], ["a.txt"])
        self.assertEqual(int(report["unextractedPosition"]), int(report["blockEnd"]) + len(entry(b"one")))

    def test_zero_length_file_is_skipped_and_the_next_follows_its_length(self):
        tail = entry(b"") + entry(b"", length=-7) + entry(b"after")
        exe = self.raw(self.block(3, "zero.txt;neg.txt;after.txt"), tail, stub=WINE_TESTS)
        r, report = self.run_child(exe)
        where = unix_path(report["tempDir"])
        self.assertEqual([p.name for p in where.iterdir()], ["after.txt"])
        self.assertEqual((where / "after.txt").read_bytes(), b"after")
        self.assertLogHas(r, f"extracting {report['tempDir']}\\neg.txt (size: -7)")

    def test_one_directory_level_is_created(self):
        exe = self.raw(self.block(2, "lib\\a.jar;lib\\b.jar"), entry(b"A") + entry(b"B"), stub=WINE_TESTS)
        r, report = self.run_child(exe)
        where = unix_path(report["tempDir"])
        self.assertEqual((where / "lib" / "a.jar").read_bytes(), b"A")
        self.assertEqual((where / "lib" / "b.jar").read_bytes(), b"B")
        self.assertLogHas(r, f"creating directory {report['tempDir']}\\lib")

    def test_names_leaving_the_directory_are_refused_before_anything_is_written(self):
        names = ["lib\\deeper\\a.jar", "..\\evil.txt", "lib\\..\\..\\evil.txt",
                 winpath(self.dir / "evil.txt"), "\\evil.txt", "Z:evil.txt", "a.txt:stream",
                 "CON", "lib/evil.txt", "... "]
        for bad in names:
            with self.subTest(name=bad):
                for f in self.tmp.glob("vdl_nlog_*"):
                    f.unlink()
                # A good name first: it must not be written either.
                exe = self.raw(self.block(2, "good.txt;" + bad), entry(b"good") + entry(b"evil"))
                r = self.run_launcher(exe)
                self.assertEqual(r.code, 1)
                self.assertEqual(r.dialogs[0][1].split("\n")[0],
                                 "An internal error occurred (error code: 11)")
                self.assertLogMatches(r, r"ERROR: included file name .* refused: .+")
                self.assertFalse(any(l.startswith("Temp dir:") for l in r.log))
                self.assertEqual(self.names_in_tmp(), [])
                self.assertEqual([p for p in self.dir.rglob("*") if "evil" in p.name or
                                  p.name in ("good.txt", "CON", "deeper")], [])

    def test_double_byte_names_are_split_by_characters(self):
        # Under code page 932 the second byte of ソ, 表 and 能 is 0x5C, the
        # backslash's byte: byte by byte, "ソ.txt" would be a folder "\x83"
        # with a file ".txt" in it, and "表\能.txt" two levels deep.
        block = self.block(3, "\u30bd.txt;\u8868\\\u80fd.txt;\u8868\\a.txt".encode("cp932"))
        exe = self.raw(block, entry(b"so") + entry(b"hyou-nou") + entry(b"a"), stub=WINE_TESTS)
        r, report = self.run_child(exe, unix_env=JAPANESE)
        where = unix_path(report["tempDir"])
        self.assertEqual(sorted(p.name for p in where.iterdir()), ["\u30bd.txt", "\u8868"])
        self.assertEqual((where / "\u30bd.txt").read_bytes(), b"so")
        self.assertEqual(sorted(p.name for p in (where / "\u8868").iterdir()), ["a.txt", "\u80fd.txt"])
        self.assertEqual((where / "\u8868" / "\u80fd.txt").read_bytes(), b"hyou-nou")

    def test_double_byte_folder_is_removed_on_an_error_exit(self):
        # A folder whose name ends in such a character is emptied and
        # removed like any other when the launcher ends with an error.
        block = self.block(3, "\u80fd\\a.txt;\u80fd\\\u30bd;b.txt".encode("cp932"))
        exe = self.raw(block, entry(b"first") + entry(b"second") + struct.pack("<q", 100) + b"only ten b")
        r = self.run_launcher(exe, unix_env=JAPANESE)
        self.assertEqual(r.code, 1)
        self.assertEqual(r.dialogs[0][1].split("\n")[0], "An internal error occurred (error code: 16)")
        temp = self.temp_dir_of(r)
        self.assertLogHas(r, f"ERROR: Failed to extract {temp}\\b.txt")
        self.assertFalse(unix_path(temp).exists(), list(unix_path(temp).rglob("*")))

    def test_short_data_ends_with_16_and_removes_the_directory(self):
        exe = self.raw(self.block(2, "a.txt;b.txt"), entry(b"first") + struct.pack("<q", 100) + b"only ten b")
        r = self.run_launcher(exe)
        self.assertEqual(r.code, 1)
        self.assertEqual(r.dialogs[0][1].split("\n")[0], "An internal error occurred (error code: 16)")
        temp = self.temp_dir_of(r)
        self.assertLogMatches(r, r"ERROR: ReadFile failed 0 \d+ 10")
        self.assertLogHas(r, f"ERROR: Failed to extract {temp}\\b.txt")
        self.assertLogHas(r, f"attempting to delete {temp}\\b.txt")
        self.assertFalse(unix_path(temp).exists())

    def test_missing_length_field_is_a_fatal_read_error(self):
        exe = self.raw(self.block(2, "a.txt;b.txt"), entry(b"first"))
        r = self.run_launcher(exe)
        self.assertEqual(r.code, 1)
        self.assertEqual(r.dialogs[0][1].split("\n")[0], "Internal Error: readLong")
        temp = self.temp_dir_of(r)
        self.assertLogHas(r, f"attempting to delete {temp}\\a.txt")
        self.assertFalse(unix_path(temp).exists())


class TemporaryPath(IncludedFilesCase):
    def test_unusable_tmp_falls_back_to_the_windows_temp_directory(self):
        # Without a log: with TMP unusable it would fall back to c:\ as well,
        # where other tests count their own logs.
        exe = self.raw(base_block(r2002="1", r2003="a.txt"), entry(b"data"))
        for tmp in (winpath(self.dir / "missing" / "deeper"), "Q:\\no-such-drive"):
            with self.subTest(tmp=tmp):
                before = set(self.windows_temp.iterdir())
                r = self.run_launcher(exe, env={"TMP": tmp}, log=False)
                self.assertEqual(r.code, 83)
                made = set(self.windows_temp.iterdir()) - before
                # The system's empty temporary file is left there; the
                # directory made beside it is gone again.
                self.assertTrue(made, "nothing was made in the Windows temp directory")
                for m in made:
                    self.assertRegex(m.name, r"^kvo[0-9A-Fa-f]{1,4}\.tmp$")
                    self.assertTrue(m.is_file() and m.read_bytes() == b"", m)
                self.assertFalse((self.dir / "missing").exists())

    def test_no_temporary_directory_in_ten_attempts_ends_with_7(self):
        blocker = self.dir / "a-file"
        blocker.write_text("not a directory")
        exe = self.raw(base_block(r2002="1", r2003="a.txt"), entry(b"data"))
        log_path = PREFIX_C / "vdl_nlog"
        r = self.run_launcher(exe, env={"TMP": winpath(blocker)})
        try:
            log = log_path.read_bytes().decode("cp1252").replace("\r\n", "\n").split("\n")
        finally:
            log_path.unlink(missing_ok=True)
        self.assertEqual(r.code, 1)
        self.assertEqual(r.dialogs[0][1].split("\n")[0], "An internal error occurred (error code: 7)")
        self.assertEqual(sum(l.startswith("Could not create dir (") for l in log), 10)
        self.assertEqual(sum(l.startswith("Temp dir: ") for l in log), 10)
        self.assertNotIn("extracting files done", log)


def content_hash(files: dict) -> str:
    """The folder name a launcher keeps `files` under, computed here from the
    definition: SHA-256 of the count, then each name and its data, with
    their lengths (little-endian), cut to 16 hexadecimal digits."""
    h = hashlib.sha256(struct.pack("<I", len(files)))
    for name, data in files.items():
        raw = name.encode("cp1252")
        h.update(struct.pack("<I", len(raw)) + raw + struct.pack("<Q", len(data)) + data)
    return h.hexdigest()[:16]


def tree(folder: Path) -> dict:
    """Relative path -> (bytes, modification time in the 100 ns that Windows
    keeps) of every file below."""
    return {str(p.relative_to(folder)): (p.read_bytes(), p.stat().st_mtime_ns // 100)
            for p in sorted(folder.rglob("*")) if p.is_file()}


class KeptFiles(IncludedFilesCase):
    """IncludedFilesCache = 1: one folder per application and content under
    LOCALAPPDATA, extracted once and checked by sizes and times after."""
    FILES = {
        "app.jar": pattern_bytes(5000, 1),
        "lib\\x.jar": pattern_bytes(9000, 2),
        "rt\\bin\\server\\deep.dll": pattern_bytes(300001, 3),
        "empty.txt": b"",
        "user\\u.zip": b"zz",
    }
    APP = "Kept App"

    def setUp(self):
        super().setUp()
        self.local = self.dir / "local"
        self.local.mkdir()
        self.vm = recording_home(self.dir / "jre")

    def packed(self, files=None, name="app.exe", extra=""):
        return self.pack(files or self.FILES, STUB_LAUNCHER, name=name,
                         extra=f"ApplicationName = {self.APP}\nIncludedFilesCache = 1\n"
                               "JreSearchSequence = B.\\jre\n" + extra)

    def env(self, **more):
        return {"LOCALAPPDATA": winpath(self.local), "MANPATH": "<unset>", **more}

    def start(self, exe, **kw):
        return self.run_launcher(exe, env=kw.pop("env", self.env()), **kw)

    def application(self) -> Path:
        return self.local / "korvo" / self.APP

    def kept(self, files=None) -> Path:
        return self.application() / content_hash(files or self.FILES)

    def option(self, r, name):
        """A system property as the launcher's log lists its VM options."""
        found = [l.split("=", 1)[1] for l in r.log if re.match(rf"vmoption \d+: -D{re.escape(name)}=", l)]
        self.assertEqual(len(found), 1, r.log)
        return found[0]

    def spawn(self, exe, number):
        """Starts exe without waiting; (process, its runner output file)."""
        argv, penv = self.runner_command(exe, env=self.env(), timeout_ms=90000)
        out = self.dir / f"runner{number}.txt"
        with open(out, "wb") as sink:
            process = subprocess.Popen(argv, env=penv, stdout=sink, stderr=subprocess.DEVNULL,
                                       stdin=subprocess.DEVNULL)
        return process, out

    def finished(self, process, out) -> int:
        process.wait(timeout=150)
        codes = [int(l.split("\t")[1]) for l in out.read_text(errors="replace").splitlines() if l.startswith("exit\t")]
        self.assertEqual(len(codes), 1, out.read_text(errors="replace"))
        return codes[0]

    def logs(self):
        return [p.read_bytes().decode("cp1252").replace("\r\n", "\n").split("\n")
                for p in sorted(self.tmp.glob("vdl_nlog_*"))]

    def test_the_first_start_extracts_once_and_later_starts_only_compare(self):
        exe = self.packed()
        r = self.start(exe)
        self.assertEqual((r.code, r.dialogs), (0, []), r)
        kept = self.kept()
        self.assertLogHas(r, f"included files kept (record IncludedFilesCache) in {winpath(kept)}")
        self.assertLogHas(r, f"published {winpath(kept)}")
        # Every file but the empty one, the index, and nothing in TMP.
        first = tree(kept)
        self.assertEqual(sorted(first), sorted(["app.jar", "kvo-files.idx", "lib/x.jar", "rt/bin/server/deep.dll",
                                                "user/u.zip"]))
        for name, data in self.FILES.items():
            if data:
                self.assertTrue(first[name.replace("\\", "/")][0] == data, name)
        self.assertEqual(self.names_in_tmp(), [])
        self.assertEqual(sorted(p.name for p in self.application().iterdir()), [kept.name])
        # The application sees the kept folder; its archives lead the class path.
        self.assertEqual(self.option(r, "korvo.tempDir"), winpath(kept))
        self.assertEqual(self.option(r, "java.class.path"), f"{winpath(kept)}\\app.jar;{winpath(kept)}\\user\\u.zip;")
        unextracted = self.option(r, "korvo.unextractedPosition")
        self.assertEqual(int(unextracted), exe.stat().st_size - classes_length(exe))

        # A file of the application's own is left alone, and is no archive of the class path.
        (kept / "mine.jar").write_bytes(b"the application's")
        for again in range(2):
            for f in self.tmp.glob("vdl_nlog_*"):
                f.unlink()
            r = self.start(exe)
            self.assertEqual((r.code, r.dialogs), (0, []), r)
            self.assertFalse([l for l in r.log if l.startswith(("extracting Z", "extracting into", "restoring ",
                                                                "published "))], r.log)
            self.assertEqual(self.option(r, "korvo.tempDir"), winpath(kept))
            self.assertEqual(self.option(r, "korvo.unextractedPosition"), unextracted)
            self.assertNotIn("mine.jar", self.option(r, "java.class.path"))
            self.assertEqual(tree(kept), {**first, "mine.jar": (b"the application's",
                                                                (kept / "mine.jar").stat().st_mtime_ns // 100)})
        self.assertEqual(self.names_in_tmp(), [])

        # A copy elsewhere, under another name, is the same application: it
        # uses the folder as it is (and, finding no runtime there, leaves it).
        (self.dir / "copy").mkdir()
        copy = self.dir / "copy" / "other name.exe"
        copy.write_bytes(exe.read_bytes())
        r = self.start(copy)
        self.assertEqual(r.code, 83, r)
        self.assertLogHas(r, f"included files kept (record IncludedFilesCache) in {winpath(kept)}")
        self.assertFalse([l for l in r.log if l.startswith(("extracting into", "restoring ", "removing "))], r.log)
        self.assertEqual(sorted(p.name for p in self.application().iterdir()), [kept.name])
        self.assertEqual(sorted(tree(kept)), sorted([*first, "mine.jar"]))

    def test_missing_and_changed_files_are_restored_and_an_error_exit_keeps_the_folder(self):
        exe = self.packed()
        self.assertEqual(self.start(exe).code, 0)
        kept = self.kept()
        first = tree(kept)
        (kept / "app.jar").write_bytes(b"X" * 5000)                     # same size, other content
        (kept / "lib" / "x.jar").write_bytes(b"short")                  # another size
        for p in (kept / "rt" / "bin").rglob("*"):                      # a whole folder gone
            if p.is_file():
                p.unlink()
        for d in sorted((kept / "rt" / "bin").rglob("*"), reverse=True):
            d.rmdir()
        (kept / "rt" / "bin").rmdir()
        time.sleep(0.02)
        r = self.start(exe)
        self.assertEqual((r.code, r.dialogs), (0, []), r)
        for name in ("app.jar", "lib\\x.jar", "rt\\bin\\server\\deep.dll"):
            self.assertLogHas(r, f"restoring {winpath(kept)}\\{name} (missing or changed)")
        self.assertEqual(sum(l.startswith("restoring ") for l in r.log), 3, r.log)
        # Bytes and times as the index holds them: the next start finds nothing to do.
        self.assertEqual(tree(kept), first)
        self.assertFalse([p for p in kept.rglob("*.part")])

        # An index that is not one makes the start extract the folder anew.
        (kept / "kvo-files.idx").write_text("kvo-files 1\nhash nonsense\n")
        r = self.start(exe)
        self.assertEqual(r.code, 0, r)
        self.assertLogMatches(r, r"ERROR: the index of .* is refused: it was written for another content")
        self.assertLogHas(r, f"published {winpath(kept)}")
        self.assertEqual(sorted(tree(kept)), sorted(first))

        # Ending with an error (no runtime) leaves the folder as it is.
        (self.dir / "jre").rename(self.dir / "gone")
        r = self.run_launcher(exe, env=self.env())
        self.assertEqual(r.code, 83)
        self.assertEqual(sorted(tree(kept)), sorted(first))
        self.assertFalse([l for l in r.log if l.startswith(("emptying", "attempting"))], r.log)

    def test_racing_first_starts_use_one_folder(self):
        exe = self.packed({"big.bin": pattern_bytes(6 * 1024 * 1024, 9), "a\\b\\c.txt": b"c"})
        runs = [self.spawn(exe, i) for i in range(3)]
        self.assertEqual([self.finished(p, out) for p, out in runs], [0, 0, 0])
        kept = self.kept({"big.bin": pattern_bytes(6 * 1024 * 1024, 9), "a\\b\\c.txt": b"c"})
        # One published folder; the losers' folders and nothing else are gone.
        self.assertEqual([p.name for p in self.application().iterdir()], [kept.name])
        self.assertEqual((kept / "big.bin").read_bytes(), pattern_bytes(6 * 1024 * 1024, 9))
        logs = self.logs()
        self.assertEqual(len(logs), 3)
        self.assertEqual(sum(f"published {winpath(kept)}" in log for log in logs), 1, logs)
        for log in logs:
            self.assertIn("extracting files done", log)

    def test_a_rebuilt_launcher_replaces_the_old_folder_once_no_launcher_uses_it(self):
        old_files = dict(self.FILES)
        new_files = {**self.FILES, "app.jar": pattern_bytes(5000, 77)}
        old = self.packed(old_files, name="old.exe")
        self.assertEqual(self.start(old).code, 0)
        # What is not the launcher's stays: other names, and links (followed, what they
        # point to would go).
        outside = self.dir / "outside"
        outside.mkdir()
        (outside / "precious.txt").write_text("not the launcher's")
        (self.application() / "notes").mkdir()
        (self.application() / "readme.txt").write_text("mine")
        (self.application() / "fedcba9876543210").symlink_to(outside, target_is_directory=True)
        (self.kept(old_files) / "link").symlink_to(outside, target_is_directory=True)
        # A start that stopped half-way left its folder.
        half = self.application() / (content_hash(new_files) + ".new-4242-1")
        (half / "lib").mkdir(parents=True)
        (half / "lib" / "x.jar").write_bytes(b"half")

        # The old launcher runs (its main thread lives 4 s) while the new one starts.
        (self.vm / "jvm-script.txt").write_text("main-thread-ms=4000\n")
        for f in self.tmp.glob("vdl_nlog_*"):
            f.unlink()
        running = self.spawn(old, 1)
        deadline = time.time() + 60
        while time.time() < deadline and not any("extracting files done" in log for log in self.logs()):
            time.sleep(0.1)
        new = self.packed(new_files, name="app.exe")
        (self.vm / "jvm-script.txt").unlink()
        r = self.start(new)
        self.assertEqual(r.code, 0, r)
        self.assertEqual(self.option(r, "korvo.tempDir"), winpath(self.kept(new_files)))
        self.assertLogMatches(r, re.escape(winpath(self.kept(old_files))) + r" stays: in use \(\d+\)")
        self.assertTrue(self.kept(old_files).exists())
        self.assertFalse(half.exists(), "the half-written folder stays")
        self.assertEqual(self.finished(*running), 0)

        r = self.start(new)
        self.assertEqual(r.code, 0, r)
        self.assertLogHas(r, f"removing {winpath(self.kept(old_files))}")
        # Wine cannot remove a link to a folder (Windows removes it as a link), so
        # the old folder may stay under its retired name, holding the link alone.
        left = sorted(p.name for p in self.application().iterdir())
        retired = [n for n in left if n.startswith(self.kept(old_files).name + ".old-")]
        self.assertEqual(sorted(set(left) - set(retired)),
                         sorted([self.kept(new_files).name, "notes", "readme.txt", "fedcba9876543210"]))
        for name in retired:
            self.assertEqual([p.name for p in (self.application() / name).iterdir()], ["link"])
        self.assertEqual(sorted(p.name for p in outside.iterdir()), ["precious.txt"])

    def test_without_the_record_or_a_usable_place_every_start_has_a_fresh_folder(self):
        plain = self.pack({"a.jar": b"A", "lib\\b.jar": b"B"}, STUB_LAUNCHER, extra="JreSearchSequence = B.\\jre\n")
        r = self.start(plain)
        self.assertEqual(r.code, 0, r)
        self.assertTrue(self.option(r, "korvo.tempDir").startswith(winpath(self.tmp) + "\\kvo"))
        self.assertEqual(list(self.local.iterdir()), [])

        # LOCALAPPDATA unset: the files are kept below the temporary path.
        exe = self.packed()
        r = self.start(exe, env=self.env(LOCALAPPDATA="<unset>"))
        self.assertEqual(r.code, 0, r)
        kept = self.tmp / "korvo" / self.APP / content_hash(self.FILES)
        self.assertEqual(self.option(r, "korvo.tempDir"), winpath(kept))
        self.assertEqual((kept / "rt" / "bin" / "server" / "deep.dll").read_bytes(),
                         self.FILES["rt\\bin\\server\\deep.dll"])

        # No folder can be made there: a fresh temporary folder as without the
        # record, deeper folders included, and all of it gone after an error exit.
        (self.local / "korvo").write_text("a file in the way")
        r = self.start(exe)
        self.assertEqual(r.code, 0, r)
        self.assertLogHas(r, "the included files go into a fresh temporary folder instead")
        temp = self.option(r, "korvo.tempDir")
        self.assertEqual(unix_path(temp).joinpath("rt", "bin", "server", "deep.dll").read_bytes(),
                         self.FILES["rt\\bin\\server\\deep.dll"])
        (self.dir / "jre").rename(self.dir / "gone")
        r = self.run_launcher(exe, env=self.env())
        self.assertEqual(r.code, 83)
        self.assertFalse(unix_path(self.temp_dir_of(r)).exists())

    def test_a_first_start_that_cannot_write_a_file_leaves_no_half_folder(self):
        # "a" is made as a file, so "a\b" cannot be: in the kept folder's
        # sibling and again in the fresh folder, which ends the start. Every
        # such start would otherwise leave another half-written sibling.
        block = base_block(r2002="2", r2003="a;a\\b", r2004="1", r2006="0123456789abcdef", r101="Kept App")
        exe = self.raw(block, entry(b"file a") + entry(b"file b"))
        for _ in range(2):
            r = self.start(exe)
            self.assertEqual(r.code, 1, r)
            self.assertEqual(r.dialogs[0][1].split("\n")[0], "An internal error occurred (error code: 11)")
            self.assertLogMatches(r, r"ERROR: the included files could not be written into "
                                     r".*\.new-\d+-\d+ \(2, \d+\)")
            self.assertLogHas(r, "the included files go into a fresh temporary folder instead")
            self.assertEqual(list(self.application().iterdir()), [])
            self.assertFalse(unix_path(self.temp_dir_of(r)).exists())


if __name__ == "__main__":
    unittest.main()
