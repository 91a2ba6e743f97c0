"""Runtimes laid out as vendors bundle them and users install them today:
trimmed runtimes without java.exe, release files, per-user and vendor
registry keys, the keys of Java 9 and later, quoted JAVA_HOME values, the
javapath links, and the message that says what was needed and found.
Registry keys are machine-wide (or user-wide) in the prefix, so every test
starts and ends with none of them (the tests of this module run one after
another)."""
import os
import unittest

from harness import (RUNTIME_FIXTURES, RuntimeCase, base_block, java_runs, jvm_record, launcher_is_64,
                     make_runtime_home, reg, winpath, with_machine)

OWNED = ["SOFTWARE\\JavaSoft", "SOFTWARE\\Eclipse Adoptium", "SOFTWARE\\Microsoft\\JDK", "SOFTWARE\\Semeru",
         "SOFTWARE\\BellSoft", "SOFTWARE\\Azul Systems"]
I386 = 0x014C
AMD64 = 0x8664


def release(home, version):
    """A release file as jlink writes it (None: the key is missing)."""
    rows = ['IMPLEMENTOR="Test Vendor"']
    if version is not None:
        rows.append(f'JAVA_VERSION="{version}"')
    rows.append('JAVA_VERSION_DATE="2024-01-16"')
    (home / "release").write_text("\n".join(rows) + "\n")


def make_trimmed_home(home, version="17.0.10", *, machine=None, vm_type="server"):
    """A runtime made with jlink --strip-native-commands: bin\\<type>\\jvm.dll
    (the stand-in) and its C library, lib\\modules, a release file (unless
    version is None), and no java.exe."""
    bin_dir = home / "bin" / vm_type
    bin_dir.mkdir(parents=True)
    (bin_dir / "jvm.dll").write_bytes(with_machine((RUNTIME_FIXTURES / "jvm.dll").read_bytes(), machine))
    (home / "bin" / "stand-in-crt.dll").write_bytes((RUNTIME_FIXTURES / "stand-in-crt.dll").read_bytes())
    (home / "lib").mkdir()
    (home / "lib" / "modules").write_bytes(b"\xca\xfe\xda\xda" + bytes(28))
    if version is not None:
        release(home, version)
    return home


def other_machine():
    return I386 if launcher_is_64() else AMD64


class TodayCase(RuntimeCase):
    def setUp(self):
        super().setUp()
        self.view = "/reg:64" if launcher_is_64() else "/reg:32"
        self.clear_keys()

    def tearDown(self):
        self.clear_keys()
        super().tearDown()

    def clear_keys(self):
        for key in OWNED:
            reg("delete", "HKLM\\" + key, "/f", self.view, check=False)
            reg("delete", "HKCU\\" + key, "/f", check=False)

    def key(self, root, key, name, data):
        view = [self.view] if root == "HKLM" else []
        reg("add", f"{root}\\SOFTWARE\\{key}", "/v", name, "/t", "REG_SZ", "/d", data, "/f", *view)

    def loaded(self, home):
        return "create" in jvm_record(home / "bin" / "server")

    def probed(self, result):
        return [l.split(", [out]")[0][len("checkJavaExe ("):].lower()
                for l in result.log if l.startswith("checkJavaExe (")]


class TrimmedRuntimes(TodayCase):
    def test_a_bundled_runtime_without_java_exe_is_judged_by_its_release_file(self):
        rt = make_trimmed_home(self.dir / "runtime", "17.0.10")
        for n, letter in enumerate("ABR"):
            with self.subTest(letter=letter):
                r = self.run_launcher(self.make_exe(base_block(r128=f"{letter}.\\runtime", r126="17"),
                                                    name=f"{letter}.exe"))
                self.assertLogHas(r, "no java.exe; the runtime has its VM library " +
                                  winpath(rt).lower() + "\\bin\\server\\jvm.dll")
                self.assertLogHas(r, "got version from release file " + winpath(rt).lower() +
                                  "\\release: 17.0.10")
                self.assertLogHas(r, "Trying to load JVM-DLL from " + winpath(rt).lower() + "\\bin\\java.exe")
                self.assertLogHas(r, "Loading of JVM-DLL successful")
                self.assertTrue(self.loaded(rt))
                (rt / "bin" / "server" / "jvm-stand-in.log").unlink()

    def test_every_entry_that_names_a_home_takes_it(self):
        rt = make_trimmed_home(self.dir / "rt", "21.0.2")
        cases = {"E": dict(r128="EKVO_TRIMMED_HOME"), "fixed variable": dict(r128=""),
                 "registry": dict(r128="Y"), "location file": dict(r128="", r10003=".")}
        (self.dir / ".vandrel").mkdir()
        for n, (name, records) in enumerate(cases.items()):
            with self.subTest(name):
                env = {"KVO_TRIMMED_HOME": winpath(rt)} if name == "E" else {}
                if name == "fixed variable":
                    env = {"KORVO_JAVA_HOME": winpath(rt)}
                if name == "registry":
                    self.key("HKLM", "JavaSoft\\JDK\\21.0.2", "JavaHome", winpath(rt))
                pref = self.dir / ".vandrel" / "pref_jre.cfg"
                if name == "location file":
                    pref.write_text(winpath(rt) + "\n")
                r = self.run_launcher(self.make_exe(base_block(r126="21", **records), name=f"e{n}.exe"), env=env)
                self.assertLogHas(r, "Loading of JVM-DLL successful")
                self.assertTrue(self.loaded(rt))
                (rt / "bin" / "server" / "jvm-stand-in.log").unlink()
                self.clear_keys()
                if pref.exists():
                    pref.unlink()

    def test_without_a_version_only_where_no_bound_is_configured(self):
        rt = make_trimmed_home(self.dir / "rt", None)
        # Absolute: an A entry of that kind is not retried unverified.
        r = self.run_launcher(self.make_exe(base_block(r128="A" + winpath(rt))))
        self.assertLogHas(r, "version unknown (no release file with JAVA_VERSION); accepted, no bounds are configured")
        self.assertLogHas(r, "checkJavaExe returning 1")
        self.assertTrue(self.loaded(rt))
        (rt / "bin" / "server" / "jvm-stand-in.log").unlink()
        r = self.run_launcher(self.make_exe(base_block(r128="A" + winpath(rt), r127="21"), name="bounded.exe"))
        self.assertEqual(r.code, 83)
        self.assertLogHas(r, "version unknown (no release file with JAVA_VERSION, no java.exe): passed over, "
                             "since version bounds are configured")
        self.assertFalse(self.loaded(rt))
        # The fallback pass of a B entry takes it unverified, as it takes a
        # runtime with java.exe.
        r = self.run_launcher(self.make_exe(base_block(r128="B.\\rt", r127="21"), name="fallback.exe"))
        self.assertLogHas(r, winpath(rt).lower() + "\\bin\\server\\jvm.dll exists")
        self.assertTrue(self.loaded(rt))

    def test_bounds_beta_and_width_apply_as_to_any_runtime(self):
        old = make_trimmed_home(self.dir / "old", "11.0.22")
        beta = make_trimmed_home(self.dir / "beta", "22-ea")
        other = make_trimmed_home(self.dir / "other", "21.0.2", machine=other_machine())
        ok = make_trimmed_home(self.dir / "ok", "17.0.10")
        seq = ";".join("E" + v for v in ("KVO_OLD", "KVO_BETA", "KVO_OTHER", "KVO_OK"))
        env = {"KVO_OLD": winpath(old), "KVO_BETA": winpath(beta), "KVO_OTHER": winpath(other),
               "KVO_OK": winpath(ok)}
        r = self.run_launcher(self.make_exe(base_block(r128=seq, r126="17")), env=env)
        self.assertLogHas(r, "beta vm not allowed")
        self.assertLogMatches(r, r".*\\other\\bin\\server\\jvm\.dll is (a 32-bit|built for machine).*")
        self.assertLogHas(r, "passed over: 11.0.22 (too old) in " + winpath(old).lower())
        self.assertTrue(self.loaded(ok))
        self.assertFalse(any(self.loaded(h) for h in (old, beta, other)))


class ReleaseBeforeProbe(TodayCase):
    def test_a_home_with_release_runs_no_java_exe(self):
        jdk = make_runtime_home(self.dir / "jdk-17", "17.0.10", javac=True)
        release(jdk, "17.0.10")
        r = self.run_launcher(self.make_exe(base_block(r128=f"A{winpath(jdk)}", r126="17")))
        self.assertLogHas(r, "got version from release file " + winpath(jdk).lower() + "\\release: 17.0.10")
        self.assertEqual(java_runs(jdk / "bin"), [])
        self.assertTrue(self.loaded(jdk))
        # The release file wins over what the executable would print.
        release(jdk, "11.0.22")
        r = self.run_launcher(self.make_exe(base_block(r128=f"A{winpath(jdk)}", r126="17"), name="again.exe"))
        self.assertEqual(r.code, 83)
        self.assertEqual(java_runs(jdk / "bin"), [])

    def test_the_jre_of_an_old_jdk_reads_the_jdks_release_and_others_keep_the_probe(self):
        jdk8 = make_runtime_home(self.dir / "jdk8", "1.8.0_402", jdk=True)
        release(jdk8, "1.8.0_402")
        jre8 = make_runtime_home(self.dir / "jre8", "1.8.0_392")
        broken = make_runtime_home(self.dir / "broken", "1.7.0_80")
        release(broken, None)
        seq = f"A{winpath(jre8)};A{winpath(broken)};A{winpath(jdk8)}"
        r = self.run_launcher(self.make_exe(base_block(r128=seq, r126="1.8.0_400")))
        self.assertLogHas(r, "got version from execution 1.8.0_392")
        self.assertLogHas(r, winpath(broken).lower() + "\\release names no readable JAVA_VERSION")
        self.assertLogHas(r, "got version from execution 1.7.0_80")
        self.assertLogHas(r, "got version from release file " + winpath(jdk8).lower() + "\\release: 1.8.0_402")
        self.assertEqual(java_runs(jdk8 / "jre" / "bin"), [])
        self.assertTrue(jvm_record(jdk8 / "jre" / "bin" / "server"))


class RegistryToday(TodayCase):
    def test_per_user_installs_and_machine_wins_equal_versions(self):
        machine = make_runtime_home(self.dir / "machine", "17.0.10", javac=True)
        user = make_runtime_home(self.dir / "user", "17.0.10", javac=True)
        self.key("HKLM", "Eclipse Adoptium\\JDK\\17.0.10.7\\hotspot\\MSI", "Path", winpath(machine) + "\\")
        self.key("HKCU", "Eclipse Adoptium\\JDK\\17.0.10.7\\hotspot\\MSI", "Path", winpath(user) + "\\")
        r = self.run_launcher(self.make_exe(base_block(r128="Y", r126="17")))
        self.assertLogMatches(r, r"found registered .*\\user\\bin\\javaw\.exe 17\.0\.10 under "
                                 r"HKCU\\SOFTWARE\\Eclipse Adoptium\\JDK\\17\.0\.10\.7")
        self.assertTrue(self.loaded(machine))
        self.assertFalse(self.loaded(user))

        # Alone, or greater, the per-user install is taken: JavaSoft keys too.
        self.clear_keys()
        newer = make_runtime_home(self.dir / "newer", "21.0.2", javac=True)
        self.key("HKLM", "JavaSoft\\JDK\\17.0.10", "JavaHome", winpath(machine))
        self.key("HKCU", "JavaSoft\\JDK\\21.0.2", "JavaHome", winpath(newer))
        r = self.run_launcher(self.make_exe(base_block(r128="Y", r126="17"), name="user.exe"))
        self.assertLogMatches(r, r"found registered .*\\newer\\bin\\javaw\.exe 21\.0\.2 under "
                                 r"HKCU\\SOFTWARE\\JavaSoft\\JDK\\21\.0\.2")
        self.assertTrue(self.loaded(newer))

    def test_java_8_vendor_keys_under_legacy_bounds(self):
        temurin = make_runtime_home(self.dir / "jdk8u392-b08", "1.8.0_392")
        corretto = make_runtime_home(self.dir / "corretto", "1.8.0_212")
        self.key("HKLM", "Eclipse Adoptium\\JRE\\8.0.392.8\\hotspot\\MSI", "Path", winpath(temurin) + "\\")
        self.key("HKLM", "JavaSoft\\Java Runtime Environment\\1.8.0.212", "JavaHome", winpath(corretto))
        r = self.run_launcher(self.make_exe(base_block(r128="Y", r126="1.6", r127="1.8")))
        self.assertLogHas(r, "Loading of JVM-DLL successful")
        self.assertEqual(sorted(self.probed(r)), sorted([(winpath(h) + "\\bin\\java.exe").lower()
                                                         for h in (temurin, corretto)]))
        self.assertTrue(jvm_record(temurin / "bin" / "server"))
        # Corretto's key name against an update bound, as 1.8.0_212.
        r = self.run_launcher(self.make_exe(base_block(r128="Y", r126="1.8.0_200", r127="1.8.0_300"),
                                            name="update.exe"))
        self.assertLogMatches(r, r"found sun .*\\corretto\\bin\\javaw\.exe 1\.8\.0_212")
        self.assertLogHas(r, "skipping registry key SOFTWARE\\Eclipse Adoptium\\JRE\\8.0.392.8: "
                             "version out of range")

    def test_javasoft_jdk_takes_the_greatest_version_whatever_current_version_says(self):
        jdk11 = make_runtime_home(self.dir / "jdk-11", "11.0.22", javac=True)
        jdk17 = make_runtime_home(self.dir / "jdk-17", "17.0.10", javac=True)
        self.key("HKLM", "JavaSoft\\JDK", "CurrentVersion", "11")
        self.key("HKLM", "JavaSoft\\JDK\\11", "JavaHome", winpath(jdk11))
        self.key("HKLM", "JavaSoft\\JDK\\17", "JavaHome", winpath(jdk17))
        r = self.run_launcher(self.make_exe(base_block(r128="Y")))
        self.assertTrue(self.loaded(jdk17))
        self.assertFalse(self.loaded(jdk11))
        self.assertEqual(self.probed(r), [(winpath(jdk17) + "\\bin\\java.exe").lower()])
        # Within the bounds, still the greatest.
        r = self.run_launcher(self.make_exe(base_block(r128="Y", r127="11"), name="upper.exe"))
        self.assertTrue(self.loaded(jdk11))

    def test_more_vendors_and_shapes_that_are_not_known(self):
        semeru = make_runtime_home(self.dir / "semeru", "17.0.9", javac=True)
        liberica = make_runtime_home(self.dir / "liberica", "21.0.2")
        self.key("HKLM", "Semeru\\JDK\\17.0.9.9\\openj9\\MSI", "Path", winpath(semeru) + "\\")
        self.key("HKCU", "BellSoft\\Liberica\\Liberica JDK 21", "InstallationPath", winpath(liberica) + "\\")
        self.key("HKLM", "BellSoft\\Liberica\\Liberica JDK 11\\Other", "Path", "x")
        r = self.run_launcher(self.make_exe(base_block(r128="Y", r126="17")))
        self.assertLogMatches(r, r"found registered .*\\semeru\\bin\\javaw\.exe 17\.0\.9 under "
                                 r"SOFTWARE\\Semeru\\JDK\\17\.0\.9\.9")
        self.assertLogHas(r, "skipping registry key SOFTWARE\\BellSoft\\Liberica\\Liberica JDK 11: "
                             "no InstallationPath text value")
        self.assertTrue(self.loaded(liberica))


class HomesFromTheEnvironment(TodayCase):
    def test_a_quoted_java_home(self):
        jdk = make_runtime_home(self.dir / "Program Files" / "Java" / "jdk-17", "17.0.10", javac=True)
        quoted = '"' + winpath(jdk) + '"'
        r = self.run_launcher(self.make_exe(base_block(r128="EJAVA_HOME", r126="17")), env={"JAVA_HOME": quoted})
        self.assertLogHas(r, "JAVA_HOME is written in quotes; using " + winpath(jdk))
        self.assertTrue(self.loaded(jdk))

    def test_a_javapath_link_leads_to_its_runtime(self):
        jre = make_runtime_home(self.dir / "jre1.8.0_402", "1.8.0_402")
        javapath = self.dir / "javapath"
        javapath.mkdir()
        os.symlink(jre / "bin" / "java.exe", javapath / "java.exe")
        os.symlink(jre / "bin" / "javaw.exe", javapath / "javaw.exe")
        dangling = self.dir / "dangling"
        dangling.mkdir()
        (dangling / "java.exe").write_bytes((RUNTIME_FIXTURES / "java.exe").read_bytes())
        path = winpath(dangling) + ";" + winpath(javapath) + ";C:\\windows\\system32;C:\\windows"
        r = self.run_launcher(self.make_exe(base_block(r128="S", r126="1.8")), env={"PATH": path})
        self.assertLogHas(r, winpath(dangling) + "\\java.exe has no VM library beside it: passed over")
        self.assertLogMatches(r, r".*\\javapath\\java\.exe is a link to .*\\jre1\.8\.0_402\\bin\\java\.exe")
        self.assertTrue(self.loaded(jre))


class RefusalMessage(TodayCase):
    TEXT = "This application needs Java {1}.\nFound: {2}.\nDefine KORVO_JAVA_HOME ({0}-bit)."

    def shown(self, result):
        return [text.split("\n\nLog: ")[0] for _, text in result.dialogs]

    def test_what_is_needed_and_what_was_found(self):
        bits = "64" if launcher_is_64() else "32"
        # An absolute A entry: the fallback pass would take the runtime
        # without java.exe and release file unverified.
        exe = self.make_exe(base_block(r128="Y;A" + winpath(self.dir / "jre"), r126="17", r1016=self.TEXT))
        r = self.run_launcher(exe, log=False)
        self.assertEqual(r.code, 83)
        self.assertEqual(self.shown(r), [f"This application needs Java 17 or later.\nFound: none.\n"
                                         f"Define KORVO_JAVA_HOME ({bits}-bit)."])

        jdk11 = make_runtime_home(self.dir / "jdk-11", "11.0.22", javac=True)
        self.key("HKLM", "JavaSoft\\JDK\\11.0.22", "JavaHome", winpath(jdk11))
        make_trimmed_home(self.dir / "jre", None)
        r = self.run_launcher(exe)
        self.assertEqual(r.code, 83)
        found = (f"11.0.22 (too old) in {winpath(jdk11).lower()}; unknown version (version unknown: no release "
                 f"file and no java.exe) in {winpath(self.dir / 'jre').lower()}")
        self.assertEqual(self.shown(r), [f"This application needs Java 17 or later.\nFound: {found}.\n"
                                         f"Define KORVO_JAVA_HOME ({bits}-bit)."])
        self.assertLogHas(r, "No runtime fits 17 or later; runtimes found: 2")
        self.assertLogHas(r, "  11.0.22 (too old) in " + winpath(jdk11).lower())

    def test_a_range_and_records_without_the_placeholders(self):
        make_runtime_home(self.dir / "jre", "1.5.0_22")
        exe = self.make_exe(base_block(r128="A" + winpath(self.dir / "jre"), r126="1.6", r127="1.8",
                                       r1016="Needs {1}; has {2}."))
        r = self.run_launcher(exe, log=False)
        self.assertEqual(self.shown(r), [f"Needs 1.6 to 1.8; has 1.5.0_22 (too old) in "
                                         f"{winpath(self.dir / 'jre').lower()}."])
        exe = self.make_exe(base_block(r128="A" + winpath(self.dir / "jre"), r126="1.6", r1016="No JVM ({0}) {3}"),
                            name="plain.exe")
        r = self.run_launcher(exe, log=False)
        self.assertEqual(self.shown(r), ["No JVM (64) {3}" if launcher_is_64() else "No JVM (32) {3}"])


if __name__ == "__main__":
    unittest.main()


class DoubleByteHomes(TodayCase):
    def test_a_home_whose_last_letter_ends_in_the_backslash_byte_keeps_it(self):
        # In code page 932 the second byte of ソ is 0x5C, the backslash that
        # the trailing separator of a vendor's registered home is trimmed of.
        jdk = make_runtime_home(self.dir / "jdk-ソ", "17.0.10", javac=True)
        self.key("HKLM", "Eclipse Adoptium\\JDK\\17.0.10.7\\hotspot\\MSI", "Path", winpath(jdk) + "\\")
        r = self.run_launcher(self.make_exe(base_block(r128="Y")), unix_env={"LC_ALL": "ja_JP.UTF-8"})
        self.assertTrue(self.loaded(jdk), "\n".join(r.log))
