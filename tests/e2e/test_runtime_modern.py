"""Today's runtimes: version bounds in the numeric form, the registry keys of
Java 9 and later and of the OpenJDK builds' installers, and JDK homes without
lib\\tools.jar. Registry keys are written in the view of the launcher under
test; they are machine-wide in the prefix, so every test starts and ends with
none of them (the tests of this module run one after another)."""
import unittest

from harness import RuntimeCase, base_block, jvm_record, launcher_is_64, make_runtime_home, reg, winpath

VERSIONS = ["1.8.0_402", "9.0.4", "11.0.22", "17.0.10", "21.0.2", "21.0.10"]
OWNED_KEYS = ["HKLM\\SOFTWARE\\JavaSoft", "HKLM\\SOFTWARE\\Eclipse Adoptium", "HKLM\\SOFTWARE\\Eclipse Foundation",
              "HKLM\\SOFTWARE\\AdoptOpenJDK", "HKLM\\SOFTWARE\\Microsoft\\JDK", "HKLM\\SOFTWARE\\Azul Systems"]


def probes(result):
    """(java executable in lower case, accepted) for every probe, in order."""
    out, current = [], None
    for line in result.log:
        if line.startswith("checkJavaExe ("):
            current = line[len("checkJavaExe ("):].split(", [out]")[0].lower()
        elif line.startswith("checkJavaExe returning ") and current is not None:
            out.append((current, line.endswith("1")))
            current = None
    return out


class ModernCase(RuntimeCase):
    def setUp(self):
        super().setUp()
        self.view = "/reg:64" if launcher_is_64() else "/reg:32"
        for key in OWNED_KEYS:
            reg("delete", key, "/f", self.view, check=False)

    def tearDown(self):
        for key in OWNED_KEYS:
            reg("delete", key, "/f", self.view, check=False)
        super().tearDown()

    def hklm(self, key, name, data, kind="REG_SZ"):
        reg("add", "HKLM\\SOFTWARE\\" + key, "/v", name, "/t", kind, "/d", data, "/f", self.view)

    def java(self, home):
        return (winpath(home) + "\\bin\\java.exe").lower()


class ModernBounds(ModernCase):
    def test_bounds_against_the_versions_of_today(self):
        homes = {v: make_runtime_home(self.dir / v.replace(".", "_"), v) for v in VERSIONS}
        ascending = ";".join("A" + winpath(homes[v]) for v in VERSIONS)
        descending = ";".join("A" + winpath(homes[v]) for v in reversed(VERSIONS))
        # The first version each bound accepts from below (lower) and from
        # above (upper); None: it accepts none of them.
        cases = {"8": ("1.8.0_402", "1.8.0_402"), "11": ("11.0.22", "11.0.22"), "17": ("17.0.10", "17.0.10"),
                 "21.0.10": ("21.0.10", "21.0.10"), "1.6": ("1.8.0_402", None), "1.8": ("1.8.0_402", "1.8.0_402")}
        for n, (bound, (lowest, highest)) in enumerate(cases.items()):
            for role, sequence, expected, order in (("lower", ascending, lowest, VERSIONS),
                                                    ("upper", descending, highest, VERSIONS[::-1])):
                with self.subTest(bound=bound, role=role):
                    records = {"r126" if role == "lower" else "r127": bound}
                    # One log per run: the harness reads the last by name.
                    for old_log in self.tmp.glob("vdl_nlog_*"):
                        old_log.unlink()
                    r = self.run_launcher(self.make_exe(base_block(r128=sequence, **records), name=f"b{n}{role}.exe"))
                    seen = probes(r)
                    if expected is None:
                        self.assertEqual(r.code, 83)
                        self.assertEqual(seen, [(self.java(homes[v]), False) for v in order])
                    else:
                        stop = order.index(expected)
                        self.assertEqual(seen, [(self.java(homes[v]), v == expected) for v in order[:stop + 1]])
                        self.assertLogHas(r, "Loading of JVM-DLL successful")

    def test_registry_walk_orders_versions_by_number(self):
        homes = {v: make_runtime_home(self.dir / v.replace(".", "_"), v, exit_code=1)
                 for v in ("21.0.9", "21.0.10", "1.8.0_92", "1.8.0_402")}
        for v, home in homes.items():
            self.hklm("JavaSoft\\JDK\\" + v, "JavaHome", winpath(home))
        r = self.run_launcher(self.make_exe(base_block(r128="Y", r126="8")))
        self.assertEqual(r.code, 83)
        self.assertEqual([p for p, _ in probes(r)],
                         [self.java(homes[v]) for v in ("21.0.10", "21.0.9", "1.8.0_402", "1.8.0_92")])


class InstallerKeys(ModernCase):
    def lay_out(self):
        """Several installers side by side, as they write their keys."""
        h = {}
        h["old"] = make_runtime_home(self.dir / "jre8", "1.8.0_402")
        self.hklm("JavaSoft\\Java Runtime Environment", "CurrentVersion", "1.8")
        self.hklm("JavaSoft\\Java Runtime Environment\\1.8", "JavaHome", winpath(h["old"]))
        h["oracle17"] = make_runtime_home(self.dir / "jdk-17", "17.0.10", javac=True)
        h["oracle21"] = make_runtime_home(self.dir / "jdk-21", "21.0.2", javac=True)
        self.hklm("JavaSoft\\JDK", "CurrentVersion", "21")
        for key, home in (("17", "oracle17"), ("17.0.10", "oracle17"), ("21", "oracle21"), ("21.0.2", "oracle21")):
            self.hklm("JavaSoft\\JDK\\" + key, "JavaHome", winpath(h[home]))
        h["temurin"] = make_runtime_home(self.dir / "jdk-21.0.10.7-hotspot", "21.0.10", javac=True)
        self.hklm("Eclipse Adoptium\\JDK\\21.0.10.7\\hotspot\\MSI", "Path", winpath(h["temurin"]) + "\\")
        h["microsoft"] = make_runtime_home(self.dir / "jdk-11.0.22.7-hotspot", "11.0.22", javac=True)
        self.hklm("Microsoft\\JDK\\11.0.22.7\\hotspot\\MSI", "Path", winpath(h["microsoft"]) + "\\")
        h["zulu"] = make_runtime_home(self.dir / "zulu17", "17.0.9")
        self.hklm("Azul Systems\\Zulu\\zulu-17", "InstallationPath", winpath(h["zulu"]) + "\\")
        # Shapes no installer of these writes: skipped with a line each.
        self.hklm("Eclipse Adoptium\\JDK\\17.0.1.12\\openj9\\MSI", "Path", winpath(self.dir / "j9"))
        self.hklm("Azul Systems\\Zulu\\zulu-8", "InstallationPath", "1", kind="REG_DWORD")
        self.hklm("JavaSoft\\JDK\\17.0.11", "Other", "x")
        return h

    def test_the_greatest_version_of_every_installer_wins(self):
        h = self.lay_out()
        r = self.run_launcher(self.make_exe(base_block(r128="Y", r126="8")))
        self.assertLogHas(r, "Loading of JVM-DLL successful")
        self.assertLogMatches(r, r"found sun .*\\jre8\\bin\\javaw\.exe 1\.8\.0_402")
        # CurrentVersion (21) is not read for these keys: the greatest
        # version subkey is.
        self.assertLogMatches(r, r"found registered .*\\jdk-21\\bin\\javaw\.exe 21\.0\.2 under "
                                 r"SOFTWARE\\JavaSoft\\JDK\\21\.0\.2")
        self.assertLogMatches(r, r"found registered .*\\jdk-21\.0\.10\.7-hotspot\\bin\\javaw\.exe 21\.0\.10 under "
                                 r"SOFTWARE\\Eclipse Adoptium\\JDK\\21\.0\.10\.7")
        self.assertLogHas(r, "skipping registry key SOFTWARE\\Eclipse Adoptium\\JDK\\17.0.1.12\\hotspot\\MSI: "
                             "no Path text value")
        self.assertLogHas(r, "skipping registry key SOFTWARE\\Azul Systems\\Zulu\\zulu-8: "
                             "no InstallationPath text value")
        probed = [p for p, _ in probes(r)]
        for home in ("microsoft", "zulu"):
            self.assertIn(self.java(h[home]), probed)
        self.assertIn("create", jvm_record(h["temurin"] / "bin" / "server"))

    def test_an_upper_bound_picks_among_them(self):
        h = self.lay_out()
        r = self.run_launcher(self.make_exe(base_block(r128="Y", r127="17")))
        self.assertLogHas(r, "Loading of JVM-DLL successful")
        # JavaSoft\JDK: CurrentVersion 21 is out of range, the walk passes over
        # 17.0.11, which has no home, and finds 17.0.10;
        # Zulu's 17.0.9 is below it; the Java 8 runtime is below both.
        self.assertLogMatches(r, r"found registered .*\\jdk-17\\bin\\javaw\.exe 17\.0\.10 under "
                                 r"SOFTWARE\\JavaSoft\\JDK\\17\.0\.10")
        self.assertLogHas(r, "skipping registry key SOFTWARE\\JavaSoft\\JDK\\17.0.11: no JavaHome value")
        self.assertNotIn(self.java(h["temurin"]), [p for p, _ in probes(r)], "out of range by its key name")
        self.assertIn("create", jvm_record(h["oracle17"] / "bin" / "server"))


class JdkHomes(ModernCase):
    def test_require_jdk_takes_homes_since_9_and_says_why_it_rejects(self):
        runtime_only = make_runtime_home(self.dir / "jre17", "17.0.10")
        jdk21 = make_runtime_home(self.dir / "jdk21", "21.0.2", javac=True)
        r = self.run_launcher(self.make_exe(base_block(r128=f"A{winpath(runtime_only)};A{winpath(jdk21)}",
                                                       r131="1")))
        self.assertLogHas(r, "Loading of JVM-DLL successful")
        self.assertLogHas(r, winpath(runtime_only).lower() + " is not a JDK: it has neither lib\\tools.jar "
                             "nor bin\\javac.exe")
        self.assertEqual(probes(r), [(self.java(jdk21), True)])
        self.assertIn("create", jvm_record(jdk21 / "bin" / "server"))

    def test_old_jdk_keeps_its_jre_and_the_registry_offers_the_new_one(self):
        jdk8 = make_runtime_home(self.dir / "jdk8", "1.8.0_402", jdk=True)
        jdk17 = make_runtime_home(self.dir / "jdk17", "17.0.10", javac=True)
        self.hklm("JavaSoft\\Java Development Kit\\1.8", "JavaHome", winpath(jdk8))
        self.hklm("JavaSoft\\JDK\\17.0.10", "JavaHome", winpath(jdk17))
        r = self.run_launcher(self.make_exe(base_block(r128="Y", r131="1")))
        self.assertLogHas(r, "Loading of JVM-DLL successful")
        old_jre = (winpath(jdk8) + "\\jre\\bin\\java.exe").lower()
        self.assertEqual([p for p, _ in probes(r)], [old_jre, self.java(jdk17)])
        self.assertIn("create", jvm_record(jdk17 / "bin" / "server"))


if __name__ == "__main__":
    unittest.main()
