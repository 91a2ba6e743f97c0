"""A real JVM started by the launcher: what Java code sees of the arguments,
the system properties and the class path, and how the launcher ends when
the application throws, exits or keeps threads running."""
import re
import unittest

from harness import winpath
from realvm import RealVmCase, copy_classes, make_jar

PROPERTIES = ["korvo.semaphoreName", "korvo.moduleName", "sun.java.command", "korvo.tempDir",
              "korvo.unextractedPosition", "java.class.path", "java.library.path", "korvo.consoleCodepage",
              "korvo.processCommFile", "user.language", "user.country", "app.dir"]


class WhatJavaSees(RealVmCase):
    def test_arguments_whole_and_in_order(self):
        exe = self.real_app("kvotest.Probe", r124='fixed "fixed two"')
        user = ["plain", "two words", "\u00e9t\u00e9", "\u65e5\u672c\u8a9e", "\u0416",
                "\U0001F600 and \U00010348", "-console", "__vdl_lang_restart"]
        line = " ".join(f'"{a}"' if " " in a else a for a in user)
        r = self.start(exe, line, unix_env={"LC_ALL": "C.UTF-8"})
        self.assertEqual((r.code, r.dialogs), (0, []), r)
        expected_launcher = ["true", "kvotest.Probe", "", "", "false", winpath(exe), "fixed", "fixed two"] + user
        launcher_args = [v.split("\t", 1)[1] for v in self.values("launcher-arg")]
        self.assertEqual(launcher_args, expected_launcher)
        self.assertEqual([v.split("\t", 1)[1] for v in self.values("arg")], ["fixed", "fixed two"] + user)
        self.assertEqual(self.values("launcher"), ["main returned"])

    def test_withheld_arguments_become_options(self):
        exe = self.real_app("kvotest.Probe", vm_options="-Dkvotest.properties=from.j,sun.locale.formatasdefault",
                            r125="1")
        r = self.start(exe, "-J-Dfrom.j=yes kept -Dsun.locale.formatasdefault=true")
        self.assertEqual((r.code, r.dialogs), (0, []), r)
        self.assertEqual([v.split("\t", 1)[1] for v in self.values("arg")], ["kept"])
        self.assertEqual(self.values("property"), ["from.j\tyes", "sun.locale.formatasdefault\ttrue"])

    def test_system_properties_as_java_reads_them(self):
        (self.dir / "lang").mkdir()
        exe = self.real_app("kvotest.Probe", vm_options="-Dkvotest.properties=" + ",".join(PROPERTIES)
                            + " -Dapp.dir=${KORVO_EXEDIR}", r10005="1",
                            r121="A0.\\lib\\launcher.jar;A0.\\lib\\app.jar;D0.\\lang")
        r = self.start(exe, "-Dsun.locale.formatasdefault=false", unix_env={"LC_ALL": "de_CH.UTF-8"})
        self.assertEqual((r.code, r.dialogs), (0, []), r)
        props = dict(v.split("\t", 1) for v in self.values("property"))
        exe_path = winpath(exe)
        self.assertEqual(props["korvo.semaphoreName"], "Local\\" + exe_path.lower().replace("\\", "_"))
        self.assertEqual(props["korvo.moduleName"], exe_path)
        self.assertEqual(props["sun.java.command"], exe_path)
        self.assertEqual(props["korvo.tempDir"], "")
        self.assertEqual(props["korvo.unextractedPosition"], "0")
        self.assertEqual(props["java.class.path"], ";".join(
            winpath(self.dir) + "\\.\\" + p for p in ("lib\\launcher.jar", "lib\\app.jar", "lang")) + ";")
        self.assertIn(winpath(self.dir / "jre" / "bin").lower(), props["java.library.path"].lower())
        self.assertRegex(props["korvo.consoleCodepage"], r"^cp\d+$")
        self.assertRegex(props["korvo.processCommFile"].lower(),
                         "^" + re.escape(winpath(self.tmp).lower()) + r"\\kvo_p\d+\.tmp$")
        self.assertEqual((props["user.language"], props["user.country"]), ("de", "CH"))
        self.assertEqual(props["app.dir"], winpath(self.dir) + "\\")

    def test_class_path_entries_of_every_kind(self):
        # A: the application's jar (classes and a resource); D: a directory
        # of classes; S: every archive of a scanned directory.
        copy_classes(self.dir / "classes", "app", ["kvotest/Exit"])
        make_jar(self.dir / "plugins" / "plugin.jar", "app", ["kvotest/Throw"],
                 files={"kvotest/plugin.txt": "from the scanned jar"})
        exe = self.real_app("kvotest.Probe",
                            vm_options="-Dkvotest.classes=kvotest.Exit,kvotest.Throw,kvotest.Absent "
                            "-Dkvotest.resources=/kvotest/greeting.txt,/kvotest/plugin.txt,/kvotest/none.txt",
                            r121="A1.\\lib\\launcher.jar;A1.\\lib\\app.jar;D1.\\classes;S1.\\plugins")
        r = self.start(exe)
        self.assertEqual((r.code, r.dialogs), (0, []), r)
        self.assertEqual(self.values("class"), ["kvotest.Exit\tloaded", "kvotest.Throw\tloaded",
                                                "kvotest.Absent\tmissing"])
        self.assertEqual(self.values("resource"), ["/kvotest/greeting.txt\thello from the jar",
                                                   "/kvotest/plugin.txt\tfrom the scanned jar",
                                                   "/kvotest/none.txt\t<missing>"])


class HowItEnds(RealVmCase):
    def test_exception_from_main(self):
        exe = self.real_app("kvotest.Throw", app_entries=["kvotest/Throw"])
        r = self.start(exe)
        self.assertEqual(r.code, 1, r)
        self.assertEqual(self.dialog_texts(r), ["The JVM could not be started."])
        self.assertIn("IllegalStateException", r.stderr)
        self.assertIn("thrown by the application", r.stderr)
        self.assertLogHas(r, "ERROR: an exception occured")
        self.assertLogHas(r, "ERROR: could not call main")

    def test_system_exit_code_reaches_the_caller(self):
        exe = self.real_app("kvotest.Exit", app_entries=["kvotest/Exit"])
        for code in (0, 7, 1234):
            with self.subTest(code=code):
                self.report_path.unlink(missing_ok=True)
                r = self.start(exe, str(code))
                self.assertEqual((r.code, r.dialogs), (code, []), r)
                self.assertEqual(self.values("exit"), [str(code)])

    def test_launcher_class_missing(self):
        exe = self.real_app("kvotest.Probe", launcher_entries=["com/korvo/runtime/Report"])
        r = self.start(exe)
        self.assertEqual(r.code, 1, r)
        self.assertEqual(self.dialog_texts(r), ["Couldn't load main class."])
        self.assertLogHas(r, "ERROR: could not find main class")

    def test_launcher_class_without_main(self):
        exe = self.real_app("kvotest.Probe", launcher_tree="nomain", launcher_entries=["com/korvo/runtime/WinLauncher"])
        r = self.start(exe)
        self.assertEqual(r.code, 1, r)
        self.assertEqual(self.dialog_texts(r), ["Main method not found."])
        self.assertLogHas(r, "ERROR: could not find main method")

    def test_threads_that_outlive_main_are_waited_for(self):
        exe = self.real_app("kvotest.LateThread", app_entries=["kvotest/LateThread"])
        r = self.start(exe, "1500")
        self.assertEqual((r.code, r.dialogs), (0, []), r)
        self.assertEqual([k for k, _ in self.report() if k in ("main", "launcher", "worker")],
                         ["main", "launcher", "worker"])
        self.assertEqual(self.values("worker"), ["done"])
        self.assertLogHas(r, "waiting for the application's threads")
        steps = [l for l in r.log if l in ("dest JVM", "waiting for the application's threads", "launch done")]
        self.assertEqual(steps, ["dest JVM", "waiting for the application's threads", "launch done"])

    def test_a_thread_that_waits_for_main_ends_and_is_waited_for(self):
        exe = self.real_app("kvotest.JoinsMain", app_entries=["kvotest/JoinsMain"])
        r = self.start(exe, "1500", timeout_ms=30000)
        self.assertEqual((r.code, r.dialogs), (0, []), r)
        self.assertEqual(self.values("main-thread"), ["main\tfalse"])
        self.assertEqual([k for k, _ in self.report() if k in ("main", "launcher", "worker")],
                         ["main", "launcher", "worker", "worker"])
        self.assertEqual(self.values("worker"), ["main ended\tfalse", "done"])
        steps = [l for l in r.log if l in ("main returned", "dest JVM", "waiting for the application's threads",
                                          "launch done")]
        self.assertEqual(steps, ["main returned", "dest JVM", "waiting for the application's threads", "launch done"])

if __name__ == "__main__":
    unittest.main()
