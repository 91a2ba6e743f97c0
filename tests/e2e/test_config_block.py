"""The configuration block as the launcher reads it from its own file."""
import struct
import unittest

from harness import Block, LauncherCase, base_block, i32, pe_image_end, stub_image, STUB


class BrokenBlocks(LauncherCase):
    """Whatever the bytes, the launcher ends with its fixed message and 1."""

    def expect_failure(self, block_bytes, message, tail=b""):
        exe = self.make_exe(block_bytes, tail=tail)
        r = self.run_launcher(exe, "-q_vdl_internal", log=False)
        self.assertEqual(r.code, 1, r)
        self.assertEqual(r.stderr.replace("\r\n", "\n"), message + "\n")
        self.assertEqual(r.dialogs, [])

    def test_every_read_fails_with_its_own_message(self):
        good = base_block().bytes()
        header = struct.pack("<Iii", 0xE8E413D5, 0, 0)
        cases = {
            "no block at all": (b"", "Internal Error: readInt"),
            "magic in the other byte order": (bytes.fromhex("E8E413D5") + good[4:],
                                              "Internal Error: magic"),
            "header cut inside the long": (header + b"\x01\x02", "Internal Error: readLong"),
            "fewer records than counted": (good[:20] + i32(5) + good[24:],
                                           "Internal Error: readInt"),
            "text shorter than its length": (good[:20] + i32(1) + i32(107) + i32(10) + b"1",
                                             "Internal Error: readString"),
            "absurd text length": (good[:20] + i32(1) + i32(107) + i32(0x7FFFFFFF) + b"1" * 64,
                                   "Internal Error: readString"),
            "negative text length": (good[:20] + i32(1) + i32(107) + i32(-4) + b"1" * 64,
                                     "Internal Error: readString"),
        }
        for name, (data, message) in cases.items():
            with self.subTest(name):
                self.expect_failure(data, message)

    def test_wide_and_locale_sections_are_checked_too(self):
        narrow = base_block()
        narrow.wide = []
        prefix = narrow.bytes()[:-8]  # up to wideCount
        cases = {
            "odd wide length": (i32(1) + i32(1000) + i32(3) + b"abc" + b"\0" * 16,
                                "Internal Error: readWString"),
            "absurd wide length": (i32(1) + i32(1000) + i32(0x40000000) + b"\0" * 16,
                                   "Internal Error: readWString"),
            "negative wide length": (i32(1) + i32(1000) + i32(-2) + b"\0" * 16,
                                     "Internal Error: readWString"),
            "locale key too long": (i32(0) + i32(1) + i32(1 << 30) + b"de",
                                    "Internal Error: readString"),
            "locale records missing": (i32(0) + i32(1) + i32(2) + b"de" + i32(3),
                                       "Internal Error: readInt"),
        }
        for name, (rest, message) in cases.items():
            with self.subTest(name):
                self.expect_failure(prefix + rest, message)

    def test_error_while_reading_shows_a_dialog_even_for_console_type(self):
        # ExecutableType 0 would send errors to standard error, but it is not
        # known while the block is still being read (nor the title: the
        # built-in one).
        block = Block().set(107, "0").bytes()[:-4]  # locale count missing
        exe = self.make_exe(block)
        r = self.run_launcher(exe, log=False)
        self.assertEqual(r.code, 1)
        self.assertEqual(r.dialogs, [("Error", "Internal Error: readInt")])


class GoodBlocks(LauncherCase):
    def test_log_traces_how_the_block_was_found(self):
        data = STUB.read_bytes()
        pe = struct.unpack_from("<i", data, 60)[0]
        sections = struct.unpack_from("<h", data, pe + 6)[0]
        optional = struct.unpack_from("<h", data, pe + 20)[0]
        last = pe + optional + sections * 40 - 16
        size, offset = struct.unpack_from("<ii", data, last + 16)
        r = self.run_launcher(self.make_exe(base_block()))
        self.assertEqual(r.code, 83)
        self.assertRegex(r.log[0], r"^Started executable Z:\\.*\\app\.exe at \w{3} \w{3} [ \d]\d "
                                   r"\d\d:\d\d:\d\d \d{4}$")
        self.assertEqual(r.log[1], "")
        i = r.log.index(f"number of sections: {sections}")
        self.assertEqual(r.log[i:i + 4], [
            f"number of sections: {sections}",
            f"size of optional headers: {optional}",
            f"resSectionTableStart: {last}",
            f"rawDataSize: {size}, rawDataOffset: {offset}",
        ])
        self.assertEqual(offset + size, pe_image_end(data))

    def test_negative_counts_mean_empty_sections(self):
        head = struct.pack("<Iiiq", 0xE8E413D5, 0, 0, 0)
        exe = self.make_exe(head + i32(-5) + i32(-1) + i32(-3))
        r = self.run_launcher(exe, "-q_vdl_internal")
        self.assertEqual(r.code, 83)

    def test_later_duplicate_and_locale_sections(self):
        (self.dir / "second").mkdir()
        b = base_block()
        b.set(146, "first")
        b.set(146, "second")
        b.wide = [(1000, "Fehler")]
        b.locales = [("de", [(1000, "Fehler")]), ("", [(1009, "x")]), ("en_US_LONGKEY", [])]
        r = self.run_launcher(self.make_exe(b))
        self.assertEqual(r.code, 83)
        self.assertLogMatches(r, r"change working directory to Z:\\.*\\second")

    def test_files_behind_the_block_are_not_read_as_configuration(self):
        r = self.run_launcher(self.make_exe(base_block(), tail=bytes.fromhex("E8E413D5") + b"\0" * 500))
        self.assertEqual(r.code, 83)


if __name__ == "__main__":
    unittest.main()
