#!/usr/bin/env python3
"""Command-line behaviour of kvo-pack.

Usage: cli_test.py KVO_PACK EXAMPLE_KVO [LAUNCHER_EXE...]
Each LAUNCHER_EXE (32-bit, 64-bit) is used when it exists (the cross builds
may not have run).
"""
import os
import random
import struct
import subprocess
import sys
import tempfile
import unittest

KVO_PACK = EXAMPLE = None
LAUNCHERS = []
SCRAMBLE = 0x5A


def make_pe32(sections=2, machine=0x14C, magic=0x10B):
    """A minimal PE32 (or, with magic 0x20B, PE32+) image: headers, then
    0x200 bytes per section."""
    pe_offset, optional_size = 0x80, 0xE0
    image = bytearray(0x200 + sections * 0x200)
    image[0:2] = b"MZ"
    struct.pack_into("<I", image, 60, pe_offset)
    image[pe_offset:pe_offset + 4] = b"PE\0\0"
    struct.pack_into("<HH", image, pe_offset + 4, machine, sections)
    struct.pack_into("<H", image, pe_offset + 20, optional_size)
    struct.pack_into("<H", image, pe_offset + 24, magic)
    table = pe_offset + 24 + optional_size
    for i in range(sections):
        struct.pack_into("<8sIIII", image, table + 40 * i, b".s%d" % i, 0x200, 0x1000 * (i + 1),
                         0x200, 0x200 * (i + 1))
        image[0x200 * (i + 1):0x200 * (i + 2)] = bytes([(i * 31 + b) & 0xFF for b in range(0x200)])
    return bytes(image)


def run(*args, cwd=None):
    return subprocess.run([KVO_PACK, *args], cwd=cwd, capture_output=True, text=True, timeout=120)


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


class CommandLine(Base):
    def test_help_and_usage_errors(self):
        result = run("--help")
        self.assert_ok(result)
        self.assertIn("kvo-pack build --stub", result.stdout)
        self.assertIn("Name := value", result.stdout)
        for args in ([], ["pack"], ["build", "--config", "a.kvo"], ["build", "--bogus"],
                     ["dump"], ["dump", "a.exe", "b.exe"], ["build", "--stub"],
                     ["dump", "--stub", "x", "a.exe"],
                     ["build", "--stub", "s", "--overlay", "--config", "c", "--out", "o"]):
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
            "not an image": ("ApplicationName = x\n", "app.kvo", "not a PE32 or PE32+ image: no MZ header"),
            "missing stub": ("ApplicationName = x\n", "none.exe", "cannot open"),
        }
        for label, (config, stub, message) in cases.items():
            with self.subTest(label):
                self.write("app.kvo", config)
                before = sorted(os.listdir(self.dir))
                result = self.build(stub=stub)
                self.assertEqual(result.returncode, 1)
                self.assertIn(message, result.stderr)
                self.assertEqual(sorted(os.listdir(self.dir)), before)
        result = run("dump", self.path("nothing.exe"))
        self.assertEqual(result.returncode, 1)
        result = self.build(config="none.kvo")
        self.assertEqual(result.returncode, 1)
        self.assertIn("none.kvo", result.stderr)

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

        self.assert_ok(self.build(config="d/dump.kvo", out="again.exe"))
        self.assertEqual(self.read("again.exe"), packed)

    def test_repacking_replaces_the_old_configuration(self):
        self.write("a.kvo", "ApplicationName = first\n[files]\nx.bin = stub.exe\n")
        self.write("b.kvo", "ApplicationName = second\n")
        self.assert_ok(self.build("a.kvo", "a.exe"))
        self.assert_ok(self.build("b.kvo", "b.exe"))
        self.assert_ok(self.build("b.kvo", "b-from-a.exe", "a.exe"))
        self.assertEqual(self.read("b-from-a.exe"), self.read("b.exe"))
        self.assertEqual(len(self.read("b.exe")) % 512, 0)
        # In place: the stub and the output may be the same file.
        self.assert_ok(self.build("b.kvo", "a.exe", "a.exe"))
        self.assertEqual(self.read("a.exe"), self.read("b.exe"))

    def test_either_width_of_stub_and_which_one_was_written(self):
        self.write("app.kvo", "ApplicationName = x\n")
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


class Example(Base):
    def test_example_configuration(self):
        packed = self.path("app.exe")
        result = run("build", "--stub", self.path("stub.exe"), "--config", EXAMPLE, "--out", packed)
        self.assert_ok(result)
        self.assertEqual(result.stderr, "")  # no warnings
        block = self.read("app.exe")[len(make_pe32()):]
        self.assertEqual(struct.unpack_from("<I", block, 20)[0], 80)
        ids, at = [], 24
        for _ in range(80):
            record_id, length = struct.unpack_from("<ii", block, at)
            ids.append(record_id)
            at += 8 + length
        self.assertEqual(ids, sorted(ids))
        self.assertEqual((ids[0], ids[-1]), (101, 10123))
        self.assertEqual(struct.unpack_from("<ii", block, at), (0, 0))

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
                dumped = run("dump", "--out", self.path("dump.kvo"), self.path("app.exe"))
                self.assert_ok(dumped)
                result = run("build", "--stub", self.path("app.exe"), "--config", self.path("dump.kvo"),
                             "--out", self.path("again.exe"))
                self.assert_ok(result)
                self.assertEqual(self.read("again.exe"), self.read("app.exe"))


if __name__ == "__main__":
    KVO_PACK, EXAMPLE = sys.argv[1], sys.argv[2]
    LAUNCHERS = sys.argv[3:]
    unittest.main(argv=[sys.argv[0], "-v"])
