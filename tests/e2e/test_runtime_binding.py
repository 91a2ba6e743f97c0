"""Loading the found runtime's jvm.dll: the bin directory on PATH, the VM type
directories in order, the ..\\jre\\bin fallback of a JDK, and the messages
and exit code when no library can be bound."""
import shutil
import unittest

from harness import (RUNTIME_FIXTURES, RuntimeCase, base_block, jvm_record, launcher_is_64, make_runtime_home,
                     winpath)

IMPOSTOR = RUNTIME_FIXTURES / "impostor" / "stand-in-crt.dll"

BASE_PATH = "C:\\windows\\system32;C:\\windows"
# The 64-bit launcher shows 1018 and 1020 where the 32-bit one shows 1017
# and 1019, and names its own width in 1016.
MESSAGES = {"r1016": "no jvm {0}", "r1017": "env {0}", "r1018": "env {0}", "r1019": "damaged {0}",
            "r1020": "damaged {0}", "r1005": "not started"}
BITS = "64" if launcher_is_64() else "32"


def tries(result):
    return [l for l in result.log if l.startswith("Trying ") and not l.startswith("Trying to load")]


def shown(result):
    """Dialog texts without the log path behind them."""
    return [text.split("\n\nLog: ")[0] for _, text in result.dialogs]


class LibraryLoading(RuntimeCase):
    def run_home(self, home, **records):
        block = base_block(r128="A" + winpath(home), **records)
        return self.run_launcher(self.make_exe(block), env={"PATH": BASE_PATH})

    def test_bin_directory_goes_on_path_and_types_are_tried_in_order(self):
        home = make_runtime_home(self.dir / "x" / "jre", vm_types=("client", "server"))
        bin_dir = winpath(home).lower() + "\\bin"
        r = self.run_home(home)
        self.assertLogHas(r, "Trying to load JVM-DLL from " + bin_dir + "\\javaw.exe")
        self.assertLogHas(r, f"Setting PATH {BASE_PATH};{bin_dir}")
        self.assertEqual(tries(r), [f"Trying {bin_dir}\\hotspot\\jvm.dll (exists 0)",
                                    f"Trying {bin_dir}\\client\\jvm.dll (exists 1)"])
        record = jvm_record(home / "bin" / "client")
        self.assertEqual(record["path"], f"{BASE_PATH};{bin_dir}")
        self.assertEqual(record["dependency"], "ok")
        self.assertFalse(jvm_record(home / "bin" / "server"))
        self.assertLogHas(r, "Loading of JVM-DLL successful")

    def test_path_keeps_letters_the_code_page_lacks(self):
        # PATH is extended for the VM without passing through the narrow
        # code page, which would turn this entry into its look-alike.
        home = make_runtime_home(self.dir / "rt")
        folder = self.dir / "\u0141\u00f3d\u017a"
        folder.mkdir()
        path = f"{BASE_PATH};{winpath(folder)}"
        self.run_launcher(self.make_exe(base_block(r128="A" + winpath(home))), env={"PATH": path})
        self.assertEqual(jvm_record(home / "bin" / "server")["path"], f"{path};{winpath(home).lower()}\\bin")

    def test_preferred_type_comes_first(self):
        home = make_runtime_home(self.dir / "rt", vm_types=("client", "server"))
        bin_dir = winpath(home).lower() + "\\bin"
        r = self.run_home(home, r152="server")
        self.assertEqual(tries(r), [f"Trying {bin_dir}\\server\\jvm.dll (exists 1)"])
        self.assertTrue(jvm_record(home / "bin" / "server"))

        r = self.run_home(home, r152="custom")
        self.assertEqual(tries(r)[:3], [f"Trying {bin_dir}\\custom\\jvm.dll (exists 0)",
                                        f"Trying {bin_dir}\\hotspot\\jvm.dll (exists 0)",
                                        f"Trying {bin_dir}\\client\\jvm.dll (exists 1)"])

    def test_last_type_loading_keeps_path_extended(self):
        home = make_runtime_home(self.dir / "rt", vm_types=("jrockit",))
        r = self.run_home(home)
        self.assertEqual(len(tries(r)), 5)
        self.assertEqual(jvm_record(home / "bin" / "jrockit")["path"], f"{BASE_PATH};{winpath(home).lower()}\\bin")
        self.assertNotIn("Setting PATH " + BASE_PATH, r.log)

    def test_jdk_without_vm_in_its_bin_uses_jre_bin(self):
        jdk = make_runtime_home(self.dir / "jdk", jdk=True, vm_types=("client",))
        jdk_bin = winpath(jdk).lower() + "\\bin"
        path = f"{BASE_PATH};{winpath(jdk / 'bin')}"
        # Found on PATH, the executable is the JDK's own bin\java.exe.
        r = self.run_launcher(self.make_exe(base_block(r128="S")), env={"PATH": path})
        self.assertLogHas(r, "Trying to load JVM-DLL from " + jdk_bin + "\\javaw.exe")
        attempts = tries(r)
        self.assertEqual(attempts[:5], [f"Trying {jdk_bin}\\{t}\\jvm.dll (exists 0)"
                                        for t in ("hotspot", "client", "server", "classic", "jrockit")])
        self.assertEqual(attempts[5:], [f"Trying {jdk_bin}\\..\\jre\\bin\\hotspot\\jvm.dll (exists 0)",
                                        f"Trying {jdk_bin}\\..\\jre\\bin\\client\\jvm.dll (exists 1)"])
        log = r.log
        restore = log.index(f"Setting PATH {path}")
        self.assertLess(log.index(attempts[4]), restore)
        self.assertLess(restore, log.index(attempts[5]))
        self.assertEqual(jvm_record(jdk / "jre" / "bin" / "client")["path"], f"{path};{jdk_bin}\\..\\jre\\bin")

    def test_library_loads_only_with_its_bin_directory_on_path(self):
        # Without the runtime's C library in bin the VM cannot load, exactly as
        # a real one whose bin is not on the search path.
        home = make_runtime_home(self.dir / "rt", dependency=False)
        bin_dir = winpath(home).lower() + "\\bin"
        r = self.run_home(home, **MESSAGES)
        self.assertEqual(r.code, 83)
        self.assertLogHas(r, f"Trying {bin_dir}\\server\\jvm.dll (exists 1)")
        self.assertLogMatches(r, r"Failed with error code \d+")
        self.assertLogHas(r, "ERROR: Could not get DLL-Handle.")
        self.assertLogHas(r, "ERROR: Could not load functions")
        self.assertEqual(r.log.count(f"Setting PATH {BASE_PATH}"), 2, "PATH restored after each bin directory")


class FailureMessages(RuntimeCase):
    def test_messages_follow_how_the_runtime_was_found(self):
        home = make_runtime_home(self.dir / "rt", vm_types=())
        # The search on PATH passes over a java.exe without a VM library: its
        # failing runtime has one that does not load (its dependency is gone).
        on_path = make_runtime_home(self.dir / "on-path", dependency=False)
        cases = [
            ("A" + winpath(home), ["damaged " + winpath(home), "not started"]),
            ("EKVO_TEST_RT", ["env KVO_TEST_RT", "not started"]),
            ("S", [f"no jvm {BITS}", "not started"]),
            ("", [f"no jvm {BITS}"]),
        ]
        env = {"PATH": f"{BASE_PATH};{winpath(on_path / 'bin')}", "KVO_TEST_RT": winpath(home)}
        for n, (entry, messages) in enumerate(cases):
            with self.subTest(entry=entry):
                r = self.run_launcher(self.make_exe(base_block(r128=entry, **MESSAGES), name=f"a{n}.exe"), env=env)
                self.assertEqual(r.code, 83)
                self.assertEqual(shown(r), messages)
                self.assertEqual([t for t, _ in r.dialogs], ["Error"] * len(messages))
                if entry:
                    self.assertLogHas(r, "ERROR: Could not get DLL-Handle.")
                else:
                    self.assertLogHas(r, "ERROR: No JVM found")
                    self.assertNotIn("ERROR: Could not get DLL-Handle.", r.log)

    def test_library_without_the_entry_point(self):
        home = make_runtime_home(self.dir / "rt", library="jvm-no-entry.dll")
        r = self.run_launcher(self.make_exe(base_block(r128="A" + winpath(home), **MESSAGES)), log=False)
        self.assertEqual(r.code, 83)
        self.assertEqual(shown(r), ["damaged " + winpath(home), "not started"])
        # It did load: the library's own note is there.
        self.assertEqual(jvm_record(home / "bin" / "server")["dependency"], "ok")
        self.assertNotIn("create", jvm_record(home / "bin" / "server"))

    def test_console_type_reports_on_standard_error(self):
        r = self.run_launcher(self.make_exe(base_block(r107="0", **MESSAGES)), log=False)
        self.assertEqual(r.code, 83)
        self.assertEqual(r.dialogs, [])
        self.assertEqual(r.stderr.replace("\r\n", "\n"), f"no jvm {BITS}\n")


class PlantedLibraries(RuntimeCase):
    """A library of the name of the runtime's own dependency, planted where a
    user's documents are (the working directory) or in a directory that comes
    earlier on PATH, is never what the VM library gets."""

    def plant(self, where):
        where.mkdir(parents=True, exist_ok=True)
        shutil.copy(IMPOSTOR, where / "stand-in-crt.dll")
        return where

    def test_runtime_dependency_comes_from_the_runtime(self):
        home = make_runtime_home(self.dir / "rt")
        documents = self.plant(self.dir / "documents")
        earlier = self.plant(self.dir / "earlier")
        path = f"{BASE_PATH};{winpath(earlier)}"
        r = self.run_launcher(self.make_exe(base_block(r128="A" + winpath(home))), env={"PATH": path},
                              cwd=documents)
        record = jvm_record(home / "bin" / "server")
        self.assertTrue(record, "the VM library was not loaded")
        self.assertEqual(record["dependency"], "ok", "the VM library was bound to a planted library")
        # PATH is built as before, for the VM's own later loads.
        self.assertEqual(record["path"], f"{path};{winpath(home).lower()}\\bin")
        self.assertLogHas(r, "Loading of JVM-DLL successful")


if __name__ == "__main__":
    unittest.main()
