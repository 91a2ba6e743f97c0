"""Runtimes announced in the registry: the installers' JavaSoft keys, runtimes
located earlier, and previous installations of the application. The keys are
machine-wide in the test prefix, so every test here starts and ends with none
of them (the tests of this module run one after another)."""
import unittest

from harness import (RuntimeCase, base_block, java_runs, jvm_record, make_runtime_home, reg_add_key,
                     reg_delete, reg_set, winpath)

JRE = "HKLM\\SOFTWARE\\JavaSoft\\Java Runtime Environment"
JDK = "HKLM\\SOFTWARE\\JavaSoft\\Java Development Kit"
LOCATED = "SOFTWARE\\orrin-labs\\korvo\\locatedjvms"
INSTALLATIONS = "SOFTWARE\\orrin-labs\\vandrel\\installations"
OWNED_KEYS = [("HKLM\\SOFTWARE\\JavaSoft", True), ("HKCU\\" + LOCATED, False), ("HKLM\\" + LOCATED, True),
              ("HKCU\\" + INSTALLATIONS, False), ("HKLM\\" + INSTALLATIONS, True)]


class RegistryCase(RuntimeCase):
    def setUp(self):
        super().setUp()
        for key, view32 in OWNED_KEYS:
            reg_delete(key, view32)

    def tearDown(self):
        for key, view32 in OWNED_KEYS:
            reg_delete(key, view32)
        super().tearDown()

    def java_home_key(self, base, version, home):
        # The launcher is 32-bit: it reads the 32-bit view of HKLM\SOFTWARE.
        reg_set(f"{base}\\{version}", "JavaHome", winpath(home), view32=True)

    def locate(self, root, home):
        name = winpath(home / "bin" / "java.exe").replace("\\", "/")
        reg_add_key(f"{root}\\{LOCATED}\\{name}", view32=root == "HKLM")

    def probed(self, result):
        return [l.split(", [out]")[0][len("checkJavaExe ("):] for l in result.log if l.startswith("checkJavaExe (")]


class JavaSoftKeys(RegistryCase):
    def test_enumeration_walks_from_the_greatest_version_in_range(self):
        homes = {}
        for version in ("1.6", "1.6.0_45", "1.7.0", "1.5.0"):
            homes[version] = make_runtime_home(self.dir / version.replace(".", "_"), exit_code=1)
            self.java_home_key(JRE, version, homes[version])
        r = self.run_launcher(self.make_exe(base_block(r128="Y", r126="1.6")))
        self.assertEqual(r.code, 83)
        self.assertEqual(self.probed(r), [winpath(homes[v]) + "\\bin\\java.exe" for v in ("1.7.0", "1.6.0_45", "1.6")])

    def test_current_version_of_equal_texts_goes_to_the_jre(self):
        jdk = make_runtime_home(self.dir / "jdk", jdk=True)
        jre = make_runtime_home(self.dir / "jre")
        for base, home in ((JDK, jdk), (JRE, jre)):
            reg_set(base, "CurrentVersion", "1.6", view32=True)
            self.java_home_key(base, "1.6", home)
        r = self.run_launcher(self.make_exe(base_block(r128="Y")))
        self.assertEqual(self.probed(r)[0], winpath(jre) + "\\bin\\java.exe")
        self.assertTrue(jvm_record(jre / "bin" / "server"))
        self.assertLogMatches(r, r"found sun z:\\.*\\jre\\bin\\javaw\.exe 1\.8\.0_402")

    def test_current_version_out_of_range_is_ignored_whichever_is_greater(self):
        jdk = make_runtime_home(self.dir / "jdk", jdk=True)
        jre = make_runtime_home(self.dir / "jre", "1.9.0")
        reg_set(JDK, "CurrentVersion", "1.6", view32=True)
        self.java_home_key(JDK, "1.6", jdk)
        reg_set(JRE, "CurrentVersion", "1.9", view32=True)
        self.java_home_key(JRE, "1.9", jre)
        r = self.run_launcher(self.make_exe(base_block(r128="Y", r127="1.8")))
        self.assertEqual(self.probed(r)[0], winpath(jdk) + "\\jre\\bin\\java.exe")
        self.assertEqual(java_runs(jre / "bin"), [])
        self.assertTrue(jvm_record(jdk / "jre" / "bin" / "server"))

    def test_require_jdk_never_reads_the_jre_keys(self):
        jdk = make_runtime_home(self.dir / "jdk", "1.7.0", jdk=True)
        also_a_jdk = make_runtime_home(self.dir / "jre-key", "1.8.0", jdk=True)
        reg_set(JRE, "CurrentVersion", "1.8", view32=True)
        self.java_home_key(JRE, "1.8", also_a_jdk)
        self.java_home_key(JDK, "1.7", jdk)
        r = self.run_launcher(self.make_exe(base_block(r128="Y", r131="1")))
        self.assertEqual(self.probed(r), [winpath(jdk) + "\\jre\\bin\\java.exe"])
        self.assertEqual(java_runs(also_a_jdk / "jre" / "bin"), [])


class LocatedRuntimes(RegistryCase):
    def test_located_runtime_wins_over_javasoft_of_equal_version(self):
        javasoft = make_runtime_home(self.dir / "javasoft")
        located = make_runtime_home(self.dir / "located")
        reg_set(JRE, "CurrentVersion", "1.8", view32=True)
        self.java_home_key(JRE, "1.8", javasoft)
        self.locate("HKCU", located)
        r = self.run_launcher(self.make_exe(base_block(r128="Y")))
        self.assertLogHas(r, "checkJavaExe (" + winpath(located / "bin" / "java.exe") + ", [out], , , 1)")
        self.assertLogMatches(r, r"found sun .*\\javasoft\\bin\\javaw\.exe 1\.8\.0_402")
        self.assertLogMatches(r, r"found located .*\\located\\bin\\javaw\.exe 1\.8\.0_402")
        self.assertTrue(jvm_record(located / "bin" / "server"))
        self.assertFalse(jvm_record(javasoft / "bin" / "server"))

    def test_between_roots_the_machine_wins_equal_and_the_user_a_greater_version(self):
        user = make_runtime_home(self.dir / "user", "1.8.0_402")
        machine = make_runtime_home(self.dir / "machine", "1.8.0_402")
        self.locate("HKCU", user)
        self.locate("HKLM", machine)
        r = self.run_launcher(self.make_exe(base_block(r128="Y")))
        self.assertTrue(jvm_record(machine / "bin" / "server"))
        self.assertFalse(jvm_record(user / "bin" / "server"))

        make_runtime_home(self.dir / "user", "1.8.0_411")
        r = self.run_launcher(self.make_exe(base_block(r128="Y"), name="again.exe"))
        self.assertLogMatches(r, r"found located .*\\user\\bin\\javaw\.exe 1\.8\.0_411")
        self.assertTrue(jvm_record(user / "bin" / "server"))

    def test_greatest_located_version_under_one_root(self):
        old = make_runtime_home(self.dir / "old", "1.7.0_80")
        new = make_runtime_home(self.dir / "new", "1.8.0_402")
        broken = make_runtime_home(self.dir / "broken", exit_code=1)
        for home in (old, new, broken):
            self.locate("HKCU", home)
        r = self.run_launcher(self.make_exe(base_block(r128="Y")))
        self.assertEqual(len(self.probed(r)), 3)
        self.assertTrue(jvm_record(new / "bin" / "server"))

    def test_registry_runtime_that_fails_to_load_shows_only_the_start_message(self):
        home = make_runtime_home(self.dir / "rt", vm_types=())
        self.locate("HKCU", home)
        r = self.run_launcher(self.make_exe(base_block(r128="Y", r1019="damaged {0}", r1005="not started")),
                              log=False)
        self.assertEqual(r.code, 83)
        self.assertEqual([text for _, text in r.dialogs], ["not started"])


class PreviousInstallations(RegistryCase):
    def test_installations_of_the_user_in_order(self):
        make_runtime_home(self.dir / "app1" / "jre", "1.5.0")
        app2 = make_runtime_home(self.dir / "app2" / "jre")
        value = f"{winpath(self.dir / 'missing')};{winpath(self.dir / 'app1')};{winpath(self.dir / 'app2')}"
        reg_set("HKCU\\" + INSTALLATIONS, "kvo-test-app", value)
        r = self.run_launcher(self.make_exe(base_block(r126="1.6", r160="kvo-test-app")))
        self.assertLogHas(r, "found installations: " + value)
        self.assertEqual(self.probed(r), [winpath(self.dir / d) + "\\jre\\bin\\java.exe"
                                          for d in ("missing", "app1", "app2")])
        self.assertLogHas(r, "found JRE from previous installation (user) " +
                          winpath(app2).lower() + "\\bin\\javaw.exe")
        self.assertNotIn("Search sequence finished", r.log)

    def test_machine_installations_after_the_user_and_only_with_an_id(self):
        app = make_runtime_home(self.dir / "app" / "jre")
        reg_set("HKLM\\" + INSTALLATIONS, "kvo-test-app", winpath(self.dir / "app"), view32=True)
        r = self.run_launcher(self.make_exe(base_block(r160="kvo-test-app")))
        self.assertLogHas(r, "found JRE from previous installation (machine) " +
                          winpath(app).lower() + "\\bin\\javaw.exe")
        r = self.run_launcher(self.make_exe(base_block(), name="no-id.exe"))
        self.assertFalse(any(l.startswith("found installations") for l in r.log))
        self.assertEqual(r.code, 83)


if __name__ == "__main__":
    unittest.main()
