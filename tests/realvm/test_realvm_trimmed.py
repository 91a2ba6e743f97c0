"""A runtime as jlink makes it for bundling (--strip-native-commands): the
real VM as bin\\server\\jvm.dll, a release file, and no java.exe at all. The
launcher must judge it by its release file and run the application on it."""
import unittest

from harness import winpath
from packing import pack
from realvm import JVM_DLL, RealVmCase, make_jar


class TrimmedRuntime(RealVmCase):
    def trim(self, home, version):
        for name in ("java.exe", "javaw.exe", "stand-in.cfg"):
            (home / "bin" / name).unlink()
        (home / "lib" / "modules").write_bytes(b"\xca\xfe\xda\xda" + bytes(28))
        if version is not None:
            (home / "release").write_text(f'IMPLEMENTOR="Test"\nJAVA_VERSION="{version}"\n')

    def test_java_main_runs_on_a_runtime_without_java_exe(self):
        exe = self.real_app("kvotest.Probe", r124="one", r126="11", r127="17")
        jre = self.dir / "jre"
        self.trim(jre, "17.0.10")
        r = self.start(exe, "two")
        self.assertEqual((r.code, r.dialogs), (0, []), r)
        self.assertLogHas(r, "got version from release file " + winpath(jre).lower() + "\\release: 17.0.10")
        self.assertFalse(any(l.startswith("Testing relative location") for l in r.log), "taken unverified")
        self.assertEqual([v.split("\t", 1)[1] for v in self.values("arg")], ["one", "two"])
        self.assertEqual(self.values("launcher"), ["main returned"])

    def test_out_of_range_it_is_refused_with_what_was_found(self):
        exe = self.real_app("kvotest.Probe", r126="21", r128="A" + winpath(self.dir / "jre"),
                            r1016="Needs Java {1}; found {2}.")
        jre = self.dir / "jre"
        self.trim(jre, "17.0.10")
        r = self.start(exe, log=False)
        self.assertEqual(r.code, 83)
        self.assertEqual(self.dialog_texts(r), [f"Needs Java 21 or later; found 17.0.10 (too old) in "
                                                f"{winpath(jre).lower()}."])
        self.assertEqual(self.values("launcher"), [])


class OneFile(RealVmCase):
    """A single .exe carrying the runtime and the application's jar, kept per
    user (IncludedFilesCache = 1) and found by the search entry
    B%KORVO_TEMPDIR%\\jre."""

    def build(self, greeting):
        inside = self.dir / "in"
        make_jar(inside / "app.jar", "app", ["kvotest/Probe"], files={"kvotest/greeting.txt": greeting})
        make_jar(inside / "report.jar", "launcher", ["com/korvo/runtime/Report"])
        (inside / "release").write_text('JAVA_VERSION="1.8.0_402"\n')
        config = ("ApplicationName = One File\nMainClass = kvotest.Probe\nExecutableType = 1\n"
                  "IncludedFilesCache = 1\nJreSearchSequence = B%KORVO_TEMPDIR%\\jre\n"
                  f'VmOptions = "-Dkvotest.report={winpath(self.report_path)}" '
                  "-Dkvotest.properties=korvo.tempDir -Dkvotest.resources=/kvotest/greeting.txt\n"
                  "[files]\napp.jar = in/app.jar\nreport.jar = in/report.jar\n"
                  f"jre\\bin\\server\\jvm.dll = {JVM_DLL}\njre\\release = in/release\n")
        return pack(self.dir, config, name="OneFile.exe")

    def test_first_start_later_starts_and_a_rebuilt_exe(self):
        env = {"LOCALAPPDATA": winpath(self.dir / "local")}
        (self.dir / "local").mkdir()
        exe = self.build("version one")
        self.assertEqual(sorted(p.name for p in self.dir.iterdir() if p.name != "in"),
                         ["OneFile.exe", "app.kvo", "local", "tmp"], "no runtime or jar beside the exe")
        folders = []
        for start in ("first", "later", "later again", "rebuilt"):
            if start == "rebuilt":
                exe = self.build("version two")
            self.report_path.unlink(missing_ok=True)
            r = self.start(exe, env=env)
            self.assertEqual((r.code, r.dialogs), (0, []), (start, r))
            kept = self.values("property")[0].split("\t", 1)[1]
            self.assertTrue(kept.startswith(winpath(self.dir / "local" / "korvo" / "One File") + "\\"), kept)
            self.assertLogHas(r, f"Trying {kept.lower()}\\jre\\bin\\server\\jvm.dll (exists 1)")
            self.assertEqual(self.values("resource"), ["/kvotest/greeting.txt\t" + (
                "version two" if start == "rebuilt" else "version one")])
            wrote = any(l.startswith("published ") for l in r.log)
            self.assertEqual(wrote, start in ("first", "rebuilt"), (start, r.log))
            folders.append(kept)
        self.assertEqual(len(set(folders[:3])), 1)
        self.assertNotEqual(folders[3], folders[0])
        self.assertLogHas(r, f"removing {folders[0]}")
        self.assertEqual([p.name for p in (self.dir / "local" / "korvo" / "One File").iterdir()],
                         [folders[3].rsplit("\\", 1)[1]])


if __name__ == "__main__":
    unittest.main()
