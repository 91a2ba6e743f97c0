"""Probing a runtime's java executable: the version cache, the "-version"
run and its failures, the version rules, the machine check and the switch to
javaw.exe."""
import os
import time
import unittest

from harness import (RuntimeCase, base_block, cache_key, java_runs, jvm_record, launcher_is_64, make_runtime_home,
                     reg_delete, reg_set, reg_value, winpath)


def filetime_hex(path) -> str:
    """The file's last-write time as the launcher caches it (REG_BINARY,
    low 32 bits first), in the hex form reg query prints."""
    ticks = os.stat(path).st_mtime_ns // 100 + 116444736000000000
    return ticks.to_bytes(8, "little").hex().upper()


class VersionCache(RuntimeCase):
    def test_second_start_answers_from_the_cache(self):
        home = make_runtime_home(self.dir / "jre", "1.8.0_402")
        java = home / "bin" / "java.exe"
        exe = self.make_exe(base_block(r128="B.\\jre", r126="1.6"))

        first = self.run_launcher(exe)
        self.assertLogHas(first, "got version from execution 1.8.0_402")
        self.assertEqual(len(java_runs(home / "bin")), 1)
        self.assertEqual(reg_value(cache_key(java), "Version"), ("REG_SZ", "1.8.0_402"))
        self.assertEqual(reg_value(cache_key(java), "LastWriteTime"), ("REG_BINARY", filetime_hex(java)))

        second = self.run_launcher(exe)
        self.assertLogHas(second, "got version from registry 1.8.0_402")
        self.assertEqual(len(java_runs(home / "bin")), 1, "a cache hit must start no process")
        # The GUI type gets the windowed twin.
        self.assertLogHas(second, "Trying to load JVM-DLL from " + winpath(home).lower() + "\\bin\\javaw.exe")
        self.assertLogHas(second, "Loading of JVM-DLL successful")
        self.assertEqual(list(self.tmp.glob("kvo*")), [], "probe output files must be deleted")

    def test_replaced_executable_is_probed_again(self):
        home = make_runtime_home(self.dir / "jre", "1.8.0_402")
        java = home / "bin" / "java.exe"
        exe = self.make_exe(base_block(r128="B.\\jre"))
        self.run_launcher(exe)
        make_runtime_home(self.dir / "jre", "1.8.0_411")
        later = time.time() + 60
        os.utime(java, (later, later))
        r = self.run_launcher(exe)
        self.assertLogHas(r, "got version from execution 1.8.0_411")
        self.assertEqual(len(java_runs(home / "bin")), 2)
        self.assertEqual(reg_value(cache_key(java), "Version"), ("REG_SZ", "1.8.0_411"))
        self.assertEqual(reg_value(cache_key(java), "LastWriteTime"), ("REG_BINARY", filetime_hex(java)))

    def test_failed_run_is_cached_as_placeholder_and_run_again(self):
        home = make_runtime_home(self.dir / "rt", exit_code=1)
        java = home / "bin" / "java.exe"
        # An absolute "A" entry is not retried without its version.
        exe = self.make_exe(base_block(r128="A" + winpath(home)))
        for runs in (1, 2):
            r = self.run_launcher(exe)
            self.assertEqual(r.code, 83)
            self.assertLogHas(r, "Exit Code 1")
            self.assertLogHas(r, "couldn't get version")
            self.assertLogHas(r, "checkJavaExe returning 0")
            self.assertEqual(len(java_runs(home / "bin")), runs)
            self.assertEqual(reg_value(cache_key(java), "Version"), ("REG_SZ", "1.0.0"))
        self.assertEqual(list(self.tmp.glob("kvo*")), [])

    def test_cache_entry_of_another_time_is_not_used(self):
        home = make_runtime_home(self.dir / "rt", "1.8.0_402")
        java = home / "bin" / "java.exe"
        reg_set(cache_key(java), "Version", "1.5.0")
        reg_set(cache_key(java), "LastWriteTime", "0011223344556677", kind="REG_BINARY")
        r = self.run_launcher(self.make_exe(base_block(r128="A" + winpath(home), r126="1.6")))
        self.assertLogHas(r, "got version from execution 1.8.0_402")
        self.assertLogHas(r, "checkJavaExe returning 1")


class ProbeRun(RuntimeCase):
    def test_hanging_java_is_ended_and_rejected(self):
        home = make_runtime_home(self.dir / "rt", delay_ms=30000)
        java = home / "bin" / "java.exe"
        exe = self.make_short_probe_exe(base_block(r128="A" + winpath(home)))
        started = time.monotonic()
        r = self.run_launcher(exe, env={"KVO_TEST_PROBE_TIMEOUT_MS": "1500"}, log=True)
        self.assertLess(time.monotonic() - started, 20)
        self.assertEqual(r.code, 83)
        self.assertLogHas(r, "Exit Code 259")
        self.assertLogHas(r, "Terminating process")
        self.assertLogHas(r, "couldn't get version")
        # Not a failed run: nothing is cached, the next start tries again.
        self.assertIsNone(reg_value(cache_key(java), "Version"))
        self.assertEqual(list(self.tmp.glob("kvo*")), [], "the output file of the ended run must go")

    def test_product_launcher_ignores_the_test_time_limit(self):
        home = make_runtime_home(self.dir / "rt", "1.8.0_402", delay_ms=2500)
        r = self.run_launcher(self.make_exe(base_block(r128="A" + winpath(home))),
                              env={"KVO_TEST_PROBE_TIMEOUT_MS": "200"})
        self.assertLogHas(r, "Exit Code 0")
        self.assertLogHas(r, "got version from execution 1.8.0_402")

    def test_command_line_is_the_short_path_and_version(self):
        home = make_runtime_home(self.dir / "a long name" / "rt")
        r = self.run_launcher(self.make_exe(base_block(r128="A" + winpath(home))))
        self.assertLogHas(r, "checkJavaExe returning 1")
        [line] = java_runs(home / "bin")
        self.assertTrue(line.endswith("\\rt\\bin\\java.exe -version"), line)
        self.assertNotIn(" long ", line)

    def test_first_line_forms(self):
        cases = [
            ('java version "1.6.0_45"', "1.6.0_45"),
            ('openjdk version "1.8.0_402"', "1.8.0_402"),
            ('openjdk version "17.0.2" 2022-01-18', "17.0.2"),
            ('java version "17.0.10" 2024-01-16 LTS', "17.0.10"),
            ('openjdk version "11.0.22" 2024-01-16 LTS', "11.0.22"),
            ('openjdk version "21-ea" 2023-09-19', "21-ea"),
        ]
        for n, (line, version) in enumerate(cases):
            with self.subTest(line):
                home = make_runtime_home(self.dir / f"rt{n}", first_line=line,
                                         more_lines=["Runtime Environment (build x)"])
                java = home / "bin" / "java.exe"
                r = self.run_launcher(self.make_exe(base_block(r128="A" + winpath(home), r126="1.6")))
                self.assertLogHas(r, "Java version: " + version)
                self.assertLogHas(r, "checkJavaExe returning 1")
                self.assertEqual(reg_value(cache_key(java), "Version"), ("REG_SZ", version))

    def test_line_cut_before_its_closing_quote(self):
        home = make_runtime_home(self.dir / "rt", raw='java version "1.7.0_80')
        r = self.run_launcher(self.make_exe(base_block(r128="A" + winpath(home))))
        self.assertLogHas(r, "got version from execution 1.7.0_80")

    def test_other_first_lines_are_rejected(self):
        for n, line in enumerate(["Picked up _JAVA_OPTIONS: -Xmx512m", 'java full version "1.8.0_402-b06"']):
            with self.subTest(line):
                home = make_runtime_home(self.dir / f"rt{n}", first_line=line,
                                         more_lines=['java version "1.8.0_402"'])
                java = home / "bin" / "java.exe"
                r = self.run_launcher(self.make_exe(base_block(r128="A" + winpath(home))))
                self.assertEqual(r.code, 83)
                self.assertLogHas(r, "couldn't get version")
                self.assertIsNone(reg_value(cache_key(java), "Version"))

    def test_option_variables_do_not_reach_the_probe_but_reach_the_vm(self):
        # A runtime prints "Picked up ..." for each of these before its
        # version line; the probe runs without them, the VM keeps them.
        env = {"JAVA_TOOL_OPTIONS": "-Dtool=1", "_JAVA_OPTIONS": "-Xmx64m", "jdk_java_options": "-Dx=y"}
        home = make_runtime_home(self.dir / "rt")
        java = home / "bin" / "java.exe"
        r = self.run_launcher(self.make_exe(base_block(r128="A" + winpath(home))), env=env)
        self.assertLogHas(r, "got version from execution 1.8.0_402")
        self.assertEqual(reg_value(cache_key(java), "Version"), ("REG_SZ", "1.8.0_402"))
        self.assertEqual(jvm_record(home / "bin" / "server").get("tool-options"), "-Dtool=1")


class VersionRulesOfTheSearch(RuntimeCase):
    def test_bounds_and_beta_by_caller(self):
        home = make_runtime_home(self.dir / "rt", "1.7.0-ea")
        cases = [
            # (entry, records, accepted)
            ("A" + winpath(home), {}, True),                       # locations allow beta
            ("EKVO_TEST_RT", {}, False),                           # variables do not
            ("EKVO_TEST_RT", {"r130": "1"}, True),                 # unless AllowBetaJvm
            ("A" + winpath(home), {"r126": "1.8"}, False),
            ("A" + winpath(home), {"r127": "1.6"}, False),
            ("A" + winpath(home), {"r126": "1.7", "r127": "1.7"}, True),
        ]
        for entry, records, accepted in cases:
            with self.subTest(entry=entry, records=records):
                r = self.run_launcher(self.make_exe(base_block(r128=entry, **records)),
                                      env={"KVO_TEST_RT": winpath(home)})
                self.assertLogHas(r, f"checkJavaExe returning {int(accepted)}")
                if entry.startswith("E") and not accepted:
                    self.assertLogHas(r, "beta vm not allowed")
        self.assertEqual(len(java_runs(home / "bin")), 1)

    def test_runtime_of_the_other_width_is_passed_over_even_when_cached(self):
        wide = launcher_is_64()
        other = make_runtime_home(self.dir / "other", "17.0.2", machine=0x14C if wide else 0x8664)
        own = make_runtime_home(self.dir / "own", "1.8.0_402")
        java_other = other / "bin" / "java.exe"
        # As if an earlier launcher of the other width had probed it.
        reg_set(cache_key(java_other), "Version", "17.0.2")
        reg_set(cache_key(java_other), "LastWriteTime", filetime_hex(java_other), kind="REG_BINARY")
        r = self.run_launcher(self.make_exe(base_block(r128=f"A{winpath(other)};A{winpath(own)}")))
        if wide:
            self.assertLogHas(r, winpath(java_other).lower()
                              + " is a 32-bit (i386) runtime; a 64-bit launcher needs an x86-64 one")
        else:
            self.assertLogHas(r, winpath(java_other).lower() + " is built for machine 0x8664, not for i386")
        self.assertNotIn("got version from registry 17.0.2", r.log)
        self.assertEqual(java_runs(other / "bin"), [])
        self.assertLogHas(r, "Loading of JVM-DLL successful")
        self.assertTrue(jvm_record(own / "bin" / "server"))
        self.assertFalse(jvm_record(other / "bin" / "server"))

    def test_not_an_executable_is_rejected(self):
        home = make_runtime_home(self.dir / "rt")
        (home / "bin" / "java.exe").write_bytes(b"#!/bin/sh\necho not a PE file\n")
        r = self.run_launcher(self.make_exe(base_block(r128="A" + winpath(home))))
        self.assertLogHas(r, winpath(home).lower() + "\\bin\\java.exe is not a Windows executable")
        self.assertEqual(r.code, 83)

    def test_windowed_twin_must_exist_for_gui_type(self):
        home = make_runtime_home(self.dir / "rt", javaw=False)
        gui = self.run_launcher(self.make_exe(base_block(r128="A" + winpath(home))))
        self.assertEqual(gui.code, 83)
        self.assertLogHas(gui, "got version from execution 1.8.0_402")
        self.assertLogHas(gui, "checkJavaExe returning 0")
        console = self.run_launcher(self.make_exe(base_block(r128="A" + winpath(home), r107="0"),
                                                  name="console.exe"))
        self.assertLogHas(console, "Trying to load JVM-DLL from " + winpath(home).lower() + "\\bin\\java.exe")

    def test_require_jdk(self):
        jre = make_runtime_home(self.dir / "jre")
        jdk = make_runtime_home(self.dir / "jdk", "1.8.0_411", jdk=True)
        r = self.run_launcher(self.make_exe(base_block(r128=f"A{winpath(jre)};A{winpath(jdk)}", r131="1")))
        self.assertEqual(java_runs(jre / "bin"), [], "a home without lib\\tools.jar is not even run")
        self.assertLogHas(r, "Trying to load JVM-DLL from " + winpath(jdk).lower() + "\\jre\\bin\\javaw.exe")


if __name__ == "__main__":
    unittest.main()
