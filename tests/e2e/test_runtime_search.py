"""The order of the runtime search: location files, the entries of the search
sequence in the main and the fallback pass, and the fixed variables."""
import unittest

from harness import RuntimeCase, base_block, java_runs, jvm_record, make_runtime_home, winpath


class SearchOrder(RuntimeCase):
    def location_file(self, name, line):
        folder = self.dir / ".vandrel"
        folder.mkdir(exist_ok=True)
        (folder / name).write_bytes(line.encode("cp1252") + b"\r\nsecond line is ignored\r\n")

    def loaded_from(self, home):
        return bool(jvm_record(home / "bin" / "server"))

    def test_preferred_location_wins_over_every_entry(self):
        jre = make_runtime_home(self.dir / "jre")
        preferred = make_runtime_home(self.dir / "preferred")
        self.location_file("pref_jre.cfg", winpath(preferred))
        r = self.run_launcher(self.make_exe(base_block(r128="B.\\jre", r10003=".")))
        self.assertLogHas(r, "Has preferred location " + winpath(preferred))
        self.assertLogHas(r, "Using preferred location")
        self.assertEqual(java_runs(jre / "bin"), [])
        self.assertTrue(self.loaded_from(preferred))

    def test_installer_location_comes_after_the_entries_and_before_the_fallback(self):
        jre = make_runtime_home(self.dir / "jre", "1.5.0_22")
        installer = make_runtime_home(self.dir / "inst")
        self.location_file("inst_jre.cfg", winpath(installer))
        exe = self.make_exe(base_block(r128="B.\\jre;EKVO_TEST_UNSET_VAR", r126="1.6"))
        r = self.run_launcher(exe)
        log = r.log
        self.assertLess(log.index("Testing location KVO_TEST_UNSET_VAR (type E)"),
                        log.index("Has installer location " + winpath(installer)))
        self.assertLogHas(r, "Using installer location")
        self.assertNotIn("Testing relative location .\\jre", log)
        self.assertTrue(self.loaded_from(installer))
        self.assertFalse(self.loaded_from(jre))

        # Without it the fallback pass takes the private runtime, unverified.
        (self.dir / ".vandrel" / "inst_jre.cfg").unlink()
        r = self.run_launcher(exe)
        self.assertLogHas(r, "Testing relative location .\\jre")
        self.assertLogHas(r, winpath(jre).lower() + "\\bin\\java.exe exists")
        self.assertTrue(self.loaded_from(jre))
        # The fallback does not probe, so the windowed twin is not taken.
        self.assertLogHas(r, "Trying to load JVM-DLL from " + winpath(jre).lower() + "\\bin\\java.exe")

    def test_fallback_retries_relative_a_and_r_and_every_b(self):
        low = dict(version="1.5.0")
        a_abs = make_runtime_home(self.dir / "a_abs", **low)
        r_abs = make_runtime_home(self.dir / "r_abs", **low)
        b_abs = make_runtime_home(self.dir / "b_abs", **low)
        seq = f"A{winpath(a_abs)};R{winpath(r_abs)};Amissing;Rmissing2;B{winpath(b_abs)}"
        r = self.run_launcher(self.make_exe(base_block(r128=seq, r126="1.6")))
        fallback = [l for l in r.log if l.startswith("Testing relative location")]
        self.assertEqual(fallback, ["Testing relative location missing",
                                    "Testing relative location missing2",
                                    "Testing relative location " + winpath(b_abs)])
        self.assertTrue(self.loaded_from(b_abs))

    def test_location_file_with_an_empty_line_names_the_launcher_directory(self):
        make_runtime_home(self.dir)
        self.location_file("pref_jre.cfg", "")
        r = self.run_launcher(self.make_exe(base_block()))
        self.assertLogHas(r, "Has preferred location ")
        self.assertLogHas(r, "Using preferred location")
        self.assertTrue(self.loaded_from(self.dir))

    def test_entries_are_expanded_in_the_main_pass_only(self):
        home = make_runtime_home(self.dir / "rt", "1.5.0")
        seq = "B${KVO_TEST_RT_DIR}"
        env = {"KVO_TEST_RT_DIR": winpath(home)}
        r = self.run_launcher(self.make_exe(base_block(r128=seq, r126="1.6")), env=env)
        self.assertLogHas(r, f"Testing location {winpath(home)} (type B)")
        self.assertLogHas(r, "Testing relative location ${KVO_TEST_RT_DIR}")
        self.assertEqual(r.code, 83)
        self.assertFalse(self.loaded_from(home))

    def test_unknown_letters_and_empty_entries_change_nothing(self):
        home = make_runtime_home(self.dir / "jre")
        r = self.run_launcher(self.make_exe(base_block(r128="X.\\jre;;Q;B.\\jre;")))
        tested = [l for l in r.log if l.startswith("Testing location")]
        self.assertEqual(tested, ["Testing location .\\jre (type X)", "Testing location  (type Q)",
                                  "Testing location .\\jre (type B)"])
        self.assertEqual(len(java_runs(home / "bin")), 1)
        self.assertTrue(self.loaded_from(home))


class EnvironmentAndPath(RuntimeCase):
    def test_variable_with_forward_slashes(self):
        home = make_runtime_home(self.dir / "rt")
        env = {"KVO_TEST_HOME": winpath(home).replace("\\", "/")}
        r = self.run_launcher(self.make_exe(base_block(r128="EKVO_TEST_HOME")), env=env)
        self.assertLogMatches(r, r"checkJavaExe \(Z:\\.*\\rt\\bin\\java\.exe, \[out\], , , 0\)")
        self.assertTrue(jvm_record(home / "bin" / "server"))

    def test_undefined_and_empty_variables_are_skipped(self):
        home = make_runtime_home(self.dir / "rt")
        env = {"KVO_TEST_EMPTY": "", "KVO_TEST_HOME": winpath(home)}
        r = self.run_launcher(self.make_exe(base_block(r128="EKVO_TEST_UNDEFINED;EKVO_TEST_EMPTY;EKVO_TEST_HOME")),
                              env=env)
        checks = [l for l in r.log if l.startswith("checkJavaExe (")]
        self.assertEqual(len(checks), 1, checks)
        self.assertTrue(jvm_record(home / "bin" / "server"))

    def test_path_search_finds_java_on_path(self):
        home = make_runtime_home(self.dir / "rt")
        path = "C:\\windows\\system32;C:\\windows;" + winpath(home / "bin")
        r = self.run_launcher(self.make_exe(base_block(r128="Sunused")), env={"PATH": path})
        self.assertLogHas(r, "Testing location unused (type S)")
        self.assertLogHas(r, "checkJavaExe returning 1")
        self.assertTrue(jvm_record(home / "bin" / "server"))

    def test_path_search_runs_no_java_from_the_working_directory(self):
        home = make_runtime_home(self.dir / "rt")
        # A complete runtime in the user's document folder, the working
        # directory: only PATH may be searched.
        documents = make_runtime_home(self.dir / "documents")
        planted = documents / "bin"
        path = "C:\\windows\\system32;.;bin;" + winpath(home / "bin")
        r = self.run_launcher(self.make_exe(base_block(r128="S")), env={"PATH": path}, cwd=planted)
        self.assertEqual(java_runs(planted), [])
        self.assertLogHas(r, "checkJavaExe returning 1")
        self.assertTrue(jvm_record(home / "bin" / "server"))
        self.assertFalse(jvm_record(planted / "server"))

    def test_path_search_passes_over_java_without_a_vm_library(self):
        # A folder of bare java.exe/javaw.exe that forward to some runtime
        # comes first on PATH; it must not end the search as a damaged runtime.
        shims = make_runtime_home(self.dir / "javapath", vm_types=(), dependency=False) / "bin"
        home = make_runtime_home(self.dir / "rt")
        path = f"C:\\windows\\system32;{winpath(shims)};{winpath(home / 'bin')}"
        r = self.run_launcher(self.make_exe(base_block(r128="S")), env={"PATH": path})
        self.assertLogHas(r, winpath(shims) + "\\java.exe has no VM library beside it: passed over")
        self.assertEqual(java_runs(shims), [])
        self.assertTrue(jvm_record(home / "bin" / "server"))
        self.assertLogHas(r, "Loading of JVM-DLL successful")

    def test_path_directory_named_with_letters_the_code_page_lacks(self):
        # "\u0141\u00f3d\u017a" must not be read as its look-alike "L\u00f3dz".
        home = make_runtime_home(self.dir / "\u0141\u00f3d\u017a")
        look_alike = make_runtime_home(self.dir / "L\u00f3dz")
        path = f"C:\\windows\\system32;{winpath(home / 'bin')}"
        r = self.run_launcher(self.make_exe(base_block(r128="S")), env={"PATH": path})
        self.assertEqual(java_runs(look_alike / "bin"), [])
        self.assertEqual(len(java_runs(home / "bin")), 1)
        self.assertLogHas(r, "checkJavaExe returning 1")

    def test_fixed_variables_come_last_korvo_first(self):
        korvo = make_runtime_home(self.dir / "korvo", "1.5.0")
        vandrel = make_runtime_home(self.dir / "vandrel")
        env = {"KORVO_JAVA_HOME": winpath(korvo), "VANDREL_JAVA_HOME": winpath(vandrel)}
        r = self.run_launcher(self.make_exe(base_block(r126="1.6")), env=env)
        log = r.log
        finished = log.index("Search sequence finished")
        self.assertLess(finished, next(i for i, l in enumerate(log) if l.startswith("checkJavaExe (")))
        self.assertEqual(len(java_runs(korvo / "bin")), 1)
        self.assertTrue(jvm_record(vandrel / "bin" / "server"))

        env["KORVO_JAVA_HOME"] = winpath(vandrel)
        r = self.run_launcher(self.make_exe(base_block(r126="1.6"), name="second.exe"), env=env)
        self.assertEqual(len([l for l in r.log if l.startswith("checkJavaExe (")]), 1)


if __name__ == "__main__":
    unittest.main()
