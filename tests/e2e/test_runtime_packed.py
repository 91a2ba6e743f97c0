"""A private runtime shipped with packed archives is unpacked with its own
unpack200.exe before it is probed."""
import shutil
import unittest

from harness import RUNTIME_FIXTURES, RuntimeCase, base_block, jvm_record, make_runtime_home, winpath

ARCHIVES = ["lib\\rt.jar", "lib\\jfxrt.jar", "lib\\charsets.jar", "lib\\plugin.jar", "lib\\deploy.jar",
            "lib\\ext\\localedata.jar", "lib\\jsse.jar"]


class PackedRuntime(RuntimeCase):
    def packed_home(self, packed=ARCHIVES, unpacker=True):
        home = make_runtime_home(self.dir / "jre")
        (home / "lib" / "rt.jar").unlink()
        for name in packed:
            path = home / (name.replace("\\", "/") + ".pack")
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(b"PACK200:" + name.encode())
        if unpacker:
            shutil.copy(RUNTIME_FIXTURES / "unpack200.exe", home / "bin" / "unpack200.exe")
        return home

    def unpacker_runs(self, home):
        log = home / "bin" / "unpack200.log"
        return log.read_text().splitlines() if log.exists() else []

    def test_every_archive_is_unpacked_in_order_and_its_pack_removed(self):
        home = self.packed_home()
        r = self.run_launcher(self.make_exe(base_block(r128="B.\\jre")))
        h = winpath(home).lower()
        self.assertEqual(self.unpacker_runs(home),
                         [f'"{h}\\bin\\unpack200.exe" -r "{h}\\{a}.pack" "{h}\\{a}"' for a in ARCHIVES])
        for name in ARCHIVES:
            self.assertEqual((home / name.replace("\\", "/")).read_bytes(), name.encode())
        self.assertEqual(list(home.rglob("*.pack")), [])
        self.assertEqual(r.stderr.replace("\r\n", "\n").count("Preparing JRE ...\n"), 1)
        log = r.log
        self.assertLess(log.index("Unpacking JRE"), log.index("Unpacking JRE done"))
        self.assertIn(f"{h}\\bin\\unpack200.exe", log)
        self.assertEqual(log.count("waiting for unpack200 to finish"), 7)
        self.assertLess(log.index("Unpacking JRE done"), next(i for i, l in enumerate(log)
                                                             if l.startswith("checkJavaExe (")))
        self.assertNotIn("could not delete packed file", " ".join(log))
        self.assertTrue(jvm_record(home / "bin" / "server"))

        # Unpacked for good: the next start leaves it alone.
        r = self.run_launcher(self.make_exe(base_block(r128="B.\\jre"), name="again.exe"))
        self.assertNotIn("Unpacking JRE", r.log)
        self.assertEqual(len(self.unpacker_runs(home)), 7)

    def test_missing_packed_files_are_skipped(self):
        home = self.packed_home(packed=["lib\\rt.jar"])
        r = self.run_launcher(self.make_exe(base_block(r128="B.\\jre")))
        self.assertEqual(r.log.count("pack path doesn't exists"), 6)
        self.assertEqual(len(self.unpacker_runs(home)), 1)
        self.assertTrue((home / "lib" / "rt.jar").exists())

    def test_every_archive_still_packed_is_unpacked(self):
        # A run that stopped after rt.jar, or that failed on charsets.jar and
        # went on to jsse.jar: whatever is still packed is unpacked next.
        home = self.packed_home(packed=["lib\\charsets.jar", "lib\\ext\\localedata.jar"])
        (home / "lib" / "jsse.jar").write_bytes(b"jar")
        r = self.run_launcher(self.make_exe(base_block(r128="B.\\jre")))
        h = winpath(home).lower()
        self.assertEqual(self.unpacker_runs(home),
                         [f'"{h}\\bin\\unpack200.exe" -r "{h}\\{a}.pack" "{h}\\{a}"'
                          for a in ("lib\\charsets.jar", "lib\\ext\\localedata.jar")])
        self.assertEqual(list(home.rglob("*.pack")), [])
        self.assertEqual((home / "lib" / "jsse.jar").read_bytes(), b"jar")
        self.assertLogHas(r, "Unpacking JRE done")
        # Nothing packed: nothing happens.
        r = self.run_launcher(self.make_exe(base_block(r128="B.\\jre"), name="again.exe"))
        self.assertNotIn("Unpacking JRE", r.log)
        self.assertEqual(len(self.unpacker_runs(home)), 2)

    def test_unpacker_that_cannot_start_is_fatal(self):
        self.packed_home(unpacker=False)
        r = self.run_launcher(self.make_exe(base_block(r128="B.\\jre")), log=True)
        self.assertEqual(r.code, 1)
        self.assertEqual([t.split("\n\nLog: ")[0] for _, t in r.dialogs],
                         ["An internal error occurred (error code: 20)"])
        self.assertLogHas(r, "could not create unpack process")

    def test_failed_unpack_keeps_the_packed_file(self):
        home = self.packed_home(packed=["lib\\rt.jar", "lib\\charsets.jar"])
        # The stand-in unpacker fails (exit code 2) on what it cannot read.
        (home / "lib" / "charsets.jar.pack").write_bytes(b"damaged")
        exe = self.make_exe(base_block(r128="B.\\jre"))
        r = self.run_launcher(exe)
        h = winpath(home).lower()
        self.assertEqual((home / "lib" / "charsets.jar.pack").read_bytes(), b"damaged")
        self.assertFalse((home / "lib" / "charsets.jar").exists())
        self.assertLogHas(r, f"ERROR: unpacking {h}\\lib\\charsets.jar.pack failed (exit code 2, archive missing): "
                             "packed file kept")
        # The archive that did unpack lost its packed file as before.
        self.assertFalse((home / "lib" / "rt.jar.pack").exists())
        self.assertTrue((home / "lib" / "rt.jar").exists())

        # Still packed, so the next start tries again, and only that one.
        (home / "lib" / "charsets.jar.pack").write_bytes(b"PACK200:repaired")
        self.run_launcher(exe)
        self.assertEqual([l for l in self.unpacker_runs(home) if "charsets" in l][1:],
                         [f'"{h}\\bin\\unpack200.exe" -r "{h}\\lib\\charsets.jar.pack" "{h}\\lib\\charsets.jar"'])
        self.assertEqual(len(self.unpacker_runs(home)), 3)
        self.assertEqual((home / "lib" / "charsets.jar").read_bytes(), b"repaired")
        self.assertEqual(list(home.rglob("*.pack")), [])

    def test_preferred_location_is_unpacked_too(self):
        home = self.packed_home(packed=["lib\\rt.jar"])
        (self.dir / ".vandrel").mkdir()
        (self.dir / ".vandrel" / "pref_jre.cfg").write_text(winpath(home) + "\n")
        r = self.run_launcher(self.make_exe(base_block()))
        self.assertLogHas(r, "Unpacking JRE done")
        self.assertLogHas(r, "Using preferred location")


if __name__ == "__main__":
    unittest.main()
