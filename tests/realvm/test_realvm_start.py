"""A real JVM started by the launcher: what Java code sees of the arguments,
the system properties and the class path, and how the launcher ends when
the application throws, exits or keeps threads running."""
import os
import re
import subprocess
import time
import unittest

import shutil

from harness import PACKER, STUB, make_runtime_home, winpath
from packing import pack
from realvm import JVM_DLL, LAUNCHER_CLASSES, RealVmCase, copy_classes, make_jar
from test_included_files import unix_path

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
        real = self.real_app("kvotest.Exit", app_entries=["kvotest/Exit"])
        # With main called by the launcher itself.
        packed = self.packed_app("kvotest.Exit", app_entries=["kvotest/Exit"], where=self.dir / "packed")
        for exe, code in ((real, 0), (real, 7), (real, 1234), (packed, 1234)):
            with self.subTest(code=code, packed=exe == packed):
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

class AVendorsFirstLauncher(RealVmCase):
    """Launchers packed by kvo-pack from a plain configuration: the launcher
    class and everything around the application's main come from
    kvo-runtime.jar, whose classes the launcher reads from its own file. The
    same Java classes can run on any VM the launcher creates: they see only
    the launcher's array and their own report."""

    def values_of(self, key):
        return [v.split("\t", 1)[1] for v in self.values(key)]

    def test_plain_main_in_both_flavours(self):
        user = ["plain", "two words", "\u00e9t\u00e9", "\u65e5\u672c\u8a9e", "\U0001F600"]
        line = " ".join(f'"{a}"' if " " in a else a for a in user)
        for flavour, launcher in (("e", "com/korvo/runtime/WinLauncher"),
                                  ("i", "com/vandrel/runtime/launcher/WinLauncher")):
            with self.subTest(flavour=flavour):
                self.report_path.unlink(missing_ok=True)
                exe = self.packed_app("kvotest.Probe", f"ProductFlavor = {flavour}", "Arguments = fixed",
                                      vm_options="-Dkvotest.properties=korvo.guiApplication,java.class.path,"
                                                 "korvo.tempDir,korvo.outputFile1,korvo.outputFile2"
                                                 # What the launcher class set wins, as it did.
                                                 " -Dkorvo.guiApplication=gr\u00fcn -Dkorvo.outputFile1=\u00e9t\u00e9",
                                      where=self.dir / flavour)
                r = self.start(exe, line, unix_env={"LC_ALL": "C.UTF-8"})
                self.assertEqual((r.code, r.dialogs), (0, []), r)
                # A public static main: the launcher calls it itself, the
                # launcher class is not needed.
                self.assertLogHas(r, "main class: kvotest/Probe")
                self.assertNotIn(f"main class: {launcher}", r.log)
                self.assertEqual(self.values_of("arg"), ["fixed"] + user)
                props = dict(v.split("\t", 1) for v in self.values("property"))
                self.assertEqual([props[f"korvo.{p}"] for p in ("guiApplication", "outputFile1", "outputFile2")],
                                 ["false", "", ""])
                # No archive of the Java half, no temporary folder.
                self.assertTrue(any(l.startswith("defining the Java half: ") for l in r.log), r)
                self.assertNotIn("kvo-runtime", props["java.class.path"])
                self.assertEqual(props["korvo.tempDir"], "")
                self.assertNotIn("Included files: 1", r.log)

    def test_the_main_java_would_start(self):
        # As java of Java 25 chooses: the argument array before static, any
        # access but private, inherited ones too; a JavaFX application
        # without a main goes to the toolkit's launch, on main's thread.
        args = "one|two words"
        cases = [("Mains$StaticNone", {}, [("ran", "static main()")]),
                 ("Mains$InstanceArgs", {}, [("ran", "main(String[]) of InstanceArgs\t" + args)]),
                 ("Mains$PublicInstance", {}, [("ran", "main(String[]) of PublicInstance\t" + args)]),
                 ("Mains$InstanceNone", {}, [("ran", "main()")]),
                 ("Mains$PackageStatic", {}, [("ran", "static main(String[])\t" + args)]),
                 ("Mains$StaticBeforeInstance", {}, [("ran", "static main(String[])\t" + args)]),
                 ("Mains$ArrayBeforeStatic", {}, [("ran", "main(String[])\t" + args)]),
                 ("Mains$Inherited", {}, [("ran", "main(String[]) of Inherited\t" + args)]),
                 ("Mains$InheritedStatic", {}, [("ran", "public static main(String[]) of PublicStatic\t" + args)]),
                 ("Mains$InterfaceStatic", {}, [("ran", "static main(String[]) of InterfaceStatic\t" + args)]),
                 ("FxShaped", dict(app_tree="toolkit", app_entries=["kvotest/FxShaped"], toolkit=True),
                  [("launch", "kvotest.FxShaped\tmain\t" + args), ("start", "ran")])]
        for name, how, report in cases:
            with self.subTest(name):
                self.report_path.unlink(missing_ok=True)
                how = dict(dict(app_entries=["kvotest/Mains"]), **how)
                exe = self.packed_app("kvotest." + name, where=self.dir / name, **how)
                r = self.start(exe, 'one "two words"')
                self.assertEqual((r.code, r.dialogs, self.report()), (0, [], report), r)
                # Only a public static main(String[]) is the launcher's to call;
                # for the rest the launcher class chooses.
                direct = name in ("Mains$InheritedStatic", "Mains$InterfaceStatic")
                self.assertLogHas(r, "main class: " + ("kvotest/" + name if direct else "com/korvo/runtime/WinLauncher"))
                self.assertEqual("main class: com/korvo/runtime/WinLauncher" in r.log, not direct)

    def test_main_is_checked_once_for_the_archives_it_comes_from(self):
        # The check that main is public static costs an interpreting VM more
        # than the rest of the launcher's work once the VM exists; its answer
        # is remembered while the archives it could come from are unchanged.
        exe = self.packed_app("kvotest.Probe", where=self.dir / "app")
        first, second = self.start(exe), self.start(exe)
        self.assertEqual([(r.code, r.dialogs) for r in (first, second)], [(0, []), (0, [])], (first, second))
        self.assertLogHas(first, "main(String[]) of kvotest/Probe is public static: remembered")
        self.assertLogHas(second, "main(String[]) of kvotest/Probe found public static before, its files unchanged")
        self.assertNotIn("main(String[]) of kvotest/Probe is public static: remembered", second.log)
        # A later build made main private: checked again, and refused as java refuses it.
        make_jar(self.dir / "app" / "lib" / "app.jar", "private", ["kvotest/Probe"])
        r = self.start(exe)
        self.assertEqual(r.code, 1, r)
        self.assertIn("(kvotest.Probe.main(String[]) is private)", r.stderr)
        self.assertNotIn("found public static before", "\n".join(r.log))
        self.assertNotIn("ran", [k for k, _ in self.report()])

    def test_what_the_user_sees_when_java_fails(self):
        for main, app, text in (
                ("kvotest.Mian", {}, "java.lang.ClassNotFoundException: kvotest.Mian"),
                ("kvotest.Throw", dict(app_entries=["kvotest/Throw"]),
                 "java.lang.IllegalStateException: thrown by the application"),
                ("kvotest.BadInit", dict(app_entries=["kvotest/BadInit"]), "java.lang.ExceptionInInitializerError\n"
                 "Caused by: java.lang.IllegalStateException: the application's static initialiser failed"),
                ("kvotest.Mains$PrivateOnly", dict(app_entries=["kvotest/Mains"]),
                 "java.lang.NoSuchMethodException: kvotest.Mains$PrivateOnly has no main method to start "
                 "(kvotest.Mains$PrivateOnly.main(String[]) is private): write static void main(String[] args), "
                 "static void main(), void main(String[] args) or void main(), with any access but private, "
                 "or extend javafx.application.Application"),
                # An interface's static main is not inherited.
                ("kvotest.Mains$FromInterface", dict(app_entries=["kvotest/Mains"]),
                 "java.lang.NoSuchMethodException: kvotest.Mains$FromInterface has no main method to start: "
                 "write static void main(String[] args), static void main(), void main(String[] args) or void main(), "
                 "with any access but private, or extend javafx.application.Application"),
                ("kvotest.FxShaped", dict(app_tree="toolkit", app_entries=["kvotest/FxShaped"]),
                 "java.lang.NoClassDefFoundError: kvotest.FxShaped needs the JavaFX toolkit, which is on neither "
                 "the class path nor the module path (javafx.application.Application is missing): add its jars "
                 "to ClassPath, or --module-path with its folder and --add-modules javafx.controls to VmOptions")):
            with self.subTest(main):
                exe = self.packed_app(main, "ExecutableType = 1", where=self.dir / main, **app)
                r = self.start(exe)
                self.assertEqual(r.code, 1, r)
                # No message records: the built-in text, with the exception.
                self.assertEqual(self.dialog_texts(r), ["The application could not be started.\n\n" + text])
                self.assertLogHas(r, text.split("\n")[0])
                self.assertTrue(any(l.startswith("\tat ") for l in r.log), "the stack trace is in the log")
        self.assertEqual(self.values("init"), ["main"])
        # A console launcher (ExecutableType left out) says it on standard error.
        exe = self.packed_app("kvotest.Mian", where=self.dir / "console")
        r = self.start(exe)
        self.assertEqual((r.code, r.dialogs), (1, []), r)
        self.assertIn("The application could not be started.\n\njava.lang.ClassNotFoundException: kvotest.Mian",
                      r.stderr.replace("\r\n", "\n"))
        # Started as Explorer starts it, without a standard error: the dialog.
        r = self.start(exe, std_handles="<none>")
        self.assertEqual(r.code, 1, r)
        self.assertEqual(self.dialog_texts(r),
                         ["The application could not be started.\n\njava.lang.ClassNotFoundException: kvotest.Mian"])

    def test_starts_leave_tmp_as_they_found_it(self):
        # Nothing of the Java half is written, so nothing is left and
        # nothing needs sweeping: what looks like the copies that earlier
        # builds left (a link to a user's folder, names that only Unicode
        # case folding makes alike, a user's own folder) stays as it is.
        users = self.dir / "users-folder"
        users.mkdir()
        (users / "kvo-runtime.jar").write_bytes(b"the user's own")
        (users / "notes.txt").write_text("the user's notes")
        look_alikes = {"kvo1A2B.tmp_dir12345": None, "kvo2024_dir1": "kvo-runtime.jar", "kvo2024": "",
                       "\u212avo2_dir1": "kvo-runtime.jar", "\u212avo2": "", "kvo3_d\u0130r1": "kvo-runtime.jar"}
        for name, content in look_alikes.items():
            if content is None:
                (self.tmp / name).symlink_to(users, target_is_directory=True)
            elif content:
                (self.tmp / name).mkdir()
                (self.tmp / name / content).write_bytes(b"PK\x03\x04")
            else:
                (self.tmp / name).write_bytes(b"")
        stale = time.time() - 2 * 3600
        for path in [*self.tmp.rglob("*"), *users.iterdir()]:
            os.utime(path, (stale, stale), follow_symlinks=False)
        before = sorted(str(p.relative_to(self.tmp)) for p in self.tmp.rglob("*"))
        exe = self.packed_app("kvotest.Probe", vm_options="-Dkvotest.properties=korvo.tempDir")
        for start in range(3):
            r = self.start(exe, str(start), log=False)
            self.assertEqual((r.code, r.dialogs), (0, []), r)
        self.assertEqual(self.values("property"), ["korvo.tempDir\t"] * 3)
        self.assertEqual(sorted(str(p.relative_to(self.tmp)) for p in self.tmp.rglob("*")), before)
        self.assertTrue((self.tmp / "kvo1A2B.tmp_dir12345").is_symlink())
        self.assertEqual(sorted(p.name for p in users.iterdir()), ["kvo-runtime.jar", "notes.txt"])
        self.assertEqual((users / "kvo-runtime.jar").read_bytes(), b"the user's own")

    def test_a_signed_launcher_and_its_rebuild_run_main(self):
        # Signing appends behind the classes; a dump of the signed launcher
        # built again is the launcher as packed.
        for tool in ("openssl", "osslsigncode"):
            if not shutil.which(tool):
                self.fail(f"{tool} is missing (scripts/install-deps.sh)")
        exe = self.packed_app("kvotest.Probe", "ExecutableType = 1")
        key, cert, signed = self.dir / "key.pem", self.dir / "cert.pem", self.dir / "signed.exe"
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                        "-days", "2", "-subj", "/CN=kvo realvm test"], check=True, capture_output=True)
        subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-in", exe, "-out", signed],
                       check=True, capture_output=True)
        for args in (["dump", "--out", self.dir / "dump.kvo", signed],
                     ["build", "--stub", STUB, "--config", self.dir / "dump.kvo", "--out", self.dir / "again.exe"]):
            done = subprocess.run([str(PACKER), *map(str, args)], capture_output=True, text=True)
            self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual((self.dir / "again.exe").read_bytes(), exe.read_bytes())
        for launcher in (signed, self.dir / "again.exe"):
            with self.subTest(launcher.name):
                self.report_path.unlink(missing_ok=True)
                r = self.start(launcher, "signed")
                self.assertEqual((r.code, r.dialogs), (0, []), r)
                self.assertEqual(self.values_of("arg"), ["signed"])

    def test_an_older_stubs_launcher_with_the_jar_included_still_runs(self):
        # A stub older than the classes' form gets kvo-runtime.jar as an
        # included file, as older packers packed every launcher; such a
        # launcher extracts it and runs as before, holding its runtimes to
        # Java 8 all the same.
        image = bytearray(STUB.read_bytes())
        mark = image.index(b"Java half: classes at (record RuntimeClasses)")
        image[mark:mark + 4] = b"Xava"
        older = self.dir / "older-stub.exe"
        older.write_bytes(image)
        make_runtime_home(self.dir / "jre", vm_types=("server",), library=str(JVM_DLL), dependency=False)
        make_jar(self.dir / "lib" / "app.jar", "app", ["kvotest/Probe"])
        make_jar(self.dir / "lib" / "report.jar", "launcher", ["com/korvo/runtime/Report"])
        exe = pack(self.dir, "MainClass = kvotest.Probe\nClassPath = A1.\\lib\\app.jar;A1.\\lib\\report.jar\n"
                             "JreSearchSequence = B.\\jre\nMinJavaVersion = 1.6\n"
                             f'VmOptions = "-Dkvotest.report={winpath(self.report_path)}" '
                             "-Dkvotest.properties=java.class.path\n", stub=older)
        r = self.start(exe, "older")
        self.assertEqual((r.code, r.dialogs), (0, []), r)
        self.assertEqual(self.values_of("arg"), ["older"])
        props = dict(v.split("\t", 1) for v in self.values("property"))
        self.assertRegex(props["java.class.path"].split(";")[0], r"_dir-?\d+\\kvo-runtime\.jar$")
        self.assertLogHas(r, "lower bound 1.6 taken as 1.8: the launcher's Java half (kvo-runtime.jar) needs "
                             "Java 8 or later")

    def test_runtimes_older_than_java_8_are_never_chosen(self):
        # The first runtime of the search is a Java 7: with the Java half
        # packed it is passed over, whatever the lower bound says, and the
        # log says so; without the Java half the bound is as written.
        for bound, half, chosen in (("", True, "jre8"), ("MinJavaVersion = 1.6", True, "jre8"),
                                    ("MinJavaVersion = 7", True, "jre8"), ("MinJavaVersion = 1.6", False, "jre7")):
            with self.subTest(bound=bound, half=half):
                where = self.dir / f"{bound[-3:].strip(' =')}-{half}"
                for home, version in (("jre7", "1.7.0_80"), ("jre8", "1.8.0_402")):
                    make_runtime_home(where / home, version, vm_types=("server",), library=str(JVM_DLL),
                                      dependency=False)
                make_jar(where / "lib" / "app.jar", "app", ["kvotest/Probe"])
                lines = ["MainClass = kvotest.Probe", "JreSearchSequence = B.\\jre7;B.\\jre8", bound]
                if half:
                    make_jar(where / "lib" / "report.jar", "launcher", ["com/korvo/runtime/Report"])
                    lines.append("ClassPath = A1.\\lib\\app.jar;A1.\\lib\\report.jar")
                else:
                    # A launcher class of the application's own.
                    make_jar(where / "lib" / "launcher.jar", "launcher", LAUNCHER_CLASSES)
                    lines += ["ClassPath = A1.\\lib\\app.jar;A1.\\lib\\launcher.jar", "[kvo-runtime]", "include = no"]
                exe = pack(where, "\n".join(lines) + "\n")
                r = self.start(exe)
                self.assertEqual((r.code, r.dialogs), (0, []), r)
                loaded = [l.lower() for l in r.log if l.startswith("Trying to load JVM-DLL from ")]
                self.assertEqual(len(loaded), 1, r)
                self.assertIn(f"\\{chosen}\\", loaded[0])
                self.assertEqual(any("taken as 1.8" in l for l in r.log), half)

    def test_the_applications_handler_decides(self):
        exe = self.packed_app("kvotest.Handled", "ExecutableType = 1",
                              app_entries=["kvotest/Handled", "kvotest/LateThread"])
        r = self.start(exe, "1500")
        self.assertEqual((r.code, r.dialogs), (1, []), r)
        self.assertEqual(self.values("handler"), ["main\tjava.lang.IllegalStateException: for the application's handler"])
        # Its other threads ran to their end, as under java.
        self.assertEqual(self.values("worker"), ["done"])
        self.assertLogHas(r, "the application's handler took the exception: no message, exit code 1")

    def test_output_files(self):
        logs = self.dir / "logs"

        def run(records, *starts):
            exe = self.packed_app("kvotest.Prints", "ExecutableType = 1", *records, app_entries=["kvotest/Prints"])
            for start in starts:
                r = self.start(exe, start)
                self.assertEqual((r.code, r.dialogs), (0, []), r)

        def text(name):
            return (logs / name).read_bytes().decode().replace("\r\n", "\n")

        both = ["OutputFile1Enabled = 1", "OutputFile1 = logs\\app.log", "OutputFile2Enabled = 1",
                "OutputFile2 = logs\\app.log"]
        run(both + ["LauncherClassFlag = 1"], "1", "2")
        self.assertEqual(text("app.log"), "out 1\nerr 1\nout 2\nerr 2\n", "one file, appended to")
        run(both, "3")
        self.assertEqual(text("app.log"), "out 3\nerr 3\n", "replaced without the flag")
        run(["OutputFile1Enabled = 1", "OutputFile1 = logs\\out.log", "OutputFile2Enabled = 1",
             "OutputFile2 = logs\\err.log"], "4")
        self.assertEqual((text("out.log"), text("err.log")), ("out 4\n", "err 4\n"))
        props = dict(v.split("\t", 1) for v in self.values("property"))
        self.assertEqual(props["korvo.outputFile1"], winpath(self.dir) + "\\logs\\out.log")
        self.assertEqual(props["korvo.guiApplication"], "true")
        # A name beginning with "$" is the application's: nothing redirected.
        self.report_path.unlink()
        run(["OutputFile1Enabled = 1", "OutputFile1 = $APPLOG"], "5")
        self.assertIn("korvo.outputFile1\t$APPLOG", self.values("property"))
        self.assertEqual(text("out.log"), "out 4\n")
        # The error stream's file alone.
        run(["OutputFile2Enabled = 1", "OutputFile2 = logs\\err-only.log"], "6")
        self.assertEqual(text("err-only.log"), "err 6\n")

    def test_first_run(self):
        marker = self.dir / ".vandrel" / "firstrun"
        marker.parent.mkdir()
        marker.write_text("")
        for answer, main_runs, marker_stays in (("false", False, True), ("true", True, False), ("true", True, False)):
            with self.subTest(answer=answer, marker=marker.exists()):
                self.report_path.unlink(missing_ok=True)
                ran_before = marker.exists()
                exe = self.packed_app("kvotest.Probe", "ProductFlavor = i", "InstallationDirectory = .",
                                      app_entries=["kvotest/Probe", "kvotest/Setup"],
                                      vm_options=f"-Dkorvo.firstRunClass=kvotest.Setup -Dkvotest.firstRunAnswer={answer}")
                r = self.start(exe)
                self.assertEqual((r.code, r.dialogs), (0, []), r)
                self.assertEqual(self.values("first-run"), ["ran"] if ran_before else [])
                self.assertEqual(self.values("args"), ["0"] if main_runs else [])
                self.assertEqual(marker.exists(), marker_stays)


if __name__ == "__main__":
    unittest.main()
