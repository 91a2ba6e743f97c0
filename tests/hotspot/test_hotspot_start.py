"""The launcher's JVM stage on HotSpot: what Java code sees, how a start
ends (exit codes, exceptions, threads), the splash controller polled, and
kvo-runtime.jar as the launcher class of a vendor's plain configuration."""
import os
import re
import shutil
import subprocess
import time
import unittest
from pathlib import Path

from hotspot import JAVAFX_JARS, JAVAFX_MODULES, PACKER, ROOT, HotSpotCase, compiled, report_classes, unescape

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
            # The last with main called by the launcher itself.
            for code, runtime in ((0, False), (7, False), (7, True)):
                with self.subTest(home=str(home), code=code, runtime=runtime):
                    r = self.start(home, "kvotest.Exit", str(code), runtime=runtime)
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
        # Through the test's own controller class, and through the runtime's
        # Splash API with kvo-runtime.jar's controller.
        ways = [("controller class", {}), ("Splash API", dict(runtime=True, vm_options="-Dkvotest.splashApi=true"))]
        for home, _ in self.vms():
            for way, how in ways:
                with self.subTest(home=str(home), way=way):
                    r = self.start(home, "kvotest.SplashSteps", "Loading", "Gr\u00fc\u00dfe", "hide", controller=True,
                                   **how)
                    self.assertEqual((r.code, r.messages), (0, []), r)
                    self.assertEqual(r.values("step"), ["text Loading", "text Gr\u00fc\u00dfe", "hide", "done"])
                    self.assertEqual([l for l in r.log if l.startswith("controller: ")],
                                     ["controller: text Loading", "controller: text Gr\u00fc\u00dfe",
                                      "controller: hide"])

    def test_an_idle_controller_lets_go_before_the_vm_ends(self):
        for home, _ in self.vms():
            with self.subTest(home=str(home)):
                r = self.start(home, "kvotest.LateThread", "800", controller=True)
                self.assertEqual((r.code, r.messages), (0, []), r)
                self.assertEqual(self.steps(r, "waiting for the application's threads", "controller: stopping",
                                            "launch done"),
                                 ["waiting for the application's threads", "controller: stopping", "launch done"])


class AVendorsFirstLauncher(HotSpotCase):
    """The Java half's classes read from the launcher's file and defined in
    the VM, as the exe does, and the records of a plain configuration: the
    Java half's scenarios of the real-VM tier, with its application
    classes."""

    def test_plain_main_in_both_flavours(self):
        properties = ("korvo.guiApplication,korvo.isVandrel,java.class.path,korvo.tempDir,korvo.outputFile1,"
                      "korvo.outputFile2")
        # What the launcher class set wins over the vendor's options, as it did.
        overridden = "-Dkorvo.guiApplication=gr\u00fcn -Dkorvo.outputFile1=\u00e9t\u00e9"
        for home, _ in self.vms():
            for flavour, launcher in (("e", "com/korvo/runtime/WinLauncher"),
                                      ("i", "com/vandrel/runtime/launcher/WinLauncher")):
                with self.subTest(home=str(home), flavour=flavour):
                    r = self.start(home, "kvotest.Probe", *USER_ARGS, runtime=True, records={2001: flavour, 124: "fixed"},
                                   vm_options=f"-Dkvotest.loaders=true -Dkvotest.properties={properties} {overridden}")
                    self.assertEqual((r.code, r.messages), (0, []), r)
                    # A public static main: the launcher calls it itself, the
                    # launcher class is not needed.
                    self.assertLogHas(r, "main class: kvotest/Probe")
                    self.assertNotIn(f"main class: {launcher}", r.log)
                    self.assertEqual([v.split("\t", 1)[1] for v in r.values("arg")], ["fixed"] + USER_ARGS)
                    props = dict(v.split("\t", 1) for v in r.values("property"))
                    self.assertEqual([props[f"korvo.{p}"] for p in ("guiApplication", "outputFile1", "outputFile2")],
                                     ["false", "", ""])
                    self.assertEqual(props["korvo.isVandrel"], "true" if flavour == "i" else "null")
                    # No archive of the Java half, no temporary folder: its
                    # classes are defined in the class path's loader.
                    self.assertNotIn("kvo-runtime", props["java.class.path"])
                    self.assertEqual(props["korvo.tempDir"], "")
                    self.assertTrue(any(l.startswith("defining the Java half: ") for l in r.log), r)
                    # Loaded as java loads a main class, and so is what it loads.
                    self.assertEqual(r.values("loader"), ["main class\ttrue", "context\ttrue", "java half\ttrue"])
            with self.subTest(home=str(home), environment="_JAVA_OPTIONS"):
                # Options the VM takes after the launcher's: the launcher class's setting still wins.
                r = self.start(home, "kvotest.Probe", runtime=True, vm_options=f"-Dkvotest.properties={properties}",
                               environment={"_JAVA_OPTIONS": overridden + " -Dkorvo.outputFile2=x"})
                self.assertEqual((r.code, r.messages), (0, []), r)
                props = dict(v.split("\t", 1) for v in r.values("property"))
                self.assertEqual([props[f"korvo.{p}"] for p in ("guiApplication", "outputFile1", "outputFile2")],
                                 ["false", "", ""])

    def test_the_java_half_from_a_signed_launcher_and_its_rebuild(self):
        # The exe reads its classes in front of the signature that signing
        # appends; a dump of the signed launcher builds the same launcher
        # again.
        stubs = [p for p in (ROOT / "build" / "win64" / "launcher.exe", ROOT / "build" / "win32" / "launcher.exe")
                 if p.exists()]
        if not stubs or not shutil.which("osslsigncode"):
            self.skipTest("needs a launcher stub (make builds build/win64) and osslsigncode")
        work = self.dir / "signing"
        work.mkdir()
        (work / "app.kvo").write_text("MainClass = kvotest.Probe\nExecutableType = 1\n")
        key, cert = work / "key.pem", work / "cert.pem"
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                        "-days", "2", "-subj", "/CN=kvo hotspot test"], check=True, capture_output=True)

        def packer(*args):
            done = subprocess.run([str(PACKER), *map(str, args)], capture_output=True, text=True)
            self.assertEqual(done.returncode, 0, done.stderr)

        packer("build", "--stub", stubs[0], "--config", work / "app.kvo", "--out", work / "app.exe")
        subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-in", work / "app.exe", "-out",
                        work / "signed.exe"], check=True, capture_output=True)
        packer("dump", "--out", work / "dump.kvo", work / "signed.exe")
        packer("build", "--stub", stubs[0], "--config", work / "dump.kvo", "--out", work / "again.exe")
        self.assertEqual((work / "again.exe").read_bytes(), (work / "app.exe").read_bytes())
        for home, _ in self.vms():
            for name in ("signed.exe", "again.exe"):
                with self.subTest(home=str(home), launcher=name):
                    r = self.start(home, "kvotest.Probe", runtime=True, launcher=work / name,
                                   vm_options="-Dkvotest.loaders=true")
                    self.assertEqual((r.code, r.messages), (0, []), r)
                    self.assertEqual(r.values("loader")[-1], "java half\ttrue")

    def test_what_the_user_sees_when_java_fails(self):
        cases = [("kvotest.Mian", "java.lang.ClassNotFoundException: kvotest.Mian"),
                 ("kvotest.Throw", "java.lang.IllegalStateException: thrown by the application"),
                 ("kvotest.Setup", "java.lang.NoSuchMethodException: kvotest.Setup has no main method to start: "
                                   "write static void main(String[] args), static void main(), void main(String[] args) "
                                   "or void main(), with any access but private, or extend "
                                   "javafx.application.Application"),
                 # The error alone would not say what failed: its cause follows.
                 ("kvotest.BadInit", "java.lang.ExceptionInInitializerError\nCaused by: "
                                     "java.lang.IllegalStateException: the application's static initialiser failed"),
                 # A cycle of causes is told once, as Java tells it.
                 ("kvotest.Causes", "java.lang.IllegalStateException: A\nCaused by: java.lang.RuntimeException: B\n"
                                    "Caused by: [CIRCULAR REFERENCE: java.lang.IllegalStateException: A]")]
        for home, _ in self.vms():
            for main, text in cases:
                with self.subTest(home=str(home), main=main):
                    r = self.start(home, main, runtime=True, records={107: "1"})
                    self.assertEqual(r.code, 1, r)
                    # No message records: the built-in text, with the exception.
                    self.assertEqual(r.messages, ["The application could not be started.\n\n" + text])
                    self.assertLogHas(r, text.split("\n")[0])
                    self.assertEqual(r.values("init"), ["main"] if main == "kvotest.BadInit" else [])
                    # The trace names each cause in its turn, and the cycle once, where Java does.
                    causes = [l for l in r.log if l.startswith("Caused by: ")]
                    self.assertEqual(causes, text.split("\n")[1:])
                    if "CIRCULAR" in text:
                        self.assertIn(causes[-1], r.stderr)
                    self.assertTrue(any(l.startswith("\tat ") for l in r.log), "the stack trace is in the log")
                    # Without a handler of the application's, the thread group says it as under java.
                    self.assertIn(f'Exception in thread "main" {text.split(chr(10))[0]}', r.stderr)

    def test_the_main_java_would_start(self):
        # The real-VM tier's classes; where the JDK is 25 or later, its own
        # java must have started the same method, or refused as well.
        args = "one|two words"
        forms = {"StaticNone": "static main()", "InstanceArgs": "main(String[]) of InstanceArgs\t" + args,
                 "PublicInstance": "main(String[]) of PublicInstance\t" + args,
                 "InstanceNone": "main()", "PackageStatic": "static main(String[])\t" + args,
                 "StaticBeforeInstance": "static main(String[])\t" + args,
                 "ArrayBeforeStatic": "main(String[])\t" + args, "Inherited": "main(String[]) of Inherited\t" + args,
                 "InheritedStatic": "public static main(String[]) of PublicStatic\t" + args,
                 "InterfaceStatic": "static main(String[]) of InterfaceStatic\t" + args,
                 "FromInterface": None, "PrivateOnly": None}
        compared = 0
        for home, _ in self.vms():
            release = home / "release"
            found = re.search(r'^JAVA_VERSION="(\d+)', release.read_text(), re.M) if release.exists() else None
            for form, ran in forms.items():
                with self.subTest(home=str(home), form=form):
                    r = self.start(home, "kvotest.Mains$" + form, "one", "two words", runtime=True)
                    self.assertEqual((r.code, r.values("ran")), (0, [ran]) if ran else (1, []), r)
                    # Only a public static main(String[]) is the launcher's to
                    # call; for the rest the launcher class chooses.
                    direct = form in ("InheritedStatic", "InterfaceStatic")
                    self.assertLogHas(r, "main class: " + (f"kvotest/Mains${form}" if direct
                                                           else "com/korvo/runtime/WinLauncher"))
                    self.assertEqual("main class: com/korvo/runtime/WinLauncher" in r.log, not direct)
                    if found and int(found.group(1)) >= 25:
                        compared += 1
                        report = r.directory / "java-report.txt"
                        done = subprocess.run([str(home / "bin" / "java"), "-cp", f"{compiled('app')}:{report_classes()}",
                                               f"-Dkvotest.report={report}", "kvotest.Mains$" + form, "one", "two words"],
                                              capture_output=True, timeout=60)
                        rows = report.read_text(encoding="utf-8").splitlines() if report.exists() else []
                        by_java = [unescape(row.split("\t", 1)[1]) for row in rows]
                        self.assertEqual((done.returncode, by_java), (r.code, r.values("ran")), done.stderr)
        print(f"\n  java's own choice compared in {compared} starts"
              + ("" if compared else ": no JDK 25 or later here"), flush=True)

    def test_a_long_text_is_cut_between_letters(self):
        for home, _ in self.vms():
            with self.subTest(home=str(home)):
                r = self.start(home, "kvotest.Causes", "long", runtime=True, records={107: "1"})
                self.assertEqual(r.code, 1, r)
                self.assertEqual(r.messages, ["The application could not be started.\n\njava.lang.IllegalStateException: "
                                              + "x" * 1966 + "..."])

    def test_the_applications_handler_decides(self):
        for home, _ in self.vms():
            for where in ("default", "thread"):
                with self.subTest(home=str(home), handler=where):
                    r = self.start(home, "kvotest.Handled", "1500", runtime=True, records={107: "1"},
                                   vm_options=f"-Dkvotest.handlerOn={where}")
                    self.assertEqual((r.code, r.messages), (1, []), r)
                    self.assertEqual(r.values("handler"),
                                     ["main\tjava.lang.IllegalStateException: for the application's handler"])
                    self.assertNotIn("Exception in thread", r.stderr)
                    # Its other threads ran to their end, as under java.
                    self.assertEqual(r.values("worker"), ["done"])
                    self.assertLogHas(r, "the application's handler took the exception: no message, exit code 1")

    def test_output_files(self):
        def files(one, two, flag=False):
            return {102: "1", 103: one, 104: "1", 105: two, 106: "1" if flag else "0", 107: "1"}

        for home, _ in self.vms():
            launcher = self.dir / home.name
            logs = launcher / "logs"
            text = lambda name: (logs / name).read_text(encoding="utf-8")

            def run(records, *starts):
                for start in starts:
                    r = self.start(home, "kvotest.Prints", start, runtime=True, records=records, where=launcher)
                    self.assertEqual((r.code, r.messages), (0, []), r)
                return r

            with self.subTest(home=str(home)):
                run(files("logs/app.log", "logs/app.log", flag=True), "1", "2")
                self.assertEqual(text("app.log"), "out 1\nerr 1\nout 2\nerr 2\n", "one file, appended to")
                run(files("logs/app.log", "logs/app.log"), "3")
                self.assertEqual(text("app.log"), "out 3\nerr 3\n", "replaced without the flag")
                r = run(files("logs/out.log", "logs/err.log"), "4")
                self.assertEqual((text("out.log"), text("err.log")), ("out 4\n", "err 4\n"))
                props = dict(v.split("\t", 1) for v in r.values("property"))
                self.assertEqual(props["korvo.outputFile1"], str(logs / "out.log"))
                self.assertEqual(props["korvo.guiApplication"], "true")
                # A name beginning with "$" is the application's; a file that
                # cannot be written leaves its stream where it was.
                r = run(files("$APPLOG", "logs/out.log/err.log"), "5")
                self.assertIn("korvo.outputFile1\t$APPLOG", r.values("property"))
                self.assertEqual(text("out.log"), "out 4\n")
                self.assertEqual(r.stdout, "out 5\n")
                self.assertIn("err 5", r.stderr)
                self.assertIn(f"output file {logs}/out.log/err.log cannot be written", r.stderr)

    def test_first_run(self):
        marker = self.dir / "installed" / ".vandrel" / "firstrun"
        marker.parent.mkdir(parents=True)
        for home, _ in self.vms():
            marker.write_text("")
            for answer, main_runs, marker_stays in (("false", False, True), ("true", True, False),
                                                    ("true", True, False)):
                with self.subTest(home=str(home), answer=answer, marker=marker.exists()):
                    ran_before = marker.exists()
                    r = self.start(home, "kvotest.Probe", runtime=True, records={2001: "i", 10003: marker.parents[1]},
                                   vm_options=f"-Dkorvo.firstRunClass=kvotest.Setup -Dkvotest.firstRunAnswer={answer}")
                    self.assertEqual((r.code, r.messages), (0, []), r)
                    self.assertEqual(r.values("first-run"), ["ran"] if ran_before else [])
                    self.assertEqual(r.values("args"), ["0"] if main_runs else [])
                    self.assertEqual(marker.exists(), marker_stays)

    def test_a_second_start_hands_over(self):
        # The second start is the host's stand-in for the exe's (its bytes
        # and waits, without the semaphores): the runtime with a listener
        # from the start, one added after two second starts (their arguments
        # wait for it, in order), none at all; and an application that takes
        # the file itself. Each second start ends at once.
        one, two = 'app.exe open "two words.txt" --flag', "app.exe 'single quoted' \u00e9t\u00e9"
        split = ["true\topen|two words.txt|--flag", "true\tsingle quoted|\u00e9t\u00e9"]
        cases = [("listener at once", "kvotest.Listens", ["0", "4000"], True, [one], "startup", split[:1]),
                 ("listener later", "kvotest.Listens", ["2000", "4000"], True, [one, two], "startup", split),
                 ("no listener", "kvotest.Listens", ["-", "4000"], True, [one], "startup", []),
                 ("no runtime", "kvotest.Receiver", ["20000"], False, [one], "received",
                  ['open "two words.txt" --flag\n'])]
        for home, _ in self.vms():
            for name, main, args, runtime, lines, key, received in cases:
                with self.subTest(home=str(home), case=name):
                    first = self.spawn(home, main, *args, runtime=runtime, records={10005: "1"})
                    self.assertEqual(first.wait_for("ready"), ["yes"], "the first instance's application did not start")
                    for line in lines:
                        code, lifetime, log = first.hand_over(line)
                        print(f"  second start, {name}: ended after {lifetime} ms", flush=True)
                        self.assertEqual((code, log[-1:]), (0, ["exiting"]), log)
                        self.assertIn("waiting for file deletion", log)
                        self.assertLess(lifetime, 1500)
                    r = first.finish()
                    self.assertEqual((r.code, r.messages), (0, []), r)
                    self.assertEqual(r.values(key), received)
                    self.assertEqual(list(r.directory.glob("kvo_p*.tmp")), [], "the communication file was taken")


class JavaFX(HotSpotCase):
    """A real JavaFX application without a main, from Debian's openjfx, on
    the test display (scripts/wine-prefix.sh start)."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        number = os.environ.get("KVO_DISPLAY", "93")
        cls.display = ":" + number
        missing = [str(jar) for jar in JAVAFX_JARS if not jar.exists()]
        if missing:
            cls.unavailable = f"Debian's JavaFX is not installed (package openjfx; missing {', '.join(missing)})"
        elif not Path(f"/tmp/.X11-unix/X{number}").exists():
            cls.unavailable = f"no X display {cls.display} to show a stage on: scripts/wine-prefix.sh start runs it"
        else:
            cls.unavailable = None

    def test_an_application_without_main_shows_its_stage_and_ends(self):
        if self.unavailable:
            self.skipTest(self.unavailable)
        # Debian's JDK finds the toolkit's native libraries by itself, others
        # only by this.
        native = [str(p.parent) for p in Path("/usr/lib").glob("*/jni/libglass.so")]
        library = f"-Djava.library.path={':'.join(native)}" if native else ""
        modules = f"--module-path {JAVAFX_MODULES} --add-modules javafx.controls"
        ways = [("module path", modules, []), ("class path", "", JAVAFX_JARS), ("missing", None, [])]
        for home, _ in self.vms():
            for way, options, jars in ways:
                with self.subTest(home=str(home), toolkit=way):
                    r = self.start(home, "kvotest.ShowsStage", "one", "two words", runtime=True, records={107: "1"},
                                   vm_options=f"{options or ''} {library}".strip(), class_path=[compiled("javafx")] + jars,
                                   environment={"DISPLAY": self.display}, timeout=120)
                    if options is None:
                        self.assertEqual(r.code, 1, r)
                        self.assertEqual(r.messages, [
                            "The application could not be started.\n\njava.lang.NoClassDefFoundError: kvotest.ShowsStage "
                            "needs the JavaFX toolkit, which is on neither the class path nor the module path "
                            "(javafx.application.Application is missing): add its jars to ClassPath, or --module-path "
                            "with its folder and --add-modules javafx.controls to VmOptions"])
                        continue
                    if r.code != 0:
                        self.skip_unless_java_starts_it(home, f"{modules} {library}")
                    self.assertEqual((r.code, r.messages), (0, []), r)
                    self.assertEqual(r.values("shown"), ["true\tJavaFX Application Thread\tone|two words"], r)
                    self.assertEqual(self.steps(r, "main returned", "dest JVM", "launch done"),
                                     ["main returned", "dest JVM", "launch done"])

    def skip_unless_java_starts_it(self, home, options):
        """A JDK whose own java cannot run this toolkit either (too new for
        Debian's JavaFX, say) is skipped with java's words."""
        command = [str(home / "bin" / "java")] + options.split() + [
            "-cp", f"{compiled('javafx')}:{report_classes()}", "kvotest.ShowsStage"]
        done = subprocess.run(command, capture_output=True, text=True, timeout=120,
                              env=dict(os.environ, DISPLAY=self.display))
        if done.returncode != 0:
            said = [line for line in done.stderr.splitlines() if "Error" in line or "Exception" in line]
            self.skipTest(f"java of {home} cannot start it either: {(said or done.stderr.splitlines() or [''])[0]}")


if __name__ == "__main__":
    unittest.main()
