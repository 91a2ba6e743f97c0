#!/usr/bin/env python3
"""The Windows packer against the Linux one: for the same configuration,
stub and input files, kvo-pack.exe (under Wine) writes exactly the bytes the
Linux kvo-pack writes, and dump prints the same text; also from a folder
whose name has letters outside the ANSI code page.

Usage: same_bytes_test.py LINUX_KVO_PACK WINDOWS_KVO_PACK EXAMPLE_KVO LAUNCHER_EXE...
The Windows tool runs through KVO_PACK_RUNNER (scripts/wine-run.sh).
"""
import os
import shlex
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from imagefiles import bmp, ico, png  # noqa: E402

LINUX = WINDOWS = EXAMPLE = None
LAUNCHERS = []
RUNNER = shlex.split(os.environ.get("KVO_PACK_RUNNER", ""))

# Letters of no single-byte code page together: the Windows tool must reach
# them through UTF-16, whatever the ANSI code page of the Wine prefix is.
FOREIGN = "Ärger-ソフト-表-Ωμέγα-€"

CONFIG_PLAIN = """\
ApplicationName = Plain
MainClass = com.example.Main
JreSearchSequence = B.\\jre;Y;EJAVA_HOME;
MinJavaVersion = 1.8
1016 := No Java {0}-bit runtime was found.\\nNeeded: {1}.
"""

CONFIG_CODEPAGE = """\
ApplicationName = Prüfung für Ärzte € — «ok»
MainClass = com.example.Main
[wide]
ApplicationName = Prüfung für Ärzte € — 日本 ソフト
"""

CONFIG_FILES = """\
ApplicationName = Files
MainClass = com.example.Main
[files]
a.txt = a.txt
sub\\b.bin = data/b.bin
ソ.txt = data/ソ.txt
"""

CONFIG_RESOURCES = """\
ApplicationName = Resources
MainClass = com.example.Main
SplashEnabled = 1
[resources]
icon = art/app.ico
splash-icon = art/small.ico
splash-bitmap = art/splash.png
execution-level = highestAvailable
dpi-aware = per-monitor-v2
[version]
FileVersion = 2.3.4.5
ProductVersion = 2.3.0.0
CompanyName = Ärger & Söhne
FileDescription = Wörterbuch ソフト
LegalCopyright = © 2026
[files]
readme.txt = a.txt
"""


class SameBytes(unittest.TestCase):
    def setUp(self):
        self._tmp = tempfile.TemporaryDirectory(prefix="kvo-pack-same.")
        self.dir = self._tmp.name

    def tearDown(self):
        self._tmp.cleanup()

    def lay_out(self, folder, config, codepage_text=None):
        """The configuration and its inputs in `folder`; returns the config path."""
        os.makedirs(os.path.join(folder, "data"), exist_ok=True)
        os.makedirs(os.path.join(folder, "art"), exist_ok=True)
        files = {
            "a.txt": b"first file\r\n",
            "data/b.bin": bytes(range(256)) * 33,
            "data/ソ.txt": "ソ: a name whose second byte is a backslash in code page 932\n".encode(),
            "art/app.ico": ico((200, 30, 30), (30, 200, 30), size=32),
            "art/small.ico": ico((10, 10, 240)),
            # Half transparent pixels: the splash is laid over grey, which
            # both packers must compute alike.
            "art/splash.png": png_with_alpha(40, 24),
            "art/splash.bmp": bmp(40, 24, (255, 0, 0), (0, 0, 255)),
        }
        for name, data in files.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
        path = os.path.join(folder, "app.kvo")
        with open(path, "w", encoding="utf-8") as f:
            f.write(config)
        return path

    def run_linux(self, *args):
        return subprocess.run([LINUX, *args], capture_output=True, timeout=120)

    def run_windows(self, *args):
        return subprocess.run([*RUNNER, WINDOWS, *args], capture_output=True, timeout=180)

    def both(self, config, stub, extra=(), folder=None):
        folder = folder or os.path.join(self.dir, "in")
        path = self.lay_out(folder, config)
        outs = []
        for name, run in (("linux", self.run_linux), ("windows", self.run_windows)):
            out = os.path.join(self.dir, f"{name}.exe")
            result = run("build", "--stub", stub, "--config", path, "--out", out, *extra)
            self.assertEqual(result.returncode, 0, f"{name}: {result.stderr.decode(errors='replace')}")
            with open(out, "rb") as f:
                outs.append(f.read())
        return outs

    def assert_same(self, linux, windows):
        if linux == windows:
            return
        first = next(i for i in range(min(len(linux), len(windows))) if linux[i] != windows[i]) \
            if any(a != b for a, b in zip(linux, windows)) else min(len(linux), len(windows))
        self.fail(f"the packers differ: {len(linux)} bytes (Linux) against {len(windows)} (Windows), "
                  f"first difference at offset {first:#x}")

    def test_each_configuration_on_each_stub(self):
        cases = {"plain": (CONFIG_PLAIN, ()),
                 "code page": (CONFIG_CODEPAGE, ("--codepage", "windows-1252")),
                 "files": (CONFIG_FILES, ("--codepage", "932")),
                 "resources": (CONFIG_RESOURCES, ()),
                 "example": (None, ())}
        for stub in LAUNCHERS:
            for label, (config, extra) in cases.items():
                with self.subTest(stub=os.path.basename(os.path.dirname(stub)), config=label):
                    if config is None:
                        outs = []
                        for run, name in ((self.run_linux, "linux"), (self.run_windows, "windows")):
                            out = os.path.join(self.dir, f"{name}-example.exe")
                            result = run("build", "--stub", stub, "--config", EXAMPLE, "--out", out)
                            self.assertEqual(result.returncode, 0, result.stderr.decode(errors="replace"))
                            with open(out, "rb") as f:
                                outs.append(f.read())
                    else:
                        outs = self.both(config, stub, extra)
                    self.assert_same(*outs)
        # What a code page cannot hold is refused alike: a letter it lacks, a
        # letter Windows would replace by a look-alike (Ł as L), and the
        # C1 control character that Windows maps an undefined byte to.
        for text, code in (("Prüfung 日本", b"U+65E5"), ("Łódź", b"U+0141"),
                           ("x\\u0081", b"U+0081")):
            with self.subTest(refused=text):
                path = self.lay_out(os.path.join(self.dir, "cp"), f"ApplicationName := {text}\n")
                results = [run("build", "--stub", LAUNCHERS[0], "--config", path, "--out",
                               os.path.join(self.dir, "refused.exe"))
                           for run in (self.run_linux, self.run_windows)]
                self.assertEqual([r.returncode for r in results], [1, 1])
                self.assertIn(code, results[0].stderr)
                self.assertEqual(results[0].stderr.split(b"app.kvo")[-1], results[1].stderr.split(b"app.kvo")[-1])
                self.assertFalse(os.path.exists(os.path.join(self.dir, "refused.exe")))

    def test_characters_by_code_page(self):
        """Every character of the table gets the same verdict and the same bytes
        from both tools, page by page; the cells the launcher would misread are
        pinned (0x8160 reads as U+FF5E in 932, 0x5C as a backslash)."""
        pages = ("SHIFT_JIS", "CP932", "GBK", "BIG5", "UHC", "1252", "874", "KOI8-U", "ISO-8859-7",
                 "ISO-8859-8", "1255", "UTF-8")
        characters = ("\uff5e", "\u301c", "\u00a5", "\\", "\u20ac", "\u2550", "\u045e", "\ue000",
                      "\u0e01", "\u200e", "\u05ba", "\u00c9", "A\u00a5B\u301cC")
        pinned = {("SHIFT_JIS", "\uff5e"): b"\x81\x60", ("SHIFT_JIS", "\u301c"): None,
                  ("SHIFT_JIS", "\u00a5"): None, ("CP932", "\u301c"): None, ("CP932", "\u00a5"): None,
                  ("CP932", "\\"): b"\\", ("CP932", "A\u00a5B\u301cC"): None, ("GBK", "\u20ac"): b"\x80",
                  ("BIG5", "\u2550"): None, ("KOI8-U", "\u045e"): None, ("1252", "\u20ac"): b"\x80",
                  ("UTF-8", "\ue000"): b"\xee\x80\x80", ("SHIFT_JIS", "\ue000"): None}
        folder = os.path.join(self.dir, "pages")
        os.makedirs(folder)
        path = os.path.join(folder, "app.kvo")
        seen = set()
        for page in pages:
            for text in characters:
                with self.subTest(page=page, text=text.encode("unicode_escape").decode()):
                    with open(path, "w", encoding="utf-8") as f:
                        f.write(f"MainClass = a.B\nApplicationName = {text}\n")
                    verdicts = []
                    for name, run in (("linux", self.run_linux), ("windows", self.run_windows)):
                        out = os.path.join(folder, f"{name}.bin")
                        if os.path.exists(out):
                            os.remove(out)
                        result = run("build", "--overlay", "--config", path, "--out", out, "--codepage", page)
                        self.assertIn(result.returncode, (0, 1), result.stderr.decode(errors="replace"))
                        if result.returncode == 0:
                            with open(out, "rb") as f:
                                verdicts.append(("written", record_value(f.read(), 101)))
                        else:
                            self.assertIn(b"has no form in code page", result.stderr)
                            self.assertFalse(os.path.exists(out))
                            verdicts.append(("refused", result.stderr.split(b"app.kvo")[-1]))
                    self.assertEqual(verdicts[0], verdicts[1])
                    seen.add(verdicts[0][0])
                    if (page, text) in pinned:
                        expected = pinned[(page, text)]
                        self.assertEqual(verdicts[0], ("written", expected) if expected is not None
                                         else ("refused", verdicts[0][1]))
        self.assertEqual(seen, {"written", "refused"})
        # Bytes read back alike too: a dump of bytes that are no character, or
        # a second form of one, or a pair a converter calls invalid.
        with open(path, "w", encoding="utf-8") as f:
            f.write("MainClass = a.B\nApplicationName := \\x5C\\x81\\x60\\x87\\x90\\xA2\\xE8\\x80\\xAE\\xFD\\xCA\\xF9\\xF9\\xA2\\xA4\n")
        block = os.path.join(folder, "bytes.bin")
        self.assertEqual(self.run_linux("build", "--overlay", "--config", path, "--out", block).returncode, 0)
        for page in pages:
            with self.subTest(dump=page):
                texts = [run("dump", "--overlay", "--codepage", page, block)
                         for run in (self.run_linux, self.run_windows)]
                self.assertEqual([t.returncode for t in texts], [0, 0], texts[1].stderr)
                self.assertEqual(texts[0].stdout, texts[1].stdout)

    def test_dump_prints_the_same_text(self):
        stub = LAUNCHERS[-1]
        linux, _ = self.both(CONFIG_RESOURCES, stub)
        packed = os.path.join(self.dir, "linux.exe")
        texts = []
        for name, run in (("linux", self.run_linux), ("windows", self.run_windows)):
            result = run("dump", packed)
            self.assertEqual(result.returncode, 0, result.stderr.decode(errors="replace"))
            texts.append(result.stdout)
        self.assertIn(b"FileDescription = W\xc3\xb6rterbuch", texts[0])
        self.assertEqual(texts[0], texts[1])
        # Written out, the text names the extracted files with "/" on both.
        written = []
        for name, run in (("linux", self.run_linux), ("windows", self.run_windows)):
            where = os.path.join(self.dir, name + "-dump")
            os.makedirs(where)
            result = run("dump", "--extract-files", os.path.join(where, "files", "sub"), "--out",
                         os.path.join(where, "dump.kvo"), packed)
            self.assertEqual(result.returncode, 0, result.stderr.decode(errors="replace"))
            with open(os.path.join(where, "dump.kvo"), "rb") as f:
                written.append(f.read())
        self.assertIn(b"readme.txt = files/sub/readme.txt\n", written[0])
        self.assertEqual(written[0], written[1])

    def test_a_folder_named_outside_the_code_page(self):
        folder = os.path.join(self.dir, FOREIGN)
        stub = LAUNCHERS[-1]
        linux, windows = self.both(CONFIG_RESOURCES, stub, folder=folder)
        self.assert_same(linux, windows)
        # The Windows tool extracts into such a folder too, and names the
        # files as they were packed.
        target = os.path.join(self.dir, FOREIGN + "-out")
        result = self.run_windows("dump", "--extract-files", target, "--out",
                                  os.path.join(target, "dumped.kvo"), os.path.join(self.dir, "windows.exe"))
        self.assertEqual(result.returncode, 0, result.stderr.decode(errors="replace"))
        with open(os.path.join(target, "readme.txt"), "rb") as f:
            self.assertEqual(f.read(), b"first file\r\n")
        with open(os.path.join(target, "dumped.kvo"), encoding="utf-8") as f:
            self.assertIn("CompanyName = Ärger & Söhne", f.read())
        # And a second extraction refuses to replace what is there.
        again = self.run_windows("dump", "--extract-files", target, os.path.join(self.dir, "windows.exe"))
        self.assertEqual(again.returncode, 1)
        self.assertIn(b"exists", again.stderr)


def record_value(block, wanted):
    """The bytes of narrow record `wanted` in an overlay kvo-pack wrote."""
    import struct
    pos = 20
    count, = struct.unpack_from("<i", block, pos)
    pos += 4
    for _ in range(count):
        ident, length = struct.unpack_from("<ii", block, pos)
        pos += 8
        if ident == wanted:
            return block[pos:pos + length]
        pos += length
    return None


def png_with_alpha(width, height):
    """An RGBA PNG whose alpha runs from clear to opaque across the width."""
    import struct
    import zlib
    rows = b"".join(b"\0" + b"".join(bytes((250, 120, 10, (255 * x) // (width - 1))) for x in range(width))
                    for _ in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    LINUX, WINDOWS, EXAMPLE = sys.argv[1:4]
    LAUNCHERS = [l for l in sys.argv[4:] if os.path.exists(l)]
    if not LAUNCHERS or not os.path.exists(LINUX):
        print("NOT RUN: the Linux packer or the stubs are not built", file=sys.stderr)
        sys.exit(1)
    unittest.main(argv=[sys.argv[0], "-v"])
