"""Starting the application: options, class path, main's arguments and the
failure paths, seen from a recording jvm.dll."""
import re
import shutil
import unittest

import struct
from pathlib import Path

from harness import SCRAMBLE_MASK, LauncherCase, base_block, winpath
from jvmstart import (FIRST_RUN, WIN_LAUNCHER_E, WIN_LAUNCHER_I, Record, copy_classes, make_jar,
                      recording_home)
from packing import pack


def installer_block(**extra):
    """The shipped style: installer flavour, a private runtime in jre\\."""
    b = base_block()
    for rid, text in [(102, "1"), (103, "output.log"), (104, "1"), (105, "output.log"), (106, "1"),
                      (121, "A0.\\lib\\app.jar;D0.\\lang"), (122, "com.example.Main"),
                      (123, '-Xmx192m -Xms35m "-Dvandrel.launcherId=5376" -Dvandrel.swt=false'),
                      (125, "1"), (126, "1.6"), (128, "B.\\jre"), (2001, "i"), (10003, "."),
                      (1010, "Couldn't load main class."), (1011, "Main method not found.")]:
        b.set(rid, text)
    for rid, text in extra.items():
        b.set(int(rid.lstrip("r")), text)
    return b


class JvmCase(LauncherCase):
    def app(self, block, script=None, flavour_i=True):
        """Launcher, private runtime and the launcher class's archive."""
        self.vm = recording_home(self.dir / "jre", script)
        if flavour_i:
            make_jar(self.dir / ".vandrel" / "vdlruntime.jar", WIN_LAUNCHER_I, FIRST_RUN)
        return self.make_exe(block)

    def start(self, exe, args="", **kw):
        env = {"MANPATH": "<unset>"}
        env.update(kw.pop("env", {}))
        r = self.run_launcher(exe, args, env=env, **kw)
        return r, Record(self.vm)

    def path(self, *parts):
        return "\\".join([winpath(self.dir)] + list(parts))


class OptionsAndArguments(JvmCase):
    def test_shipped_style_start(self):
        exe = self.app(installer_block())
        (self.dir / "app.vmoptions").write_text("  -Dfrom.file=1  \r\n# comment\r\n\r\n-Dx=a#b\r\n")
        r, rec = self.start(exe, "-J-Dfrom.cmd=1 first \"two words\"")
        self.assertEqual(r.code, 0, r)
        self.assertEqual(r.dialogs, [])
        exe_path = self.path("app.exe")
        # The VM's print and abort hooks come first, so that it can say why
        # it refuses any option after them.
        self.assertEqual([r for r in rec.rows if r[0] == "option"][:2],
                         [["option", "vfprintf", "extraInfo"], ["option", "abort", "extraInfo"]])
        o = rec.options[2:]
        self.assertEqual(o[0], "-Dkorvo.semaphoreName=Local\\" + exe_path.lower().replace("\\", "_") + "0")
        self.assertEqual(o[1:5], ["-Dkorvo.isVandrel=true", f"-Dkorvo.moduleName={exe_path}",
                                 f"-Dsun.java.command={exe_path}", "-Dkorvo.tempDir="])
        self.assertEqual(o[5], "-Dkorvo.unextractedPosition=0")
        self.assertTrue(o[6].startswith("-Djava.library.path="), o[6])
        self.assertIn(self.path("jre", "bin").lower(), o[6].lower(), "the runtime's bin directory is on PATH")
        self.assertRegex(o[7], r"^-Dkorvo\.consoleCodepage=cp\d+$")
        self.assertEqual(o[8:], [
            "-Xmx192m", "-Xms35m", "-Dvandrel.launcherId=5376", "-Dvandrel.swt=false",
            "-Dfrom.cmd=1",
            "-Dfrom.file=1", "-Dx=a#b",
            "-Djava.class.path=" + self.path(".vandrel", "vdlruntime.jar") + ";"
            + self.path(".", "lib", "app.jar") + ";" + self.path(".", "lang") + ";",
        ])
        self.assertTrue(rec.has("create", "version=0x10002", f"options={len(o) + 2}", "ignoreUnrecognized=1"))
        self.assertEqual(rec.args, ["true", "com.example.Main", self.path("output.log"),
                                    self.path("output.log"), "true", exe_path, "first", "two words"])
        self.assertTrue(rec.has("main", "8", WIN_LAUNCHER_I))
        self.assertEqual(rec.keys()[-2:], ["destroy", "destroy"])
        for line in ("launching program", "Creating JVM", "JVM created", "main class: " + WIN_LAUNCHER_I,
                     "param count: 8", "calling main", "main returned", "dest JVM", "launch done"):
            self.assertLogHas(r, line)
        self.assertLogHas(r, f"vmoption count {len(o)}")
        self.assertLogHas(r, f"vmoption {len(o) - 1}: {o[-1]}")

    def test_korvo_flavour_finds_its_class_in_a_directory(self):
        b = installer_block(r2001="e", r121="D1.\\classes", r102="0", r104="0", r106="0", r124="--fixed 'a b'")
        copy_classes(self.dir / "classes", WIN_LAUNCHER_E)
        exe = self.app(b, flavour_i=False)
        r, rec = self.start(exe, "-Dsun.locale.formatasdefault=true user")
        self.assertEqual(r.code, 0, r)
        self.assertNotIn("-Dkorvo.isVandrel=true", rec.options)
        self.assertEqual(rec.options[-1], "-Djava.class.path=" + self.path(".", "classes") + ";")
        self.assertEqual(rec.args, ["true", "com.example.Main", "", "", "false", self.path("app.exe"),
                                    "--fixed", "a b", "user"])
        self.assertTrue(rec.has("findclass", WIN_LAUNCHER_E, "found"))

    def test_j_options_only_when_accepted(self):
        for accept, expect_option in (("1", True), ("0", False)):
            with self.subTest(accept=accept):
                exe = self.app(installer_block(r125=accept))
                r, rec = self.start(exe, "-J-Xmx512m")
                self.assertEqual(r.code, 0)
                self.assertEqual("-Xmx512m" in rec.options, expect_option)
                self.assertEqual("-J-Xmx512m" in rec.args, not expect_option)
                (self.vm / "jvm-record.txt").unlink()

    def test_user_interface_language_options(self):
        exe = self.app(installer_block())
        cases = {
            "-Dsun.locale.formatasdefault=false": ["-Dsun.locale.formatasdefault=false",
                                                   "-Duser.language=de", "-Duser.country=CH"],
            "-Dsun.locale.formatasdefault=true": ["-Dsun.locale.formatasdefault=true"],
        }
        for args, expected in cases.items():
            with self.subTest(args):
                r, rec = self.start(exe, args, unix_env={"LC_ALL": "de_CH.UTF-8"})
                self.assertEqual(r.code, 0)
                i = rec.options.index("-Dvandrel.swt=false")
                self.assertEqual(rec.options[i + 1:-1], expected)
                self.assertNotIn(args, rec.args, "the locale switch is the launcher's, not the application's")
                (self.vm / "jvm-record.txt").unlink()

    def test_options_keep_every_letter_of_the_code_page(self):
        # Installed in a folder whose name holds letters of cp1252 above
        # U+00FF (Ž is U+017D, € is U+20AC): VmOptions and -J arguments
        # arrive whole; a letter cp1252 lacks ends its option, with an error.
        base = self.dir
        self.dir = base / "\u017dilina \u20ac"
        self.dir.mkdir()
        self.addCleanup(shutil.rmtree, base, True)
        vm_options = '-Xmx192m "-Dapp.dir=${KORVO_EXEDIR}lib" -Dsym=a\u20acb -Dvandrel.swt=false'
        exe = self.app(installer_block(r123=vm_options))
        r, rec = self.start(exe, "-J-Dcmd=\u017d\u20ac -J-Dcut=ab\u010dd first")
        self.assertEqual(r.code, 0, r)
        o = rec.options
        self.assertIn(f"-Dapp.dir={winpath(self.dir)}\\lib", o)
        self.assertIn("-Dsym=a\u20acb", o)
        self.assertIn("-Dcmd=\u017d\u20ac", o)
        self.assertIn("-Dcut=ab", o)
        self.assertLogHas(r, "ERROR: option -Dcut=ab cut before character U+010D, which the ANSI code page "
                             "(1252) lacks")
        self.assertEqual([l for l in r.log if l.startswith("ERROR: option")], [
            "ERROR: option -Dcut=ab cut before character U+010D, which the ANSI code page (1252) lacks"])

    def test_locale_choice_and_option_read_the_same_converted_text(self):
        # "true" followed by a letter cp1252 lacks arrives as "...=true": the
        # locale choice must take it as "true" too, and add no language.
        exe = self.app(installer_block())
        r, rec = self.start(exe, "-Dsun.locale.formatasdefault=true\u010d")
        self.assertEqual(r.code, 0)
        i = rec.options.index("-Dvandrel.swt=false")
        self.assertEqual(rec.options[i + 1:-1], ["-Dsun.locale.formatasdefault=true"])
        self.assertLogHas(r, "sun.locale.formatasdefault is true")

    def test_output_file_names(self):
        # An expanded name that starts with "$" (a reference left unexpanded)
        # is handed on as it is; any other is made absolute against the
        # launcher's directory; a disabled one is empty.
        cases = [
            (dict(r103="${KVO_TEST_UNDEFINED}\\out.log", r105="logs\\out.log"),
             ["${KVO_TEST_UNDEFINED}\\out.log", self.path("logs", "out.log")]),
            (dict(r102="0", r105="$plain"), ["", "$plain"]),
            (dict(r103="C:\\somewhere\\.\\x.log", r104="0"), ["C:\\somewhere\\x.log", ""]),
        ]
        for records, expected in cases:
            with self.subTest(records):
                exe = self.app(installer_block(**records))
                r, rec = self.start(exe, env={"KVO_TEST_UNDEFINED": "<unset>"})
                self.assertEqual(r.code, 0, r)
                self.assertEqual(rec.args[2:4], expected)
                (self.vm / "jvm-record.txt").unlink()

    def test_arguments_beyond_latin1_reach_main_whole(self):
        exe = self.app(installer_block())
        r, rec = self.start(exe, "\u65e5\u672c\u8a9e \u00e9t\u00e9 \u0416")
        self.assertEqual(r.code, 0)
        self.assertEqual(rec.args[6:], ["\u65e5\u672c\u8a9e", "\u00e9t\u00e9", "\u0416"])

    def test_language_restart(self):
        exe = self.app(installer_block())
        r, rec = self.start(exe, "__vdl_lang_restart x")
        self.assertEqual(r.code, 0)
        self.assertIn("-Dkorvo.unextractedPosition=-1", rec.options)
        self.assertEqual(rec.args[6:], ["__vdl_lang_restart", "x"])

    def test_manpath_suppresses_console_codepage(self):
        exe = self.app(installer_block())
        r, rec = self.start(exe, env={"MANPATH": "/usr/man"})
        self.assertEqual(r.code, 0)
        self.assertFalse([o for o in rec.options if o.startswith("-Dkorvo.consoleCodepage")])

    def test_the_start_ends_after_the_application_threads(self):
        # The launcher itself waits for them when the JVM lists its threads,
        # so that its own threads can let go of the JVM before it is
        # destroyed; otherwise DestroyJavaVM does the waiting.
        for script, expected in (
                ({}, [("app-thread", "started"), ("join", "app"), ("app-thread", "ended"), ("destroy", "begin"),
                      ("destroy", "end")]),
                # A listing that fails once is asked again, not given up.
                ({"list": "fail-once"}, [("app-thread", "started"), ("list", "failed"), ("join", "app"),
                                         ("app-thread", "ended"), ("destroy", "begin"), ("destroy", "end")]),
                ({"threads": "hidden"}, [("app-thread", "started"), ("destroy", "begin"), ("app-thread", "ended"),
                                         ("destroy", "end")])):
            with self.subTest(script=script):
                exe = self.app(installer_block(), script=dict(script, **{"main-thread-ms": "1500"}))
                (self.vm / "jvm-record.txt").unlink(missing_ok=True)
                r, rec = self.start(exe)
                self.assertEqual(r.code, 0)
                keys = [tuple(row) for row in rec.rows if row[0] in ("app-thread", "destroy", "join", "list")]
                self.assertEqual(keys, expected)


class OptionsFiles(JvmCase):
    def test_includes_are_relative_to_the_including_file_and_directives_apply(self):
        b = installer_block(r123="-Dfirst=1 -include-options conf\\a.vmoptions")
        exe = self.app(b)
        (self.dir / "conf" / "sub").mkdir(parents=True)
        (self.dir / "conf" / "a.vmoptions").write_text(
            "-Da=1\n-include-options sub\\b.vmoptions\n-classpath/a one.jar\n-classpath/a two.jar\n")
        (self.dir / "conf" / "sub" / "b.vmoptions").write_text("-Db=1\n-classpath/p pre.jar\n")
        (self.dir / "app.exe.vmoptions").write_text("-Ddefault=1\n")
        r, rec = self.start(exe)
        self.assertEqual(r.code, 0, r)
        i = rec.options.index("-Dfirst=1")
        self.assertEqual(rec.options[i:i + 4], ["-Dfirst=1", "-Da=1", "-Db=1", "-Ddefault=1"])
        self.assertTrue(rec.options[-1].startswith("-Djava.class.path=pre.jar;" + self.path(".vandrel")),
                        rec.options[-1])
        self.assertTrue(rec.options[-1].endswith(self.path(".", "lang") + ";two.jar"), rec.options[-1])
        self.assertLogMatches(r, re.escape(f"adding vmoptions from <{self.path('conf', 'sub', 'b.vmoptions')}> "
                                           "(sub\\b.vmoptions) (") + r"[0-9A-Fa-f]+\)")

    def test_a_byte_order_mark_is_no_part_of_the_first_option(self):
        exe = self.app(installer_block())
        (self.dir / "app.vmoptions").write_bytes(b"\xef\xbb\xbf-Dfirst=1\r\n-include-options inc.vmoptions\r\n")
        (self.dir / "inc.vmoptions").write_bytes(b"\xef\xbb\xbf-Dincluded=1\r\n-Dnext=1\r\n")
        r, rec = self.start(exe)
        self.assertEqual(r.code, 0, r)
        i = rec.options.index("-Dfirst=1")
        self.assertEqual(rec.options[i:i + 3], ["-Dfirst=1", "-Dincluded=1", "-Dnext=1"])
        self.assertLogHas(r, "options file (default) begins with a UTF-8 byte-order mark; skipped")
        self.assertLogHas(r, f"options file {self.path('inc.vmoptions')} begins with a UTF-8 byte-order mark; skipped")

    def test_utf16_files_with_their_marks(self):
        # Notepad's "Unicode" and PowerShell 5's ">": read as UTF-16, each
        # option narrowed by the code page's rule (a letter it lacks ends the
        # option, with an error), not passed on as "\xff\xfe-...". U+201A is
        # written 1A 20: read in text mode, the file would end there.
        exe = self.app(installer_block())
        for first, second in (("utf-16-le", "utf-16-be"), ("utf-16-be", "utf-16-le")):
            with self.subTest(first=first):
                (self.dir / "app.vmoptions").write_bytes(
                    "\ufeff# c\r\n-Dfirst=caf\u00e9 \u20ac\u201a\r\n-include-options inc.vmoptions\r\n".encode(first))
                (self.dir / "inc.vmoptions").write_bytes("\ufeff-Dincluded=\u201a\r\n-Dcut=ab\u65e5cd\r\n".encode(second))
                r, rec = self.start(exe)
                self.assertEqual(r.code, 0, r)
                i = rec.options.index("-Dvandrel.swt=false")
                self.assertEqual(rec.options[i + 1:-1], ["-Dfirst=caf\u00e9 \u20ac\u201a", "-Dincluded=\u201a", "-Dcut=ab"])
                self.assertLogHas(r, "ERROR: option -Dcut=ab cut before character U+65E5, which the ANSI code page "
                                     "(1252) lacks")
                (self.vm / "jvm-record.txt").unlink()

    def test_a_file_including_itself_stops_at_the_limit(self):
        exe = self.app(installer_block())
        (self.dir / "app.vmoptions").write_text("-Dloop=1\n-include-options app.vmoptions\n")
        r, rec = self.start(exe, timeout_ms=60000)
        self.assertEqual(r.code, 0, r)
        self.assertEqual(rec.options.count("-Dloop=1"), 33)
        self.assertLogMatches(r, r"ERROR: options files nested deeper than 32 levels: .*app\.vmoptions not read")

    def test_module_options_reach_the_vm_in_the_one_word_it_reads(self):
        # Written as for the java command, in every source of options: two
        # words become one, "-p" is "--module-path"; one word and a last
        # word without its value stay as written, the latter with an error.
        vm_options = ("--add-opens java.base/java.lang=ALL-UNNAMED --add-exports=java.base/sun.nio.ch=ALL-UNNAMED "
                      "-p \"C:\\my mods\" -jar app.jar @more.txt --add-modules")
        exe = self.app(installer_block(r123=vm_options))
        (self.dir / "app.vmoptions").write_text(
            "--add-opens java.base/java.util=ALL-UNNAMED\n--limit-modules\n# the value on its own line\n"
            "java.base,java.desktop\n-cp lib\\x.jar\n--patch-module\n")
        r, rec = self.start(exe, "-J--add-reads -Jjava.base=ALL-UNNAMED user -J-Xss2m")
        self.assertEqual(r.code, 0, r)
        i = rec.options.index("--add-opens=java.base/java.lang=ALL-UNNAMED")
        self.assertEqual(rec.options[i:-1], [
            "--add-opens=java.base/java.lang=ALL-UNNAMED", "--add-exports=java.base/sun.nio.ch=ALL-UNNAMED",
            "--module-path=C:\\my mods", "-jar", "app.jar", "@more.txt", "--add-modules",
            "--add-reads=java.base=ALL-UNNAMED", "-Xss2m",
            "--add-opens=java.base/java.util=ALL-UNNAMED", "--limit-modules=java.base,java.desktop",
            "-cp lib\\x.jar", "--patch-module"])
        self.assertEqual(rec.args[6:], ["user"])
        errors = [l for l in r.log if l.startswith("ERROR: option")]
        self.assertEqual(errors, [
            "ERROR: option -jar is read by the java command only, the VM ignores it: name the class to start in "
            "the main class record and its archive in the class path record",
            "ERROR: option @more.txt is read by the java command only, the VM ignores it: write "
            "\"-include-options FILE\" instead, with one option a line in FILE",
            "ERROR: option --add-modules has no value, the VM ignores it: write --add-modules=VALUE",
            "ERROR: option -cp lib\\x.jar is read by the java command only, the VM ignores it: name the archives "
            "in the class path record, or write a line \"-classpath/a PATH\" in an options file",
            "ERROR: option --patch-module has no value, the VM ignores it: write --patch-module=VALUE"])

    def test_classpath_directive_replaces_the_configured_entries(self):
        exe = self.app(installer_block())
        (self.dir / "app.vmoptions").write_text("-classpath C:\\only.jar\n")
        r, rec = self.start(exe)
        self.assertEqual(rec.options[-1], "-Djava.class.path=" + self.path(".vandrel", "vdlruntime.jar")
                         + ";C:\\only.jar")


def included(files):
    """Included-file records and the data behind the block, as laid out there."""
    names = ";".join(files)
    tail = b"".join(struct.pack("<q", len(d)) + bytes(b ^ SCRAMBLE_MASK for b in d) for d in files.values())
    return {"r2002": str(len(files)), "r2003": names}, tail


class ClassPathSources(JvmCase):
    def test_temporary_directory_archives_come_first_and_stay_after_a_normal_run(self):
        files = {"b.zip": b"zip", "a.jar": b"jar", "user\\c.zip": b"z2", "user\\d.jar": b"j2"}
        records, tail = included(files)
        self.vm = recording_home(self.dir / "jre")
        make_jar(self.dir / ".vandrel" / "vdlruntime.jar", WIN_LAUNCHER_I, FIRST_RUN)
        exe = self.make_exe(installer_block(**records), tail=tail)
        r, rec = self.start(exe)
        self.assertEqual(r.code, 0, r)
        temp = [o for o in rec.options if o.startswith("-Dkorvo.tempDir=")][0].split("=", 1)[1]
        self.assertTrue(temp, "a temporary directory was made")
        cp = rec.options[-1]
        self.assertTrue(cp.startswith("-Djava.class.path=" + ";".join(
            [temp + "\\a.jar", temp + "\\b.zip", temp + "\\user\\d.jar", temp + "\\user\\c.zip"]) + ";"
            + self.path(".vandrel")), cp)
        self.assertNotIn("-Dkorvo.unextractedPosition=0", rec.options)
        unix_temp = "/" + temp[3:].replace("\\", "/") if temp[:2].upper() == "Z:" else None
        self.assertIsNotNone(unix_temp, temp)
        self.assertTrue((Path(unix_temp) / "user" / "d.jar").exists(), "the application keeps its files")

    def test_entry_kinds_and_variables(self):
        (self.dir / "scan").mkdir()
        for name in ("z.zip", "a.jar", "readme.txt"):
            (self.dir / "scan" / name).write_text("x")
        b = installer_block(r121="A0missing.jar;S0scan;E0CP_ONE;E0CP_TWO;E0CP_UNSET;X1whatever")
        exe = self.app(b)
        r, rec = self.start(exe, env={"CP_ONE": '"C:\\with space\\one.jar"', "CP_TWO": "C:\\two.jar;",
                                      "CP_UNSET": "<unset>"})
        self.assertEqual(r.code, 0, r)
        self.assertTrue(rec.options[-1].endswith(
            ";" + self.path("missing.jar") + ";" + self.path("scan", "a.jar") + ";" + self.path("scan", "z.zip")
            + ";C:\\with space\\one.jar;C:\\two.jar;"), rec.options[-1])

    def test_wildcards_take_every_archive_of_the_folder_in_name_order(self):
        (self.dir / "lib" / "folder.jar").mkdir(parents=True)
        for name in ("b.jar", "A.JAR", "c.Jar", "readme.txt", "d.zip", "x.jarx"):
            (self.dir / "lib" / name).write_text("x")
        exe = self.app(installer_block(r121="A0lib\\*;A1.\\lib\\*.JAR;A0nothing\\*;A0lib\\b.jar"))
        r, rec = self.start(exe)
        self.assertEqual(r.code, 0, r)
        # The ".\\" of the second entry is dropped from what it stands for.
        archives = [self.path("lib", n) for n in ("A.JAR", "b.jar", "c.Jar")]
        self.assertTrue(rec.options[-1].endswith(";".join([""] + archives + archives + [self.path("lib", "b.jar")]) + ";"),
                        rec.options[-1])
        self.assertLogHas(r, "class path lib\\*: 3 archives in " + self.path("lib"))
        self.assertLogHas(r, "  " + self.path("lib", "A.JAR"))
        self.assertLogHas(r, "class path nothing\\*: 0 archives in " + self.path("nothing"))

    def test_a_wildcard_names_an_archive_the_code_page_cannot_hold_by_its_short_name(self):
        # On a Western code page the narrow calls would hand over "??.jar", a
        # file that does not exist; its short name is the file itself: the
        # launcher class is found in it.
        make_jar(self.dir / "lib" / "\u65e5\u672c.jar", WIN_LAUNCHER_E)
        (self.dir / "lib" / "a.jar").write_text("x")
        exe = self.app(installer_block(r2001="e", r121="A1.\\lib\\*.jar"), flavour_i=False)
        r, rec = self.start(exe)
        self.assertEqual(r.code, 0, r)
        entries = rec.options[-1].split("=", 1)[1].split(";")
        self.assertEqual(entries[0], self.path("lib", "a.jar"))
        self.assertRegex(entries[1], "^" + re.escape(self.path("lib") + "\\") + r"[!-~]+~[!-~]*\.JAR$")
        self.assertEqual(entries[2:], [""])
        self.assertTrue(rec.has("findclass", WIN_LAUNCHER_E, "found"), rec.rows)
        self.assertLogHas(r, "class path .\\lib\\*.jar: 2 archives in " + self.path("lib"))

    def test_mandatory_entries(self):
        (self.dir / "empty").mkdir()
        b = base_block(r1006="File or directory {0} not found or empty\n",
                       r1008="The environment variable {0} has to be defined")
        cases = [("A1lib\\gone.jar", "File or directory lib\\gone.jar not found or empty\n"),
                 ("S1nothere", "File or directory nothere not found or empty\n"),
                 ("E1KVO_NOT_SET", "The environment variable KVO_NOT_SET has to be defined"),
                 # A wildcard that takes nothing is missing too.
                 ("A1empty\\*.jar", "File or directory empty\\*.jar not found or empty\n")]
        for entry, message in cases:
            with self.subTest(entry):
                blk = installer_block(r121=entry)
                blk.narrow += [(1006, "File or directory {0} not found or empty\n"),
                               (1008, "The environment variable {0} has to be defined")]
                exe = self.app(blk)
                r, rec = self.start(exe, log=False, env={"KVO_NOT_SET": "<unset>"})
                self.assertEqual((r.code, [d[1] for d in r.dialogs]), (1, [message]))
                self.assertNotIn("main", rec.keys())
                (self.vm / "jvm-record.txt").unlink()
        exe = self.app(installer_block(r121="S1empty"))
        r, _ = self.start(exe)
        self.assertEqual(r.code, 0, "an existing empty directory counts as found")

    def test_a_class_path_too_long_leaves_entries_out_whole(self):
        value = "C:\\" + "x" * 7000 + ".jar"
        b = installer_block(r121=";".join(f"E0BIG{i}" for i in range(6)))
        exe = self.app(b)
        # Through the environment Wine starts with: too long for a command line.
        r, rec = self.start(exe, unix_env={f"BIG{i}": value.replace(".jar", f"{i}.jar") for i in range(6)})
        self.assertEqual(r.code, 0, r)
        cp = rec.options[-1]
        self.assertLess(len(cp), 40960)
        for piece in cp.split("=", 1)[1].split(";")[1:]:
            self.assertIn(piece, [""] + [value.replace(".jar", f"{i}.jar") for i in range(6)])
        self.assertLogMatches(r, r"ERROR: class path longer than 40959 bytes: C:\\x+\d\.jar; left out")


class Failures(JvmCase):
    def expect(self, block, script, code, dialog, log_line, args=""):
        exe = self.app(block, script)
        r, rec = self.start(exe, args)
        self.assertEqual(r.code, code, r)
        texts = [d[1].split("\n\nLog: ")[0] for d in r.dialogs]
        self.assertEqual(texts, [] if dialog is None else [dialog])
        if log_line:
            self.assertLogHas(r, log_line)
        return r, rec

    def test_creation_fails(self):
        # A VM that says nothing: message 1005 as always, {1} the likely
        # causes. One that says why through the print hook: its words fill
        # {1} and are in the log, whether it returns an error or ends the
        # process; they still reach its standard error.
        told = "The JVM could not be started.\n{1}"
        words = "Error occurred during initialization of VM\nCould not reserve enough space for 3145728KB object heap"
        causes = ("The Java VM could not be created. The maximum heap size (-Xmx) might be too large or an "
                  "antivirus or firewall tool could block the execution.")
        cases = [({"create": "fail"}, None, "The JVM could not be started.", "-1"),
                 ({"create": "fail"}, told, "The JVM could not be started.\n" + causes, "-1"),
                 ({"create": "fail-heap"}, None, "The JVM could not be started.", "-4"),
                 ({"create": "fail-heap"}, told, "The JVM could not be started.\n" + words, "-4"),
                 ({"create": "abort-heap"}, told, "The JVM could not be started.\n" + words, None)]
        for script, message, shown, returned in cases:
            with self.subTest(script=script, message=message):
                block = installer_block(**({"r1005": message} if message else {}))
                r, rec = self.expect(block, script, 1, shown, "ERROR: could not initialize JVM")
                said = [line for line in r.log if line.startswith("JVM: ")]
                if script["create"] == "fail":
                    self.assertEqual(said, [])
                else:
                    self.assertEqual(said, ["JVM: " + line for line in words.split("\n")])
                    self.assertIn(words, r.stderr.replace("\r\n", "\n"))
                if returned:
                    self.assertLogHas(r, f"ERROR: JNI_CreateJavaVM returned {returned}")
                else:
                    self.assertLogHas(r, "ERROR: the JVM ends the process while starting")
                    self.assertTrue(rec.has("create", "aborts"))
                (self.vm / "jvm-record.txt").unlink()
        # One print of the size of the launcher's own buffer, and one past it:
        # whole, and what follows on lines of its own.
        for size in (1024, 1025):
            with self.subTest(size=size):
                r, rec = self.expect(installer_block(), {"create": "fail-heap", "say": str(size)}, 1,
                                     "The JVM could not be started.", "ERROR: could not initialize JVM")
                self.assertEqual([line for line in r.log if line.startswith("JVM: ")],
                                 ["JVM: " + "x" * (size - 1)] + ["JVM: " + line for line in words.split("\n")])
                self.assertIn("x" * (size - 1) + "\n" + words, r.stderr.replace("\r\n", "\n"))
                (self.vm / "jvm-record.txt").unlink()

    def test_launcher_class_or_main_missing(self):
        b = installer_block(r2001="x")  # looks for the korvo class, which no archive holds
        self.expect(b, None, 1, "Couldn't load main class.", "ERROR: could not find main class")
        self.expect(installer_block(), {"missing-method": "main"}, 1, "Main method not found.",
                    "ERROR: could not find main method")
        # {1} names what the VM reported missing; records left out read as built in.
        b = installer_block(r2001="x", r1010="Couldn't load main class: {1}")
        self.expect(b, {"exception": "java.lang.NoClassDefFoundError: com/korvo/runtime/WinLauncher"}, 1,
                    "Couldn't load main class: java.lang.NoClassDefFoundError: com/korvo/runtime/WinLauncher",
                    "java.lang.NoClassDefFoundError: com/korvo/runtime/WinLauncher")
        b = installer_block()
        b.narrow = [(rid, text) for rid, text in b.narrow if rid != 1011]
        self.expect(b, {"missing-method": "main"}, 1, "Main method not found.\n\njava.lang.RuntimeException: scripted",
                    "ERROR: could not find main method")

    def test_main_leaves_an_exception(self):
        r, rec = self.expect(installer_block(), {"main": "throw"}, 1, "The JVM could not be started.",
                             "ERROR: an exception occured")
        self.assertLogHas(r, "ERROR: could not call main")
        # Handed to the thread's handler as java does: the group reports it.
        self.assertIn(["uncaught", "root group"], rec.rows)
        self.assertIn("Exception in thread \"main\"", r.stderr)
        self.assertNotIn("destroy", rec.keys())
        # {1} is the exception's text; the log has it too.
        exception = "java.lang.IllegalStateException: caf\u00e9 \u65e5\u672c"
        r, rec = self.expect(installer_block(r1005="Start failed:\n{1}"), {"main": "throw", "exception": exception},
                             1, "Start failed:\njava.lang.IllegalStateException: caf\u00e9 ??",
                             "java.lang.IllegalStateException: caf\u00e9 ??")
        # A handler of the application's own decides: no message, the
        # application's threads run to their end, exit code 1.
        for handler, throws in (("default", "no"), ("thread", "no"), ("default", "yes")):
            with self.subTest(handler=handler, throws=throws):
                (self.vm / "jvm-record.txt").unlink()
                script = {"main": "throw", "handler": handler, "handler-throws": throws, "main-thread-ms": "300"}
                if throws == "yes":
                    # A handler that throws decided nothing: the launcher's message.
                    self.expect(installer_block(), script, 1, "The JVM could not be started.",
                                "ERROR: the uncaught-exception handler failed: java.lang.RuntimeException: scripted")
                    continue
                r, rec = self.expect(installer_block(), script, 1, None,
                                     "the application's handler took the exception: no message, exit code 1")
                self.assertIn(["uncaught", f"{handler} handler"], rec.rows)
                self.assertEqual([k for k in rec.keys() if k in ("app-thread", "destroy")],
                                 ["app-thread", "app-thread", "destroy", "destroy"])

    def test_internal_assertions_end_with_a_message(self):
        for script, expression in (({"array": "fail"}, "paramArray"), ({"string": "fail"}, "jstr")):
            with self.subTest(expression):
                self.expect(installer_block(), script, 1,
                            f"Internal error: assertion failed: {expression} (JavaVMLauncher)",
                            f"ERROR: assertion failed: {expression} (JavaVMLauncher)")
                (self.vm / "jvm-record.txt").unlink()


class FirstRun(JvmCase):
    def marker(self):
        (self.dir / ".vandrel").mkdir(exist_ok=True)
        (self.dir / ".vandrel" / "firstrun").write_text("")

    def test_without_marker_first_run_is_not_looked_up(self):
        r, rec = self.start(self.app(installer_block()))
        self.assertEqual(r.code, 0)
        self.assertFalse([row for row in rec.rows if FIRST_RUN in row])

    def test_answers_of_first_run(self):
        for answer, main_called in (("true", True), ("false", False), ("throw", False)):
            with self.subTest(answer):
                exe = self.app(installer_block(), {"firstRun": answer})
                self.marker()
                r, rec = self.start(exe)
                self.assertEqual(r.code, 0, r)
                self.assertTrue(rec.has("call", "firstRun", answer))
                self.assertEqual("main" in rec.keys(), main_called)
                if not main_called:
                    self.assertLogHas(r, "checkFirstRun stopped further execution")
                (self.vm / "jvm-record.txt").unlink()

    def test_missing_class_or_method(self):
        exe = self.app(installer_block(), {"missing-method": "firstRun"})
        self.marker()
        r, _ = self.start(exe)
        self.assertEqual((r.code, [d[1].split("\n\nLog: ")[0] for d in r.dialogs]),
                         (1, ["An internal error occurred (error code: 15)"]))
        make_jar(self.dir / ".vandrel" / "vdlruntime.jar", WIN_LAUNCHER_I)  # no FirstRun class
        (self.vm / "jvm-script.txt").unlink()
        r, _ = self.start(exe)
        self.assertEqual((r.code, [d[1].split("\n\nLog: ")[0] for d in r.dialogs]),
                         (1, ["An internal error occurred (error code: 14)"]))


class TheJavaHalf(JvmCase):
    """The Java half's classes, read from the launcher's own file and defined
    in the VM; what the user is told when the file is damaged or the VM
    refuses them."""

    def packed(self, script=None):
        self.vm = recording_home(self.dir / "jre", script)
        return pack(self.dir, "MainClass = test.Main\nJreSearchSequence = B.\\jre\nExecutableType = 1\n")

    def test_defined_in_the_class_path_loader_before_the_launcher_class(self):
        r, rec = self.start(self.packed())
        self.assertEqual((r.code, r.dialogs), (0, []), r)
        half = [d for d in rec.values("define-class") if d[0] != "com/korvo/runtime/LauncherMainThread"]
        self.assertIn(["com/korvo/runtime/WinLauncher", "class path loader", "class file"], half)
        self.assertTrue(all(d[1:] == ["class path loader", "class file"] for d in half), half)
        steps = [(row[0], row[1]) for row in rec.rows if row[0] in ("define-class", "findclass")]
        launcher = "com/korvo/runtime/WinLauncher"
        self.assertLess(steps.index(("define-class", launcher)), steps.index(("findclass", launcher)))
        self.assertEqual(len(rec.values("main")), 1)
        self.assertIn("-Dkorvo.tempDir=", rec.options)
        self.assertLogHas(r, "Included files: 0")

    def test_a_damaged_file_or_a_refusing_vm_is_told(self):
        def flipped(data):
            data[-100] ^= 0x20
            return data

        cases = [("a flipped byte", flipped, None, "its checksum does not match: the file is damaged"),
                 ("cut short", lambda data: data[:-1000], None, "the launcher's file ends before them"),
                 ("refused", lambda data: data, {"define": "refuse"},
                  "cannot be defined: java.lang.RuntimeException: scripted")]
        for name, damage, script, detail in cases:
            with self.subTest(name):
                exe = self.packed(script)
                exe.write_bytes(bytes(damage(bytearray(exe.read_bytes()))))
                r, rec = self.start(exe)
                self.assertEqual(r.code, 1, r)
                self.assertEqual(len(r.dialogs), 1, r)
                self.assertTrue(r.dialogs[0][1].startswith("Couldn't load main class.\n\n"), r.dialogs)
                self.assertIn(detail, r.dialogs[0][1])
                self.assertEqual(rec.values("main"), [])


if __name__ == "__main__":
    unittest.main()
