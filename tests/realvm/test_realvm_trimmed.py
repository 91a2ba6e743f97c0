"""A runtime as jlink makes it for bundling (--strip-native-commands): the
real VM as bin\\server\\jvm.dll, a release file, and no java.exe at all. The
launcher must judge it by its release file and run the application on it."""
import unittest

from harness import winpath
from realvm import RealVmCase


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


if __name__ == "__main__":
    unittest.main()
