"""What depends on the launcher's width (32-bit or 64-bit stub, whichever
tree runs this module): runtimes of the other width are passed over unrun,
the registry is read in the launcher's own view, the failure messages name
the width, and the version cache is the same for both."""
import unittest

from harness import (RuntimeCase, base_block, cache_key, java_runs, jvm_record, launcher_is_64,
                     make_runtime_home, reg, reg_delete, winpath, with_machine)

I386, AMD64 = 0x14C, 0x8664
MESSAGES = {"r1016": "no jvm {0}", "r1017": "env32 {0}", "r1018": "env64 {0}", "r1019": "damaged32 {0}",
            "r1020": "damaged64 {0}", "r1005": "not started"}
JRE_KEY = "HKLM\\SOFTWARE\\JavaSoft\\Java Runtime Environment"


def shown(result):
    return [text.split("\n\nLog: ")[0] for _, text in result.dialogs]


class Width(RuntimeCase):
    def setUp(self):
        super().setUp()
        self.wide = launcher_is_64()
        self.own, self.other = (AMD64, I386) if self.wide else (I386, AMD64)
        self.bits = "64" if self.wide else "32"

    def other_width_line(self, path):
        if self.wide:
            return path + " is a 32-bit (i386) runtime; a 64-bit launcher needs an x86-64 one"
        return path + " is built for machine 0x8664, not for i386"

    def test_runtimes_of_both_widths_side_by_side(self):
        other = make_runtime_home(self.dir / "other", "21.0.2", machine=self.other)
        own = make_runtime_home(self.dir / "own", "17.0.10")
        r = self.run_launcher(self.make_exe(base_block(r128=f"A{winpath(other)};A{winpath(own)}")))
        self.assertLogHas(r, "Loading of JVM-DLL successful")
        self.assertLogHas(r, self.other_width_line(winpath(other).lower() + "\\bin\\java.exe"))
        self.assertEqual(java_runs(other / "bin"), [], "a runtime of the other width is never run")
        self.assertEqual(len(java_runs(own / "bin")), 1)
        self.assertIn("create", jvm_record(own / "bin" / "server"))

    def test_library_of_the_other_width_is_not_loaded(self):
        home = make_runtime_home(self.dir / "rt")
        dll = home / "bin" / "server" / "jvm.dll"
        dll.write_bytes(with_machine(dll.read_bytes(), self.other))
        r = self.run_launcher(self.make_exe(base_block(r128="A" + winpath(home), **MESSAGES)))
        self.assertEqual(r.code, 83)
        self.assertLogHas(r, self.other_width_line(winpath(home).lower() + "\\bin\\server\\jvm.dll"))
        self.assertLogHas(r, "ERROR: Could not get DLL-Handle.")
        # Neither "damaged" nor the heap size and antivirus text: the width.
        self.assertEqual(shown(r), [f"no jvm {self.bits}\n\n{self.found_note(winpath(home).lower())}"])

    def found_note(self, home):
        other = "32" if self.wide else "64"
        return (f"A {other}-bit Java was found in {home}; this is the {self.bits}-bit launcher, "
                f"which needs a {self.bits}-bit Java.")

    def test_a_bundled_runtime_of_the_other_width_is_named_as_such(self):
        home = make_runtime_home(self.dir / "jre", "17.0.2", machine=self.other)
        exe = self.make_exe(base_block(r128="B.\\jre", r126="11", **MESSAGES))
        r = self.run_launcher(exe)
        self.assertEqual(r.code, 83)
        self.assertEqual(java_runs(home / "bin"), [], "a runtime of the other width is never run")
        self.assertLogHas(r, "passed over: " + winpath(home).lower() + "\\bin\\java.exe is built for another machine")
        self.assertEqual(shown(r), [f"no jvm {self.bits}\n\n{self.found_note(winpath(home).lower())}"])
        # A message with {2} says it in its own words, and nothing is added.
        exe = self.make_exe(base_block(r128="B.\\jre", r126="11", r1016="Needs {0}-bit Java {1}; found: {2}"),
                            name="words.exe")
        r = self.run_launcher(exe, log=False)
        other = "32" if self.wide else "64"
        self.assertEqual(shown(r), [f"Needs {self.bits}-bit Java 11 or later; found: unknown version "
                                    f"({other}-bit; this is the {self.bits}-bit launcher) in {winpath(home).lower()}"])

    def test_messages_name_the_width(self):
        home = make_runtime_home(self.dir / "rt", vm_types=())
        cases = [("EKVO_TEST_RT", [f"env{self.bits} KVO_TEST_RT", "not started"]),
                 # A PATH directory whose home has no VM library is passed
                 # over, so the search finds nothing at all.
                 ("S", [f"no jvm {self.bits}"]),
                 ("", [f"no jvm {self.bits}"])]
        env = {"PATH": f"C:\\windows\\system32;C:\\windows;{winpath(home / 'bin')}", "KVO_TEST_RT": winpath(home)}
        for n, (entry, messages) in enumerate(cases):
            with self.subTest(entry=entry):
                r = self.run_launcher(self.make_exe(base_block(r128=entry, **MESSAGES), name=f"m{n}.exe"),
                                      env=env, log=False)
                self.assertEqual(r.code, 83)
                self.assertEqual(shown(r), messages)

    def test_registry_is_read_in_the_launchers_own_view(self):
        own = make_runtime_home(self.dir / "own")
        other = make_runtime_home(self.dir / "other")
        views = {own: "/reg:64" if self.wide else "/reg:32", other: "/reg:32" if self.wide else "/reg:64"}
        try:
            for home, view in views.items():
                reg("add", JRE_KEY, "/v", "CurrentVersion", "/d", "1.8", "/f", view)
                reg("add", JRE_KEY + "\\1.8", "/v", "JavaHome", "/d", winpath(home), "/f", view)
            r = self.run_launcher(self.make_exe(base_block(r128="Y")))
            self.assertLogHas(r, "Loading of JVM-DLL successful")
            self.assertIn("create", jvm_record(own / "bin" / "server"))
            self.assertEqual(java_runs(other / "bin"), [])
        finally:
            for view in ("/reg:32", "/reg:64"):
                reg("delete", "HKLM\\SOFTWARE\\JavaSoft", "/f", view, check=False)

    def test_version_cache_is_one_for_both_widths(self):
        home = make_runtime_home(self.dir / "rt", "11.0.22")
        self.run_launcher(self.make_exe(base_block(r128="A" + winpath(home))))
        key = cache_key(home / "bin" / "java.exe")
        # The per-user key is not redirected: both views hold the same entry,
        # so the other launcher finds it too.
        for view in ("/reg:32", "/reg:64"):
            out = reg("query", key, "/v", "Version", view, check=False)
            self.assertEqual(out.returncode, 0, view)
            self.assertIn("11.0.22", out.stdout.decode("utf-8", "replace"))
        reg_delete(key)


if __name__ == "__main__":
    unittest.main()
