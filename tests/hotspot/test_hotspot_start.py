"""The launcher's JVM stage on HotSpot: what Java code sees, how a start
ends (exit codes, exceptions, threads), and the splash controller polled."""
import time
import unittest

from hotspot import HotSpotCase

USER_ARGS = ["plain", "two words", "\u00e9t\u00e9", "\u65e5\u672c\u8a9e", "\U0001F600 and \U00010348", "-console"]


class WhatJavaSees(HotSpotCase):
    def test_arguments_and_properties_whole(self):
        for home, _ in self.vms():
            with self.subTest(home=str(home)):
                r = self.start(home, "kvotest.Probe", *USER_ARGS, records={124: 'fixed "fixed two"'},
                               vm_options="-Dkvotest.properties=korvo.moduleName,app.dir,text "
                               "-Dapp.dir=${KORVO_EXEDIR} \"-Dtext=gr\u00fc\u00dfe \u65e5\u672c\"")
                self.assertEqual((r.code, r.messages), (0, []), r)
                launcher_args = [v.split("\t", 1)[1] for v in r.values("launcher-arg")]
                self.assertEqual(launcher_args[:6], ["false", "kvotest.Probe", "", "", "false",
                                                     str(r.directory / "app")])
                self.assertEqual(launcher_args[6:], ["fixed", "fixed two"] + USER_ARGS)
                self.assertEqual(r.values("property"), [f"korvo.moduleName\t{r.directory / 'app'}",
                                                        f"app.dir\t{r.directory}/",
                                                        "text\tgr\u00fc\u00dfe \u65e5\u672c"])
                self.assertEqual(r.values("launcher"), ["main returned"])
                self.assertEqual(self.steps(r, "Creating JVM", "JVM created", "calling main", "main returned",
                                            "dest JVM", "launch done"),
                                 ["Creating JVM", "JVM created", "calling main", "main returned", "dest JVM",
                                  "launch done"])


class HowItEnds(HotSpotCase):
    def test_system_exit_code_is_the_process_exit_code(self):
        for home, _ in self.vms():
            for code in (0, 7):
                with self.subTest(home=str(home), code=code):
                    r = self.start(home, "kvotest.Exit", str(code))
                    self.assertEqual((r.code, r.messages), (code, []), r)
                    self.assertEqual(r.values("exit"), [str(code)])
                    self.assertNotIn("launch done", r.log)

    def test_exception_from_main(self):
        for home, _ in self.vms():
            with self.subTest(home=str(home)):
                r = self.start(home, "kvotest.Throw")
                self.assertEqual(r.code, 1, r)
                self.assertEqual(r.messages, ["The JVM could not be started."])
                self.assertIn("IllegalStateException: thrown by the application", r.stderr)
                self.assertEqual(self.steps(r, "main returned", "ERROR: an exception occured",
                                            "ERROR: could not call main"),
                                 ["main returned", "ERROR: an exception occured", "ERROR: could not call main"])

    def test_a_vm_that_cannot_start_says_why(self):
        # HotSpot ends the process itself on some of these (the heap, the
        # collectors) and returns an error on others; the user reads its
        # words in either case, and they keep going where they went.
        told = {1005: "The JVM could not be started.\n{1}"}
        cases = [("-Xmx200t", told, r"Could not reserve enough space for \d+ ?KB object heap"),
                 ("-XX:+UseG1GC -XX:+UseSerialGC", told, r"Multiple garbage collectors selected"),
                 ("-XX:MaxHeapSize=abc", told, r"Invalid maximum heap size: -XX:MaxHeapSize=abc"),
                 ("-Xmx200t", {}, None)]
        for home, _ in self.vms():
            for options, records, words in cases:
                with self.subTest(home=str(home), options=options, placeholder=bool(records)):
                    r = self.start(home, "kvotest.Probe", vm_options=options, records=records)
                    self.assertEqual(r.code, 1, r)
                    self.assertEqual(len(r.messages), 1, r)
                    self.assertLogHas(r, "ERROR: could not initialize JVM")
                    said = [line for line in r.log if line.startswith("JVM: ") and line.strip() != "JVM:"]
                    self.assertTrue(said, r)
                    self.assertIn(said[-1][5:], r.stdout + r.stderr)
                    if words is None:
                        self.assertEqual(r.messages, ["The JVM could not be started."])
                        continue
                    first, _, rest = r.messages[0].partition("\n")
                    self.assertEqual(first, "The JVM could not be started.")
                    self.assertRegex(rest, words)
                    self.assertRegex(said[-1], "JVM: " + words)
                    self.assertLessEqual(len(rest), 1024)

    def test_launcher_class_or_main_missing(self):
        for home, _ in self.vms():
            with self.subTest(home=str(home)):
                r = self.start(home, "kvotest.Probe", records={2001: "i"})
                self.assertEqual((r.code, r.messages), (1, ["Couldn't load main class."]), r)
                self.assertLogHas(r, "ERROR: could not find main class")

    def test_threads_that_outlive_main(self):
        # Non-daemon threads are waited for, by the launcher before
        # DestroyJavaVM; a daemon thread is not, however long it would live.
        for home, _ in self.vms():
            with self.subTest(home=str(home), daemon=False):
                r = self.start(home, "kvotest.LateThread", "1500")
                self.assertEqual((r.code, r.messages), (0, []), r)
                self.assertEqual([k for k, _ in r.report if k in ("main", "launcher", "worker")],
                                 ["main", "launcher", "worker"])
                self.assertEqual(self.steps(r, "dest JVM", "waiting for the application's threads", "launch done"),
                                 ["dest JVM", "waiting for the application's threads", "launch done"])
            with self.subTest(home=str(home), daemon=True):
                began = time.monotonic()
                r = self.start(home, "kvotest.LateThread", "60000", "daemon")
                self.assertEqual((r.code, r.messages), (0, []), r)
                self.assertLess(time.monotonic() - began, 30, "a daemon thread held the start up")
                self.assertEqual(r.values("worker"), [])
                self.assertNotIn("waiting for the application's threads", r.log)
                self.assertEqual(r.log[-1], "launch done")

    def test_main_runs_on_a_thread_the_vm_started(self):
        # The generated thread class passes HotSpot's verifier (asked to
        # check every class), and a thread that joins main sees it end.
        # The benchmark's step times follow the start through to main's
        # own thread.
        for home, _ in self.vms():
            with self.subTest(home=str(home)):
                times = self.dir / f"steps-{len(list(self.dir.iterdir()))}.txt"
                r = self.start(home, "kvotest.JoinsMain", "500", vm_options="-XX:+UnlockDiagnosticVMOptions -XX:+BytecodeVerificationLocal",
                               environment={"KORVO_STEP_TIMES": str(times)})
                noted = [line.split("\t", 1) for line in times.read_text().splitlines()]
                wanted = ["Creating JVM", "JVM created", "calling main", "main returned", "launch done"]
                steps = sorted(((float(at), label) for at, label in noted
                                if label in wanted + ["main thread running"]))
                labels = [label for _, label in steps]
                self.assertEqual([label for label in labels if label != "main thread running"], wanted, noted)
                # Main's thread comes up while the launcher class is looked up.
                self.assertEqual(labels.count("main thread running"), 1, noted)
                self.assertLess(labels.index("JVM created"), labels.index("main thread running"), noted)
                self.assertLess(labels.index("main thread running"), labels.index("main returned"), noted)
                self.assertEqual((r.code, r.messages), (0, []), r)
                self.assertNotIn("no main thread of its own: main runs on the launcher's thread", r.log)
                self.assertEqual(r.values("main-thread"), ["main\tfalse"])
                self.assertEqual(r.values("worker"), ["main ended\tfalse", "done"])
                self.assertEqual(self.steps(r, "main returned", "dest JVM", "launch done"),
                                 ["main returned", "dest JVM", "launch done"])


class SplashController(HotSpotCase):
    def test_texts_then_hide(self):
        for home, _ in self.vms():
            with self.subTest(home=str(home)):
                r = self.start(home, "kvotest.SplashSteps", "Loading", "Gr\u00fc\u00dfe", "hide", controller=True)
                self.assertEqual((r.code, r.messages), (0, []), r)
                self.assertEqual(r.values("step"), ["text Loading", "text Gr\u00fc\u00dfe", "hide", "done"])
                self.assertEqual([l for l in r.log if l.startswith("controller: ")],
                                 ["controller: text Loading", "controller: text Gr\u00fc\u00dfe", "controller: hide"])

    def test_an_idle_controller_lets_go_before_the_vm_ends(self):
        for home, _ in self.vms():
            with self.subTest(home=str(home)):
                r = self.start(home, "kvotest.LateThread", "800", controller=True)
                self.assertEqual((r.code, r.messages), (0, []), r)
                self.assertEqual(self.steps(r, "waiting for the application's threads", "controller: stopping",
                                            "launch done"),
                                 ["waiting for the application's threads", "controller: stopping", "launch done"])


if __name__ == "__main__":
    unittest.main()
