#!/usr/bin/env python3
"""Command-line behaviour of kvo-pack.

Usage: cli_test.py KVO_PACK EXAMPLE_KVO [LAUNCHER_EXE...]
Each LAUNCHER_EXE (32-bit, 64-bit) is used when it exists (the cross builds
may not have run). With KVO_PACK_RUNNER set (scripts/wine-run.sh), KVO_PACK is
the Windows tool and every command runs through that runner.
"""
import hashlib
import os
import random
import re
import shlex
import shutil
import stat
import struct
import subprocess
import sys
import tempfile
import threading
import unittest
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from imagefiles import ico, png  # noqa: E402

KVO_PACK = EXAMPLE = None
RUNNER = shlex.split(os.environ.get("KVO_PACK_RUNNER", ""))
SEP = "\\" if RUNNER else "/"
LAUNCHERS = []
SCRAMBLE = 0x5A
# What a stub that reads the Java half's classes from its own file logs, and
# so carries; an older stub gets kvo-runtime.jar as an included file.
READS_CLASSES = b"Java half: classes at (record RuntimeClasses)"
# And what a stub that keeps its included files per user logs.
KEEPS_FILES = b"included files kept (record IncludedFilesCache)"


def make_pe32(sections=2, machine=0x14C, magic=0x10B, older=False, keeps=False):
    """A minimal PE32 (or, with magic 0x20B, PE32+) image: headers, then
    0x200 bytes per section; unless `older`, a stub that reads the Java
    half's classes; with `keeps`, one that keeps its included files."""
    pe_offset, optional_size = 0x80, 0xE0
    image = bytearray(0x200 + sections * 0x200)
    image[0:2] = b"MZ"
    struct.pack_into("<I", image, 60, pe_offset)
    image[pe_offset:pe_offset + 4] = b"PE\0\0"
    struct.pack_into("<HH", image, pe_offset + 4, machine, sections)
    struct.pack_into("<H", image, pe_offset + 20, optional_size)
    if magic == 0x20B:
        optional_size = 0xF0
        struct.pack_into("<H", image, pe_offset + 20, optional_size)
    struct.pack_into("<H", image, pe_offset + 24, magic)
    # Alignments, the size of the headers and 16 data directories, all empty.
    struct.pack_into("<II", image, pe_offset + 24 + 32, 0x1000, 0x200)
    struct.pack_into("<I", image, pe_offset + 24 + 60, 0x200)
    struct.pack_into("<I", image, pe_offset + 24 + (108 if magic == 0x20B else 92), 16)
    table = pe_offset + 24 + optional_size
    for i in range(sections):
        struct.pack_into("<8sIIII", image, table + 40 * i, b".s%d" % i, 0x200, 0x1000 * (i + 1),
                         0x200, 0x200 * (i + 1))
        image[0x200 * (i + 1):0x200 * (i + 2)] = bytes([(i * 31 + b) & 0xFF for b in range(0x200)])
    if sections and not older:
        image[0x240:0x240 + len(READS_CLASSES)] = READS_CLASSES
    if sections and keeps:
        image[0x300:0x300 + len(KEEPS_FILES)] = KEEPS_FILES
    return bytes(image)


def shown(folder, *parts):
    """A path below `folder` as the tool prints it: joined with the host's separator."""
    return (SEP).join((folder, *parts))


def run(*args, cwd=None):
    return subprocess.run([*RUNNER, KVO_PACK, *args], cwd=cwd, capture_output=True, text=True, timeout=120)


class Base(unittest.TestCase):
    def setUp(self):
        self._tmp = tempfile.TemporaryDirectory(prefix="kvo-pack-cli.")
        self.dir = self._tmp.name
        self.write("stub.exe", make_pe32())

    def tearDown(self):
        self._tmp.cleanup()

    def path(self, name):
        return os.path.join(self.dir, name)

    def write(self, name, data):
        # Every launcher needs its main class; configurations written for
        # other purposes get one unless they name it themselves.
        if name.endswith(".kvo") and isinstance(data, str) and "MainClass" not in data:
            data += "\n[narrow]\nMainClass = test.Main\n"
        path = self.path(name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data.encode() if isinstance(data, str) else data)
        return path

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def build(self, config="app.kvo", out="app.exe", stub="stub.exe", *extra):
        return run("build", "--stub", self.path(stub), "--config", self.path(config),
                   "--out", self.path(out), *extra)

    def assert_ok(self, result):
        self.assertEqual(result.returncode, 0, result.stderr)

    def full_device(self):
        """A node of the device /dev/full is, in the test's folder where the
        test may make one (as root): a tool that did replace it would replace
        this one, not the system's."""
        node = self.path("full")
        try:
            os.mknod(node, 0o666 | stat.S_IFCHR, os.stat("/dev/full").st_rdev)
            return node
        except PermissionError:
            return "/dev/full"


class CommandLine(Base):
    def test_help_and_usage_errors(self):
        result = run("--help")
        self.assert_ok(result)
        self.assertIn("Name := value", result.stdout)
        # Every command, in the usage and explained below it.
        for command in ("build", "dump", "records", "runtime-jar"):
            self.assertIn("  kvo-pack " + command + " ", result.stdout)
            self.assertRegex(result.stdout, r"\n%s +\w" % command)
        for args in ([], ["pack"], ["build", "--config", "a.kvo"], ["build", "--bogus"],
                     ["runtime-jar"], ["runtime-jar", "x.jar"], ["runtime-jar", "--markdown"],
                     ["runtime-jar", "--out", "x.jar", "--force"],
                     ["dump"], ["dump", "a.exe", "b.exe"], ["build", "--stub"],
                     ["dump", "--stub", "x", "a.exe"],
                     ["build", "--stub", "s", "--overlay", "--config", "c", "--out", "o"],
                     ["records", "x.kvo"], ["records", "--out", "x"], ["build", "--markdown"]):
            with self.subTest(args=args):
                result = run(*args)
                self.assertEqual(result.returncode, 2)
                self.assertIn("Usage:", result.stderr)

    def test_errors_exit_non_zero_and_leave_no_file(self):
        cases = {
            "unknown name": ("ApplicationName = x\nFoo = 1\n", "stub.exe", "app.kvo:2: unknown record name 'Foo'"),
            "unmappable": ("# c\nApplicationName = \u0142\n", "stub.exe", "app.kvo:2: '\u0142' (U+0142) has no form in code page CP1252"),
            "missing file": ("[files]\nx.dll = nowhere.dll\n", "stub.exe", "app.kvo:2: cannot read "),
            "bad name": ("[files]\n..\\x.dll = stub.exe\n", "stub.exe", "app.kvo:2: included file name"),
            "file and folder": ("[files]\nlib = stub.exe\n\nLib\\x.dll = stub.exe\n", "stub.exe",
                                "app.kvo:4: included file name 'Lib\\x.dll' needs a folder 'Lib', but line 2"),
            "the runtime's name as a folder": ("[files]\nKVO-Runtime.jar\\x.dll = stub.exe\n", "stub.exe",
                                               "app.kvo:2: included file name 'KVO-Runtime.jar\\x.dll' needs a folder "
                                               "named like the Java half"),
            "one name twice": ("[files]\n\u00e9.dll = stub.exe\n\u00c9.DLL = stub.exe\n", "stub.exe",
                               "app.kvo:3: included file name '\u00c9.DLL' is already listed on line 2"),
            "not an image": ("ApplicationName = x\n", "app.kvo", "not a PE32 or PE32+ image: no MZ header"),
            "missing stub": ("ApplicationName = x\n", "none.exe", "cannot open"),
            "unusable": ("MainClass = a.B\nClassPath = lib\\x.jar\nExecutableType = gui\n", "stub.exe",
                         "kvo-pack: " + os.path.join("{dir}", "app.kvo") + ":2: ClassPath entry 'lib\\x.jar' has no type letter: write A0lib\\x.jar"
                         " (type A an archive, D a folder of classes, S a folder whose archives all count, E an "
                         "environment variable; then 1 mandatory or 0 optional; then the path)\n"
                         "kvo-pack: " + os.path.join("{dir}", "app.kvo") + ":3: ExecutableType is a number"),
        }
        for label, (config, stub, message) in cases.items():
            with self.subTest(label):
                self.write("app.kvo", config)
                before = sorted(os.listdir(self.dir))
                result = self.build(stub=stub)
                self.assertEqual(result.returncode, 1)
                self.assertIn(message.replace("{dir}", self.dir), result.stderr)
                self.assertEqual(sorted(os.listdir(self.dir)), before)
        # Every slip of a first configuration in one run, in file order.
        self.write("app.kvo", "ApplicationNmae = Acme\nMainClass = com.acme.Main\nExecutableTyp = 1\n"
                   "JreSearchSequence jre\nSplashEnabeld = 1\n# fine\nVMOptions = -Xmx1g\nSingleInstance\n"
                   "ClassPath = lib\\acme.jar\n")
        result = self.build()
        self.assertEqual(result.returncode, 1)
        lines = [line for line in result.stderr.splitlines() if line.startswith("kvo-pack: ")]
        self.assertEqual([re.match(r"kvo-pack: .*app\.kvo:(\d+): (\S+ \S+)", line).groups() for line in lines],
                         [("1", "unknown record"), ("3", "unknown record"), ("4", "expected 'Name"),
                          ("5", "unknown record"), ("7", "unknown record"), ("8", "expected 'Name"),
                          ("9", "ClassPath entry")], result.stderr)
        self.assertIn("(did you mean 'ApplicationName'?)", lines[0])
        self.assertIn("(did you mean 'VmOptions'?)", lines[4])
        self.assertFalse(os.path.exists(self.path("app.exe")))
        result = run("dump", self.path("nothing.exe"))
        self.assertEqual(result.returncode, 1)
        result = self.build(config="none.kvo")
        self.assertEqual(result.returncode, 1)
        self.assertIn("none.kvo", result.stderr)

    def test_included_options_files_are_read_as_the_launcher_reads_them(self):
        self.write("opts.vmoptions", "\ufeff-Xmx1g\r\n-jar app.jar\r\n".encode("utf-16-le"))
        self.write("app.kvo", "ApplicationName = x\n[files]\napp.vmoptions = opts.vmoptions\n")
        before = sorted(os.listdir(self.dir))
        result = self.build()
        self.assertEqual(result.returncode, 1)
        self.assertRegex(result.stderr, r"app\.kvo:3: .*opts\.vmoptions:2: option: -jar is no VM option")
        self.assertEqual(sorted(os.listdir(self.dir)), before)

    def test_record_reference_is_the_launchers_own(self):
        """`kvo-pack records` lists exactly the records and messages the
        launcher's sources know, each with the type its getter reads, and the
        vendor guide carries that very table."""
        root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
        with open(os.path.join(root, "core", "ConfigStore.h"), encoding="utf-8") as f:
            header = f.read()
        ids = {}
        for space in ("rec", "msg"):
            body = re.search(r"namespace %s \{(.*?)\n\}" % space, header, re.S).group(1)
            ids[space] = {name: int(v) for name, v in re.findall(r"constexpr int32_t (\w+) = (\d+);", body)}
        self.assertGreater(len(ids["rec"]), 40)
        result = run("records", "--markdown")
        self.assert_ok(result)
        rows = re.findall(r"^\| (\d+) \| `(\w+)` \| ([^|]+) \|", result.stdout, re.M)
        self.assertEqual({name: int(i) for i, name, _ in rows}, ids["rec"])
        messages = {int(i) for i in re.findall(r"^\| (\d+) \| [^`|]*\|[^|]*\|[^|]*\|$", result.stdout, re.M)}
        self.assertEqual(messages, set(ids["msg"].values()))
        # The placeholders named are the ones the built-in text holds.
        for number, placeholders, builtin in re.findall(r"^\| (\d+) \| ([^|]*)\|[^|]*\| ([^|]*) \|$",
                                                       result.stdout, re.M):
            with self.subTest(message=number):
                for n in re.findall(r"\{(\d)\}", builtin):
                    self.assertIn("{%s}" % n, placeholders)
        kinds = {name: kind.strip() for _, name, kind in rows}
        readers = {"Bool": {"switch 0/1"}, "Int": {"number", "switch 0/1"}, "Color": {"colour r,g,b"},
                   "String": {"text", "version", "class path", "search entries", "class name", "VM options",
                              "web address"}}
        seen = set()
        for folder in ("core", "services", "runtime", "jvm", "splash", "launcher"):
            for name in os.listdir(os.path.join(root, folder)):
                if not name.endswith(".cpp"):
                    continue
                with open(os.path.join(root, folder, name), encoding="utf-8") as f:
                    for getter, record in re.findall(r"getConfig(Bool|Int|Color|String)\(rec::(\w+)", f.read()):
                        seen.add(record)
                        with self.subTest(record=record, file=name):
                            self.assertIn(kinds[record], readers[getter])
        self.assertGreater(len(seen), 40)
        # The guide's reference is this output, word for word.
        with open(os.path.join(root, "docs", "vendor-guide.md"), encoding="utf-8") as f:
            self.assertIn(result.stdout, f.read())
        plain = run("records")
        self.assert_ok(plain)
        for name, number in ids["rec"].items():
            self.assertRegex(plain.stdout, r"\b%d +%s " % (number, name))

    def test_runtime_jar_is_what_build_packs(self):
        result = run("runtime-jar", "--out", self.path("lib/kvo-runtime.jar"))
        self.assertEqual(result.returncode, 1, "a missing folder is not made")
        self.assertFalse(os.path.exists(self.path("lib")))
        os.mkdir(self.path("lib"))
        self.write("lib/kvo-runtime.jar", "an older copy")
        result = run("runtime-jar", "--out", self.path("lib/kvo-runtime.jar"))
        self.assert_ok(result)
        jar = self.read("lib/kvo-runtime.jar")
        self.assertIn("kvo-pack: wrote %s, %d bytes" % (self.path("lib/kvo-runtime.jar"), len(jar)), result.stdout)
        self.assertEqual(os.listdir(self.path("lib")), ["kvo-runtime.jar"])
        with zipfile.ZipFile(self.path("lib/kvo-runtime.jar")) as archive:
            names = archive.namelist()
        for api in ("Splash", "SingleInstance", "StartupListener"):
            self.assertIn("com/korvo/runtime/%s.class" % api, names)
        # The very bytes the packer was built with, which go into every launcher.
        root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
        with open(os.path.join(root, "build", "native", "java", "kvo-runtime.jar"), "rb") as f:
            self.assertEqual(jar, f.read())
        self.assertEqual(run("runtime-jar", "--out", self.dir).returncode, 1)

    def test_code_page_option(self):
        self.write("app.kvo", "ApplicationName = \u0142\u00f3d\u017a\n")
        self.assert_ok(self.build("app.kvo", "app.exe", "stub.exe", "--codepage", "cp1250"))
        self.assertTrue(b"\x04\x00\x00\x00\xb3\xf3d\x9f" in self.read("app.exe"))
        dumped = run("dump", "--codepage", "1250", self.path("app.exe"))
        self.assert_ok(dumped)
        self.assertIn("ApplicationName = \u0142\u00f3d\u017a\n", dumped.stdout)
        self.assertEqual(run("dump", "--codepage", "nope", self.path("app.exe")).returncode, 1)


class RoundTrip(Base):
    def test_build_dump_build_with_included_files(self):
        rng = random.Random(7)
        big = bytes(rng.getrandbits(8) for _ in range(3 * 1024 * 1024 + 5))
        self.write("in/big.bin", big)
        self.write("in/empty.txt", b"")
        self.write("in/small.jar", b"PK\x03\x04 small")
        self.write("app.kvo",
                   "ApplicationName = Round trip\n"
                   "1001 := two\\nlines\n"
                   "ClassPath = A0.\\lib\\small.jar\n"
                   "InstallationDirectory = .\n"
                   "[wide]\nApplicationName = \u00c9t\u00e9\n"
                   "[locale de]\n1001 := Zwei\\nZeilen\n"
                   "[files]\n"
                   "data\\big.bin = in/big.bin\n"
                   "empty.txt = in/empty.txt\n"
                   "lib\\small.jar = in/small.jar\n")
        self.assert_ok(self.build())
        packed = self.read("app.exe")
        # The data lies behind the block, scrambled, 8-byte length first.
        at = packed.index(struct.pack("<q", len(big)))
        self.assertEqual(packed[at + 8:at + 8 + 64], bytes(b ^ SCRAMBLE for b in big[:64]))

        os.mkdir(self.path("d"))
        dumped = run("dump", "--extract-files", self.path("d/files"), "--out",
                     self.path("d/dump.kvo"), self.path("app.exe"))
        self.assert_ok(dumped)
        self.assertEqual(dumped.stdout, "")
        text = self.read("d/dump.kvo").decode()
        self.assertIn("data\\big.bin = files/data/big.bin\n", text)
        self.assertNotIn("IncludedFileCount", text)
        self.assertEqual(self.read("d/files/data/big.bin"), big)
        self.assertEqual(self.read("d/files/empty.txt"), b"")
        # The Java half's classes went in last; they are no file of the user's.
        self.assertIn(b"data\\big.bin;empty.txt;lib\\small.jar\xd5\x07\x00\x00", packed)
        self.assertRegex(text, r"# It carries the classes of kvo-runtime.jar, the launcher's Java half \(\d+ classes, "
                               r"\d+ bytes, the build this kvo-pack packs and `kvo-pack runtime-jar` writes\)")
        self.assertNotIn("kvo-runtime.jar =", text)
        self.assertNotIn("RuntimeClasses", text)
        self.assertEqual(sorted(os.listdir(self.path("d/files"))), ["data", "empty.txt", "lib"])

        self.assert_ok(self.build(config="d/dump.kvo", out="again.exe"))
        self.assertEqual(self.read("again.exe"), packed)

    def test_kept_files_their_deeper_names_and_their_hash(self):
        self.write("stub.exe", make_pe32(keeps=True))
        self.write("old.exe", make_pe32())
        self.write("in/a.dll", b"A" * 100000)
        self.write("in/b.txt", b"b")
        keep = "IncludedFilesCache = 1\n"
        refused = {
            "deeper without the record": ("[files]\nrt\\bin\\a.dll = in/a.dll\n", "stub.exe",
                                          "app.kvo:2: included file name 'rt\\bin\\a.dll' lies more than one folder deep"),
            "a hash by hand": (keep + "IncludedFilesHash = 0123456789abcdef\n[files]\na.dll = in/a.dll\n", "stub.exe",
                               "app.kvo:2: IncludedFilesHash is written by the packer"),
            "the index's name": (keep + "[files]\nKVO-files.IDX = in/b.txt\n", "stub.exe",
                                 "app.kvo:3: included file name 'KVO-files.IDX' is where the launcher keeps"),
            "a file where a deeper folder goes": (keep + "[files]\nrt\\bin = in/b.txt\nrt\\bin\\a.dll = in/a.dll\n",
                                                  "stub.exe", "app.kvo:4: included file name 'rt\\bin\\a.dll' needs a "
                                                  "folder 'rt\\bin', but line 3"),
            "a deeper folder's name as a file": (keep + "[files]\nrt\\bin\\a.dll = in/a.dll\nRT\\BIN = in/b.txt\n",
                                                 "stub.exe", "app.kvo:4: included file name 'RT\\BIN' is the name of a "
                                                 "folder that line 3 needs"),
            "a stub that cannot keep them": (keep + "[files]\na.dll = in/a.dll\n", "old.exe",
                                             "is older than the launchers that keep their included files"),
        }
        for label, (config, stub, message) in refused.items():
            with self.subTest(label):
                self.write("app.kvo", config)
                result = self.build(stub=stub)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertIn(message, result.stderr)
                self.assertFalse(os.path.exists(self.path("app.exe")))

        # The hash of the count, then each name and its data with their lengths.
        files = {"rt\\bin\\a.dll": b"A" * 100000, "b.txt": b"b"}
        digest = hashlib.sha256(struct.pack("<I", len(files)))
        for name, data in files.items():
            digest.update(struct.pack("<I", len(name)) + name.encode() + struct.pack("<Q", len(data)) + data)
        record = struct.pack("<ii", 2006, 16) + digest.hexdigest()[:16].encode()
        self.write("app.kvo", keep + "[files]\nrt\\bin\\a.dll = in/a.dll\nb.txt = in/b.txt\n[narrow]\n"
                              "SingleInstance = 1\n")
        self.assert_ok(self.build())
        packed = self.read("app.exe")
        self.assertIn(record, packed)
        # A dump leaves the hash to the build, which writes the same bytes again.
        os.mkdir(self.path("d"))
        self.assert_ok(run("dump", "--extract-files", self.path("d/files"), "--out", self.path("d/dump.kvo"),
                           self.path("app.exe")))
        text = self.read("d/dump.kvo").decode()
        self.assertNotIn("IncludedFilesHash", text)
        self.assertIn("rt\\bin\\a.dll = files/rt/bin/a.dll\n", text)
        self.assertEqual(self.read("d/files/rt/bin/a.dll"), files["rt\\bin\\a.dll"])
        self.assert_ok(self.build(config="d/dump.kvo", out="again.exe"))
        self.assertEqual(self.read("again.exe"), packed)
        # A hash that is not the files' is named, and the dump builds the right one.
        self.write("bad.exe", packed.replace(record, record[:8] + b"0" * 16))
        dumped = run("dump", "--out", self.path("bad.kvo"), self.path("bad.exe"))
        self.assert_ok(dumped)
        self.assertIn("IncludedFilesHash is not the hash of the included files; a build of this dump carries "
                      + digest.hexdigest()[:16], dumped.stderr)
        # Without the record there is no hash.
        self.write("app.kvo", "[files]\nrt\\a.dll = in/a.dll\n")
        self.assert_ok(self.build())
        self.assertNotIn(struct.pack("<i", 2006), self.read("app.exe"))

    def test_the_runtime_on_and_off(self):
        # A configuration that says "no files" in the records (as the example
        # does) still gets the Java half, and no included file (so its
        # launcher makes no temporary folder); one that turns it off gets
        # nothing. A stub older than the launchers that read the classes
        # gets the jar as an included file, with a warning.
        self.write("on.kvo", "ApplicationName = x\nIncludedFileCount = 0\nIncludedFileNames =\n")
        self.write("off.kvo", "ApplicationName = x\n[kvo-runtime]\ninclude = no\n")
        self.write("old.exe", make_pe32(older=True))
        for name, stub, carried in (("on", "stub.exe", "classes"), ("off", "stub.exe", None),
                                    ("on", "old.exe", "jar")):
            with self.subTest(name=name, stub=stub):
                result = self.build(f"{name}.kvo", f"{name}.exe", stub)
                self.assert_ok(result)
                self.assertEqual("this stub is older than the launchers that read kvo-runtime.jar's classes"
                                 in result.stderr, carried == "jar")
                packed = self.read(f"{name}.exe")
                self.assertEqual(struct.pack("<ii", 2002, 1) + b"1" in packed, carried == "jar")
                place = narrow_records(packed).get(2005)
                self.assertEqual(place is not None, carried == "classes")
                if place:
                    # Right behind the block (no included files), up to the end.
                    offset, length = map(int, place.split(b","))
                    self.assertEqual((offset, packed[-length:][:4]), (0, b"KVOC"))
                dumped = run("dump", "--out", self.path(f"{name}-dump.kvo"), self.path(f"{name}.exe"))
                self.assert_ok(dumped)
                text = self.read(f"{name}-dump.kvo").decode()
                self.assertEqual("[kvo-runtime]\ninclude = no\n" in text, not carried)
                self.assertEqual("# It carries kvo-runtime.jar, the launcher's Java half, as an included file" in text,
                                 carried == "jar")
                self.assertNotIn("RuntimeClasses", text)
                self.assertNotIn("kvo-runtime.jar =", text)
                self.assert_ok(self.build(f"{name}-dump.kvo", f"{name}-again.exe", stub))
                self.assertEqual(self.read(f"{name}-again.exe"), packed)
        # The older stub's launcher, dumped and built on a current stub,
        # carries the classes and no included file.
        self.assert_ok(self.build("on-dump.kvo", "current.exe"))
        records = narrow_records(self.read("current.exe"))
        self.assertIn(2005, records)
        self.assertNotIn(2002, records)
        for config, error in (("[files]\nKVO-Runtime.jar = stub.exe\n",
                               "app.kvo:2: 'KVO-Runtime.jar' is the name of the Java half"),
                              ("ApplicationName = x\nRuntimeClasses = 0,100\n",
                               "app.kvo:2: RuntimeClasses is written by the packer"),
                              ("MaxJavaVersion = 1.7\n",
                               "app.kvo:1: MaxJavaVersion '1.7' admits only runtimes older than Java 8, on which "
                               "kvo-runtime.jar (the launcher's Java half) cannot run: write MaxJavaVersion = 1.8 "
                               "or later"),
                              ("MinJavaVersion = 1.6\nMaxJavaVersion = 7\n",
                               "app.kvo:2: MaxJavaVersion '7' admits only runtimes older than Java 8"),
                              ("[kvo-runtime]\ninclude = off\n", "app.kvo:2: include = 'off': write yes"),
                              ("[kvo-runtime]\njar = no\n", "app.kvo:2: unknown setting 'jar' in [kvo-runtime]")):
            with self.subTest(config):
                self.write("app.kvo", config)
                result = self.build(out="refused.exe")
                self.assertEqual(result.returncode, 1)
                self.assertIn(error, result.stderr)
                self.assertFalse(os.path.exists(self.path("refused.exe")))

    def test_the_java_halfs_lower_bound(self):
        # The Java half needs Java 8: a lower bound that admits older
        # runtimes is taken as 1.8, and kvo-pack says so.
        warning = "admits runtimes older than Java 8, on which kvo-runtime.jar cannot run; the launcher takes 1.8"
        for config, warned in (("MinJavaVersion = 1.6\n", True), ("MinJavaVersion = 7\n", True),
                               ("MinJavaVersion = 1.8\n", False), ("MinJavaVersion = 11\n", False),
                               ("ApplicationName = x\n", False),
                               ("MinJavaVersion = 1.6\nMaxJavaVersion = 1.7\n[kvo-runtime]\ninclude = no\n", False)):
            with self.subTest(config):
                self.write("app.kvo", config)
                result = self.build()
                self.assert_ok(result)
                self.assertEqual(warning in result.stderr, warned, result.stderr)
                if warned:
                    self.assertIn("app.kvo:1: warning: MinJavaVersion", result.stderr)

    def test_repacking_replaces_the_old_configuration(self):
        self.write("a.kvo", "ApplicationName = first\n[files]\nx.bin = stub.exe\n")
        self.write("b.kvo", "ApplicationName = second\n[kvo-runtime]\ninclude = no\n")
        self.assert_ok(self.build("a.kvo", "a.exe"))
        self.assert_ok(self.build("b.kvo", "b.exe"))
        self.assert_ok(self.build("b.kvo", "b-from-a.exe", "a.exe"))
        self.assertEqual(self.read("b-from-a.exe"), self.read("b.exe"))
        self.assertEqual(len(self.read("b.exe")) % 512, 0)
        # In place: the stub and the output may be the same file.
        self.assert_ok(self.build("b.kvo", "a.exe", "a.exe"))
        self.assertEqual(self.read("a.exe"), self.read("b.exe"))

    def test_either_width_of_stub_and_which_one_was_written(self):
        self.write("app.kvo", "ApplicationName = x\nExecutableType = 1\n")
        self.write("stub64.exe", make_pe32(machine=0x8664, magic=0x20B))
        for stub, kind in (("stub.exe", "PE32 i386"), ("stub64.exe", "PE32+ x86-64")):
            with self.subTest(kind):
                result = self.build(out="app.exe", stub=stub)
                self.assert_ok(result)
                self.assertEqual(result.stdout, f"kvo-pack: wrote {self.path('app.exe')}, a {kind} launcher\n")
                self.assertEqual(result.stderr, "")
                dumped = run("dump", self.path("app.exe"))
                self.assert_ok(dumped)
                self.assertIn(f"# The launcher is a {kind} image.\n", dumped.stdout)
                self.assertIn("ApplicationName = x\n", dumped.stdout)

    def test_overlay_alone(self):
        self.write("app.kvo", "ApplicationName = x\n")
        result = run("build", "--overlay", "--config", self.path("app.kvo"), "--out", self.path("o.bin"))
        self.assert_ok(result)
        overlay = self.read("o.bin")
        self.assert_ok(self.build())
        self.assertEqual(self.read("app.exe")[len(make_pe32()):len(make_pe32()) + 20], overlay[:20])
        self.assertEqual(overlay[:4], bytes.fromhex("D513E4E8"))
        dumped = run("dump", "--overlay", self.path("o.bin"))
        self.assert_ok(dumped)
        self.assertIn("ApplicationName = x\n", dumped.stdout)


def narrow_records(packed):
    """The narrow records of a packed launcher's block: id -> bytes."""
    at = pe_image_end(packed) + 20
    records = {}
    for _ in range(struct.unpack_from("<i", packed, at)[0]):
        record_id, length = struct.unpack_from("<ii", packed, at + 4)
        records[record_id] = packed[at + 12:at + 12 + length]
        at += 8 + length
    return records


def pe_image_end(data):
    pe = struct.unpack_from("<i", data, 60)[0]
    sections, optional = struct.unpack_from("<hh", data, pe + 6)[0], struct.unpack_from("<h", data, pe + 20)[0]
    size, offset = struct.unpack_from("<ii", data, pe + 24 + optional + (sections - 1) * 40 + 16)
    return offset + size


class RealLauncher(Base):
    """Resources and signatures on the launcher stub itself, read back by
    tools that are not the packer's: wrestool and osslsigncode. The 32-bit
    stub here, the 64-bit one in the subclass."""

    width = 0

    @property
    def launcher(self):
        return LAUNCHERS[self.width] if len(LAUNCHERS) > self.width else None

    def setUp(self):
        super().setUp()
        if not (self.launcher and os.path.exists(self.launcher)):
            self.skipTest("launcher not built")
        self.write("art/app.ico", ico((200, 30, 40), (10, 20, 230)))
        self.write("art/splash.png", png(64, 40, (12, 140, 90)))
        self.write("art/splash.gif", b"GIF89a\x01\x00\x01\x00\x00\x00\x00\x2c\x3b")
        self.write("app.kvo", "ExecutableType = 1\nSplashEnabled = 1\n"
                   "[resources]\nicon = art/app.ico\nsplash-bitmap = art/splash.png\n"
                   "splash-image = art/splash.gif\nexecution-level = requireAdministrator\n"
                   "[version]\nFileVersion = 3.1.4.1\nProductVersion = 3.1.0.0\n"
                   "CompanyName = Quartz & Sons\nTranslation = 0407 04e4\n"
                   # Nothing included: the file ends in the block's trailer.
                   "[kvo-runtime]\ninclude = no\n")

    def wrestool(self, *args):
        if not shutil.which("wrestool"):
            self.fail("wrestool is missing (Debian package icoutils; scripts/install-deps.sh)")
        out = subprocess.run(["wrestool", *args], capture_output=True, timeout=60)
        self.assertEqual(out.returncode, 0, out.stderr)
        return out.stdout

    def test_wrestool_reads_what_build_wrote(self):
        self.assert_ok(self.build(stub=self.launcher))
        listing = self.wrestool("-l", self.path("app.exe")).decode()
        kinds = sorted(line.split(" [")[0] for line in listing.splitlines())
        self.assertEqual(kinds, [
            "--type=10 --name=10000 --language=0", "--type=14 --name='APPICON' --language=0",
            "--type=14 --name='ID_SPLASH_ICON' --language=0", "--type=16 --name=1 --language=1031",
            "--type=2 --name=10000 --language=0", "--type=24 --name=1 --language=1033",
            "--type=24 --name=101 --language=1033", "--type=3 --name=1 --language=0",
            "--type=3 --name=2 --language=0"])
        # The icon group made back into an .ico holds the images as they were
        # (wrestool adds zeros at the end, for windres' output as well).
        icon = self.wrestool("-x", "--type=14", "--name=APPICON", self.path("app.exe"))
        expected = ico((200, 30, 40), (10, 20, 230))
        self.assertEqual(icon[:len(expected)], expected)
        self.assertEqual(icon[len(expected):].strip(b"\0"), b"")
        manifest = self.wrestool("-x", "--raw", "--type=24", "--name=1", self.path("app.exe")).decode()
        self.assertIn('level="requireAdministrator" uiAccess="false"', manifest)
        self.assertIn("35138b9a-5d96-4fbd-8e2d-a2440225f93a", manifest)
        # The common controls' manifest, which the launcher activates itself,
        # is left as the stub has it.
        controls = self.wrestool("-x", "--raw", "--type=24", "--name=101", self.path("app.exe")).decode()
        self.assertIn('name="Microsoft.Windows.Common-Controls"', controls)
        self.assertNotIn("requestedExecutionLevel", controls)
        gif = self.wrestool("-x", "--raw", "--type=10", "--name=10000", self.path("app.exe"))
        self.assertEqual(gif, self.read("art/splash.gif"))
        # The PNG's size fills the splash records.
        dumped = run("dump", self.path("app.exe"))
        self.assert_ok(dumped)
        self.assertIn("SplashImageWidth = 64\nSplashImageHeight = 40\n", dumped.stdout)
        self.assertIn("[version]\nFileVersion = 3.1.4.1\nProductVersion = 3.1.0.0\n"
                      "CompanyName = Quartz & Sons\nTranslation = 0407 04e4\n", dumped.stdout)
        # The checksum kvo-pack wrote is the one the signing tool computes. (It
        # leaves out an odd last byte, which the system's own function counts;
        # this file ends in the block's trailer, a multiple of 512 bytes.)
        if shutil.which("osslsigncode"):
            checked = subprocess.run(["osslsigncode", "verify", self.path("app.exe")],
                                     capture_output=True, text=True, timeout=120)
            self.assertRegex(checked.stdout, r"PE checksum\s*: [0-9A-F]{8}")
            self.assertNotIn("invalid PE checksum", checked.stdout + checked.stderr)
        # The stub keeps no version resource of its own.
        self.assertNotIn("--type=16", self.wrestool("-l", self.launcher).decode())

    def test_broken_inputs_name_file_and_line(self):
        self.write("art/none.ico", struct.pack("<HHH", 0, 1, 0))
        self.write("art/cut.png", png(64, 40, (1, 2, 3))[:60])
        self.write("art/text.bmp", "just text")
        cases = {
            "art/none.ico": ("icon", "the icon holds no images"),
            "art/cut.png": ("splash-bitmap", "a damaged or cut short PNG"),
            "art/text.bmp": ("splash-bitmap", "neither a .bmp nor a .png file"),
            "art/app.ico": ("splash-image", "not a PNG, GIF or JPEG image"),
        }
        for name, (setting, message) in cases.items():
            with self.subTest(name):
                self.write("bad.kvo", f"ExecutableType = 1\n\n[resources]\n{setting} = {name}\n")
                before = sorted(os.listdir(self.dir))
                result = self.build(config="bad.kvo", stub=self.launcher)
                self.assertEqual(result.returncode, 1)
                self.assertIn(f"bad.kvo:4: {setting.replace('-', ' ')} ", result.stderr)
                self.assertIn(message, result.stderr)
                self.assertEqual(sorted(os.listdir(self.dir)), before)
        self.write("bad.kvo", "[version]\nFileVersion = 1.2\n")
        result = self.build(config="bad.kvo", stub=self.launcher)
        self.assertEqual(result.returncode, 1)
        self.assertIn("bad.kvo:2: FileVersion '1.2' is not four numbers", result.stderr)
        self.write("bad.kvo", "SplashImageWidth = 65\n[resources]\nsplash-bitmap = art/splash.png\n")
        result = self.build(config="bad.kvo", stub=self.launcher)
        self.assertIn("bad.kvo:3: the splash bitmap art/splash.png is 64 x 40 pixels, but "
                      "SplashImageWidth on line 1 is 65", result.stderr)

    def test_signed_launcher(self):
        for tool in ("openssl", "osslsigncode"):
            if not shutil.which(tool):
                self.fail(f"{tool} is missing (scripts/install-deps.sh)")
        self.write("lib.jar", b"PK\x03\x04 included")
        with open(self.path("app.kvo"), "a") as f:
            f.write("[files]\nlib\\app.jar = lib.jar\n")
        self.assert_ok(self.build(stub=self.launcher))
        key, cert = self.path("key.pem"), self.path("cert.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
                        "-out", cert, "-days", "2", "-subj", "/CN=kvo-pack test"],
                       check=True, capture_output=True, timeout=120)
        signed = subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-in",
                                 self.path("app.exe"), "-out", self.path("signed.exe")],
                                capture_output=True, text=True, timeout=120)
        self.assertEqual(signed.returncode, 0, signed.stdout + signed.stderr)
        verified = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, self.path("signed.exe")],
                                  capture_output=True, text=True, timeout=120)
        self.assertEqual(verified.returncode, 0, verified.stdout + verified.stderr)
        self.assertIn("Signature verification: ok", verified.stdout)

        # dump reads the signed launcher as it read the unsigned one.
        plain = run("dump", self.path("app.exe"))
        dumped = run("dump", self.path("signed.exe"))
        self.assert_ok(dumped)
        self.assertEqual(dumped.stderr, "")
        self.assertIn("# The launcher is signed", dumped.stdout)
        body = lambda text: text.split("\n\n", 1)[1]
        self.assertEqual(body(dumped.stdout), body(plain.stdout))
        self.assertIn("lib\\app.jar = lib/app.jar\n", dumped.stdout)
        self.assert_ok(run("dump", "--extract-files", self.path("x"), self.path("signed.exe")))
        self.assertEqual(self.read("x/lib/app.jar"), b"PK\x03\x04 included")

        # Packing the signed launcher drops the signature and says so.
        result = self.build(stub="signed.exe", out="repacked.exe")
        self.assert_ok(result)
        self.assertIn("signed.exe: warning: its Authenticode signature is not copied", result.stderr)
        self.assertEqual(self.read("repacked.exe"), self.read("app.exe"))



class RealLauncher64(RealLauncher):
    width = 1


def pe_checksum(data):
    """The image checksum as the system's own function computes it, written
    apart from the packer's: 16-bit words with the carry folded back in at
    every step, the checksum field left out, an odd last byte padded, the
    length added."""
    field = struct.unpack_from("<I", data, 60)[0] + 24 + 64
    padded = data + b"\0" * (len(data) % 2)
    total = 0
    for at in range(0, len(padded), 2):
        if field <= at < field + 4:
            continue
        total += padded[at] | (padded[at + 1] << 8)
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def stored_checksum(data):
    return struct.unpack_from("<I", data, struct.unpack_from("<I", data, 60)[0] + 24 + 64)[0]


def limited_memory():
    import resource
    resource.setrlimit(resource.RLIMIT_AS, (1 << 30, 1 << 30))


def run_limited(*args):
    """kvo-pack with 1 GiB of address space, as a machine short of memory
    (Wine needs more for itself: the Windows tool runs without the limit)."""
    if RUNNER:
        return run(*args)
    return subprocess.run([KVO_PACK, *args], capture_output=True, text=True, timeout=120,
                          preexec_fn=limited_memory)


def pe_with_resources(section):
    """A PE32 image whose only section, at RVA 0x1000, is `section`, named by
    the resource directory entry."""
    image = bytearray(make_pe32(sections=1))
    raw = (len(section) + 0x1FF) & ~0x1FF
    table = 0x80 + 24 + 0xE0
    struct.pack_into("<8sIIII", image, table, b".rsrc", len(section), 0x1000, raw, 0x200)
    struct.pack_into("<I", image, 0x80 + 24 + 56, 0x1000 + ((len(section) + 0xFFF) & ~0xFFF))
    struct.pack_into("<II", image, 0x80 + 24 + 96 + 16, 0x1000, len(section))
    del image[0x200:]
    return bytes(image) + section + bytes(raw - len(section))


def shared_directories(data_size):
    """Three levels of 256 entries, each level's entries all naming the same
    directory below, and one data entry of `data_size` bytes."""
    def directory(target):
        out = struct.pack("<IIHHHH", 0, 0, 0, 0, 0, 256)
        return out + b"".join(struct.pack("<II", i + 1, target) for i in range(256))
    size = 16 + 256 * 8
    types, names, entry = size, 2 * size, 3 * size
    data = entry + 16
    section = (directory(0x80000000 | types) + directory(0x80000000 | names) + directory(entry)
               + struct.pack("<IIII", 0x1000 + data, data_size, 0, 0))
    return section + bytes(range(256)) * (data_size // 256)


class Checksum(Base):
    def test_a_plain_pack_gets_a_correct_checksum(self):
        self.write("lib.jar", b"odd length")
        self.write("plain.kvo", "ApplicationName = x\n")
        self.write("files.kvo", "ApplicationName = x\n[files]\nlib.jar = lib.jar\n")
        stubs = [l for l in LAUNCHERS if os.path.exists(l)]
        if not stubs:
            self.skipTest("launcher not built")
        for stub in stubs:
            with open(stub, "rb") as f:
                self.assertNotEqual(stored_checksum(f.read()), 0, stub)
            for config in ("plain.kvo", "files.kvo"):
                with self.subTest(stub=stub, config=config):
                    self.assert_ok(self.build(config, "app.exe", stub))
                    packed = self.read("app.exe")
                    self.assertEqual(stored_checksum(packed), pe_checksum(packed))

    def test_a_stub_without_checksum_keeps_none(self):
        self.write("app.kvo", "ApplicationName = x\n")
        self.assert_ok(self.build())
        self.assertEqual(stored_checksum(self.read("app.exe")), 0)
        stub = bytearray(make_pe32())
        struct.pack_into("<I", stub, 0x80 + 24 + 64, 0x1234)
        self.write("summed.exe", bytes(stub))
        self.assert_ok(self.build(stub="summed.exe"))
        packed = self.read("app.exe")
        self.assertEqual(stored_checksum(packed), pe_checksum(packed))
        self.assertNotEqual(stored_checksum(packed), 0x1234)


class HostileInput(Base):
    """Inputs made to exhaust memory end in a message naming the file, within
    a memory limit, and leave nothing behind."""

    def test_shared_resource_directories(self):
        self.write("shared.exe", pe_with_resources(shared_directories(1024 * 1024)))
        self.write("app.kvo", "ApplicationName = x\n[version]\nFileVersion = 1.0.0.0\n")
        before = sorted(os.listdir(self.dir))
        result = run_limited("build", "--stub", self.path("shared.exe"), "--config",
                             self.path("app.kvo"), "--out", self.path("app.exe"))
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn(self.path("shared.exe") + ": the resource directory is damaged: ", result.stderr)
        self.assertEqual(sorted(os.listdir(self.dir)), before)
        # Without resources to write the stub's own are left as they are.
        self.write("plain.kvo", "ApplicationName = x\n")
        result = run_limited("build", "--stub", self.path("shared.exe"), "--config",
                             self.path("plain.kvo"), "--out", self.path("app.exe"))
        self.assertEqual(result.returncode, 0, result.stderr)
        dumped = run_limited("dump", self.path("app.exe"))
        self.assertEqual(dumped.returncode, 0, dumped.stderr)
        self.assertRegex(dumped.stderr, "the resource directory is damaged: .*; the resources are left out")
        self.assertIn("ApplicationName = x\n", dumped.stdout)

    def test_icon_images_sharing_their_bytes(self):
        image = struct.pack("<IiiHHIIiiII", 40, 256, 512, 1, 32, 0, 0, 0, 0, 0, 0)
        image += bytes(16 * 1024 * 1024 - len(image))
        count = 1024
        directory = struct.pack("<HHH", 0, 1, count) + b"".join(
            struct.pack("<BBBBHHII", 0, 0, 0, 0, 1, 32, len(image), 6 + 16 * count)
            for _ in range(count))
        self.write("big.ico", directory + image)
        self.write("app.kvo", "ApplicationName = x\n\n[resources]\nicon = big.ico\n")
        before = sorted(os.listdir(self.dir))
        result = run_limited("build", "--stub", self.path("stub.exe"), "--config",
                             self.path("app.kvo"), "--out", self.path("app.exe"))
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("app.kvo:4: icon " + shown(self.dir, "big.ico") + ": image 2 overlaps", result.stderr)
        self.assertEqual(sorted(os.listdir(self.dir)), before)

    def test_oversized_version_section(self):
        self.write("app.kvo", "ApplicationName = x\n[version]\nFileVersion = 1.2.3.4\n"
                   "CompanyName = " + "C" * 20000 + "\nComments = " + "x" * 20000 + "\n"
                   "ProductName = short\n")
        before = sorted(os.listdir(self.dir))
        result = self.build()
        self.assertEqual(result.returncode, 1, result.stderr)
        # Comments is written first; CompanyName, on line 4, takes it past.
        self.assertIn("app.kvo:4: the [version] texts exceed the 65535 bytes", result.stderr)
        self.assertIn("(CompanyName is 20000 UTF-16 units long)", result.stderr)
        self.assertEqual(sorted(os.listdir(self.dir)), before)
        # Just below the limit it is written, and every length reads back.
        self.write("app.kvo", "[version]\nFileVersion = 1.2.3.4\nComments = " + "x" * 32000 + "\n")
        self.assert_ok(self.build())
        dumped = run("dump", self.path("app.exe"))
        self.assert_ok(dumped)
        self.assertIn("Comments = " + "x" * 32000 + "\n", dumped.stdout)


class Extraction(Base):
    """dump --extract-files next to files that exist."""

    def setUp(self):
        super().setUp()
        self.write("in/a.txt", b"packed a")
        self.write("in/b.txt", b"packed b")
        self.write("in/app.exe", b"ten bytes!")
        self.write("app.kvo", "ApplicationName = x\n[files]\na.txt = in/a.txt\n"
                   "sub\\b.txt = in/b.txt\n")
        self.assert_ok(self.build())

    def listing(self, folder):
        out = []
        for root, dirs, files in os.walk(self.path(folder)):
            out += [os.path.relpath(os.path.join(root, n), self.dir) for n in dirs + files]
        return sorted(out)

    def test_existing_files_are_kept_unless_forced(self):
        self.write("out/a.txt", b"mine")
        before = self.listing("out")
        result = run("dump", "--extract-files", self.path("out"), self.path("app.exe"))
        self.assertEqual(result.returncode, 1)
        self.assertIn(shown(self.path("out"), "a.txt") + " exists", result.stderr)
        self.assertIn("--force", result.stderr)
        self.assertEqual(self.read("out/a.txt"), b"mine")
        self.assertEqual(self.listing("out"), before)  # no b.txt, no temporary file

        self.assert_ok(run("dump", "--extract-files", self.path("out"), "--force", self.path("app.exe")))
        self.assertEqual(self.read("out/a.txt"), b"packed a")
        self.assertEqual(self.read("out/sub/b.txt"), b"packed b")

    def test_a_later_failure_keeps_the_users_files(self):
        self.write("out/a.txt", b"mine")
        self.write("out/sub", b"a file where a folder goes")
        before = self.listing("out")
        result = run("dump", "--extract-files", self.path("out"), "--force", self.path("app.exe"))
        self.assertEqual(result.returncode, 1)
        self.assertIn(shown(self.path("out"), "sub"), result.stderr)
        self.assertEqual(self.read("out/a.txt"), b"mine")
        self.assertEqual(self.read("out/sub"), b"a file where a folder goes")
        self.assertEqual(self.listing("out"), before)

    def test_a_failed_rename_puts_back_what_was_replaced(self):
        # The second file cannot take its name: the first one, already
        # replaced, gets its earlier content back.
        shim = os.environ.get("KVO_FAIL_RENAME_LIB")
        if RUNNER or not shim:
            self.skipTest("renames are made to fail by a library preloaded into the Linux tool")
        self.write("out/a.txt", b"mine")
        self.write("out/sub/b.txt", b"mine too")
        before = self.listing("out")
        env = dict(os.environ, LD_PRELOAD=shim, KVO_FAIL_RENAME_TO="b.txt")
        result = subprocess.run([KVO_PACK, "dump", "--extract-files", self.path("out"), "--force",
                                 self.path("app.exe")], capture_output=True, text=True, timeout=120, env=env)
        self.assertEqual(result.returncode, 1)
        self.assertIn("cannot write " + self.path("out/sub/b.txt"), result.stderr)
        self.assertEqual(self.read("out/a.txt"), b"mine")
        self.assertEqual(self.read("out/sub/b.txt"), b"mine too")
        self.assertEqual(self.listing("out"), before)  # nothing moved aside is left
        # A file this run created is not left behind either.
        os.remove(self.path("out/a.txt"))
        result = subprocess.run([KVO_PACK, "dump", "--extract-files", self.path("out"), "--force",
                                 self.path("app.exe")], capture_output=True, text=True, timeout=120, env=env)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(self.listing("out"), ["out/sub", "out/sub/b.txt"])
        self.write("out/a.txt", b"mine")
        # Without the failure both are replaced, and nothing else remains.
        self.assert_ok(run("dump", "--extract-files", self.path("out"), "--force", self.path("app.exe")))
        self.assertEqual(self.read("out/a.txt"), b"packed a")
        self.assertEqual(self.read("out/sub/b.txt"), b"packed b")
        self.assertEqual(self.listing("out"), before)

    def test_a_failed_last_step_puts_everything_back(self):
        # The text is the run's last step: when it cannot be written, the file
        # --force replaced gets its content back and the one this run created
        # goes again, its folder with it.
        self.write("out/a.txt", b"mine")
        before = self.listing("out")
        cases = [("an output that cannot be created", ["--out", self.path("nodir/t.kvo")], None,
                  "cannot create " + self.path("nodir/t.kvo"))]
        if not RUNNER and os.path.exists("/dev/full"):
            full = self.full_device()
            cases += [("a full device named by --out", ["--out", full], None,
                       f"cannot write {full}: No space left on device"),
                      ("standard output on a full device", [], full, "cannot write the dump: No space left on device")]
        for label, extra, stdout, message in cases:
            with self.subTest(label):
                with open(stdout or os.devnull, "w") as sink:
                    result = subprocess.run([*RUNNER, KVO_PACK, "dump", "--extract-files", self.path("out"), "--force",
                                             *extra, self.path("app.exe")], stdout=sink, stderr=subprocess.PIPE,
                                            text=True, timeout=120)
                self.assertEqual(result.returncode, 1)
                self.assertIn(message, result.stderr)
                self.assertEqual(self.read("out/a.txt"), b"mine")
                self.assertEqual(self.listing("out"), before)

    def test_a_directory_in_the_way(self):
        os.makedirs(self.path("out/sub/b.txt/inside"))
        before = self.listing("out")
        for extra in ([], ["--force"]):
            with self.subTest(extra=extra):
                result = run("dump", "--extract-files", self.path("out"), *extra, self.path("app.exe"))
                self.assertEqual(result.returncode, 1)
                self.assertIn(shown(self.path("out"), "sub", "b.txt") + " is a directory; nothing was written",
                              result.stderr)
                self.assertEqual(self.listing("out"), before)

    def test_the_input_itself_is_never_replaced(self):
        # A launcher that carries a file named like itself, dumped into its own folder.
        self.write("self.kvo", "ApplicationName = x\n[files]\napp.exe = in/app.exe\n")
        self.assert_ok(self.build("self.kvo", "app.exe"))
        packed = self.read("app.exe")
        for extra in ([], ["--force"]):
            with self.subTest(extra=extra):
                result = run("dump", "--extract-files", self.dir, *extra, self.path("app.exe"))
                self.assertEqual(result.returncode, 1)
                self.assertIn(shown(self.dir, "app.exe") + " is the file being dumped",
                              result.stderr)
                self.assertEqual(self.read("app.exe"), packed)
        # Nor when it is reached through another path: a folder linked to this
        # one, or a second name of the launcher's file.
        os.symlink(self.dir, self.path("alias"))
        os.makedirs(self.path("other"))
        os.link(self.path("app.exe"), self.path("other/app.exe"))
        for folder in ("alias", "other"):
            for extra in ([], ["--force"]):
                with self.subTest(folder=folder, extra=extra):
                    result = run("dump", "--extract-files", self.path(folder), *extra, self.path("app.exe"))
                    self.assertEqual(result.returncode, 1)
                    self.assertIn(shown(self.path(folder), "app.exe") + " is the file being dumped", result.stderr)
                    self.assertEqual(self.read("app.exe"), packed)
                    self.assertEqual(os.stat(self.path("app.exe")).st_nlink, 2)
        result = run("dump", "--out", self.path("app.exe"), self.path("app.exe"))
        self.assertEqual(result.returncode, 1)
        self.assertEqual(self.read("app.exe"), packed)
        # Nor does build write over its own configuration.
        config = self.read("self.kvo")
        result = run("build", "--stub", self.path("stub.exe"), "--config", self.path("self.kvo"),
                     "--out", self.path("self.kvo"))
        self.assertEqual(result.returncode, 1)
        self.assertIn("is the configuration", result.stderr)
        self.assertEqual(self.read("self.kvo"), config)

    def test_names_as_long_as_a_folder_takes(self):
        # The temporary names must not grow with the final one.
        longest = "n" * 255
        self.write("long.kvo", f"ApplicationName = x\n[files]\n{longest} = in/a.txt\n")
        self.assert_ok(self.build("long.kvo", longest))
        self.assert_ok(run("dump", "--extract-files", self.path("out"), "--out", self.path("t" * 255),
                           self.path(longest)))
        self.assertEqual(self.read("out/" + longest), b"packed a")
        self.assertIn(f"{longest} = out/{longest}\n", self.read("t" * 255).decode())
        self.assertEqual(self.listing("out"), ["out/" + longest])

    def test_force_needs_extraction(self):
        result = run("dump", "--force", self.path("app.exe"))
        self.assertEqual(result.returncode, 2)

class Outputs(Base):
    """What --out names is written into, never replaced unless it is a plain file."""

    def setUp(self):
        super().setUp()
        self.write("app.kvo", "ApplicationName = x\n")
        self.assert_ok(self.build())
        self.launcher = self.read("app.exe")
        self.text = run("dump", self.path("app.exe")).stdout

    def test_standard_output(self):
        result = subprocess.run([*RUNNER, KVO_PACK, "build", "--stub", self.path("stub.exe"), "--config",
                                 self.path("app.kvo"), "--out", "-"], capture_output=True, timeout=120)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout, self.launcher)
        self.assertIn(b"kvo-pack: wrote standard output, a PE32 i386 launcher", result.stderr)
        result = run("dump", "--out", "-", self.path("app.exe"))
        self.assertEqual((result.returncode, result.stdout), (0, self.text))
        self.assertFalse(os.path.exists(self.path("-")))

    def test_a_link_is_written_through(self):
        if RUNNER:
            self.skipTest("symbolic links of the Linux file system")
        os.makedirs(self.path("real"))
        os.makedirs(self.path("links"))
        for command in ("build", "dump"):
            with self.subTest(command):
                self.write("real/target", b"old")
                os.symlink("../real/target", self.path("links/out"))
                if command == "build":
                    result = run("build", "--stub", self.path("stub.exe"), "--config", self.path("app.kvo"),
                                 "--out", self.path("links/out"))
                else:
                    result = run("dump", "--out", self.path("links/out"), self.path("app.exe"))
                self.assert_ok(result)
                self.assertEqual(os.readlink(self.path("links/out")), "../real/target")
                self.assertEqual(self.read("real/target"), self.launcher if command == "build" else self.text.encode())
                self.assertEqual((os.listdir(self.path("links")), os.listdir(self.path("real"))), (["out"], ["target"]))
                os.remove(self.path("links/out"))

    def test_a_fifo_is_written_into(self):
        if RUNNER:
            self.skipTest("FIFOs of the Linux file system")
        fifo = self.path("fifo")
        os.mkfifo(fifo)
        for command, expected in (("dump", self.text.encode()), ("build", self.launcher)):
            with self.subTest(command):
                got = []

                def read():
                    with open(fifo, "rb") as f:
                        got.append(f.read())
                reader = threading.Thread(target=read, daemon=True)
                reader.start()
                if command == "build":
                    result = run("build", "--stub", self.path("stub.exe"), "--config", self.path("app.kvo"),
                                 "--out", fifo)
                else:
                    result = run("dump", "--out", fifo, self.path("app.exe"))
                reader.join(60)
                self.assert_ok(result)
                self.assertEqual(got, [expected])
                self.assertTrue(stat.S_ISFIFO(os.lstat(fifo).st_mode))
        self.assertEqual(sorted(os.listdir(self.dir)), ["app.exe", "app.kvo", "fifo", "stub.exe"])

    def test_the_null_device_of_windows(self):
        if not RUNNER:
            self.skipTest("the Windows tool's NUL")
        before = sorted(os.listdir(self.dir))
        for args in (["dump", "--out", "NUL", self.path("app.exe")],
                     ["build", "--stub", self.path("stub.exe"), "--config", self.path("app.kvo"), "--out", "NUL"]):
            with self.subTest(args[0]):
                result = run(*args, cwd=self.dir)
                self.assert_ok(result)
                self.assertEqual(sorted(os.listdir(self.dir)), before)

    def test_a_full_device_is_an_error_and_stays(self):
        if RUNNER or not os.path.exists("/dev/full"):
            self.skipTest("/dev/full of Linux")
        full = self.full_device()
        node = os.stat(full)
        for args in (["dump", "--out", full, self.path("app.exe")],
                     ["build", "--stub", self.path("stub.exe"), "--config", self.path("app.kvo"), "--out", full]):
            with self.subTest(args[0]):
                result = run(*args)
                self.assertEqual(result.returncode, 1)
                self.assertTrue(result.stderr.endswith(f"cannot write {full}: No space left on device\n"),
                                result.stderr)
                after = os.lstat(full)
                self.assertEqual((after.st_ino, after.st_rdev, after.st_mode), (node.st_ino, node.st_rdev, node.st_mode))


class Example(Base):
    def test_example_configuration(self):
        packed = self.path("app.exe")
        result = run("build", "--stub", self.path("stub.exe"), "--config", EXAMPLE, "--out", packed)
        self.assert_ok(result)
        self.assertEqual(result.stderr, "")  # no warnings
        packed_bytes = self.read("app.exe")
        block = packed_bytes[pe_image_end(packed_bytes):]
        # The 80 records of the shipped configuration, the question below the
        # download address, and the one that says where the Java half lies.
        self.assertEqual(struct.unpack_from("<I", block, 20)[0], 82)
        ids, at = [], 24
        for _ in range(82):
            record_id, length = struct.unpack_from("<ii", block, at)
            ids.append(record_id)
            at += 8 + length
        self.assertEqual(ids, sorted(ids))
        self.assertEqual((ids[0], ids[-1]), (101, 10123))
        self.assertIn(1021, ids)
        self.assertIn(2005, ids)
        # No [wide] records, and one locale section: German.
        self.assertEqual(struct.unpack_from("<iii", block, at), (0, 1, 2))
        self.assertEqual(block[at + 12:at + 14], b"de")

    def test_with_the_real_launcher(self):
        built = [l for l in LAUNCHERS if os.path.exists(l)]
        if not built:
            self.skipTest("launcher not built")
        for launcher in built:
            with self.subTest(launcher):
                result = run("build", "--stub", launcher, "--config", EXAMPLE, "--out", self.path("app.exe"))
                self.assert_ok(result)
                kind = "PE32+ x86-64" if "win64" in launcher else "PE32 i386"
                self.assertIn(f", a {kind} launcher", result.stdout)
                # The second launcher's files replace the first one's, as asked.
                dumped = run("dump", "--out", self.path("dump.kvo"), "--extract-files", self.path("files"),
                             "--force", self.path("app.exe"))
                self.assert_ok(dumped)
                self.assertIn("icon = files/.kvo-resources/icon.ico\n", self.read("dump.kvo").decode())
                result = run("build", "--stub", self.path("app.exe"), "--config", self.path("dump.kvo"),
                             "--out", self.path("again.exe"))
                self.assert_ok(result)
                self.assertEqual(self.read("again.exe"), self.read("app.exe"))


if __name__ == "__main__":
    KVO_PACK, EXAMPLE = sys.argv[1], sys.argv[2]
    LAUNCHERS = sys.argv[3:]
    unittest.main(argv=[sys.argv[0], "-v"])
