"""The log's switch-on rules and file, and how errors reach the user."""
import os
import struct
import subprocess
import time
import unittest
from pathlib import Path

from harness import Block, LauncherCase, base_block, launcher_is_64, reg, winpath, ROOT


class ShortIncludedData(Block):
    """A block whose one included file promises more bytes than follow."""

    def bytes(self) -> bytes:
        return super().bytes() + struct.pack("<q", 100) + bytes(10)


def failing_block(**extra):
    # The copy of the included file runs out of data: a fatal error with
    # message 1009 "16" that comes after the launcher switches.
    b = ShortIncludedData(narrow=base_block(**extra).narrow)
    b.set(2002, "1")
    b.set(2003, "a.jar")
    return b


class LogSwitch(LauncherCase):
    def test_only_the_exact_value_yes_switches_the_log_on(self):
        exe = self.make_exe(base_block())
        cases = [({"KORVO_LOG": "Yes"}, False), ({"KORVO_LOG": "yes "}, False),
                 ({"KORVO_LOG": "<unset>", "VANDREL_LOG": "yes"}, True),
                 ({"KORVO_LOG": "<unset>", "VANDREL_LOG": "YES"}, False)]
        for env, on in cases:
            with self.subTest(env=env):
                for f in self.tmp.glob("vdl_nlog_*"):
                    f.unlink()
                r = self.run_launcher(exe, env=env)
                self.assertEqual(r.code, 83)
                self.assertEqual(r.log is not None, on, r.log_name)

    def test_numbering_skips_names_in_use(self):
        (self.tmp / "vdl_nlog_2").write_text("older")
        r = self.run_launcher(self.make_exe(base_block()))
        self.assertEqual(r.log_name, "vdl_nlog_3")
        self.assertEqual((self.tmp / "vdl_nlog_2").read_text(), "older")
        self.assertLogHas(r, "ERROR: No JVM found")

    def test_a_name_taken_at_creation_is_not_reused(self):
        # Another launcher can create the chosen name between the check and
        # the creation. A dangling link is such a name: the check finds
        # nothing there, the creation finds it taken; opening it for writing
        # would write through it.
        victim = self.dir / "elsewhere" / "victim"
        victim.parent.mkdir()
        (self.tmp / "vdl_nlog_2").symlink_to(victim)
        r = self.run_launcher(self.make_exe(base_block()))
        self.assertEqual(r.log_name, "vdl_nlog_3")
        self.assertLogHas(r, "ERROR: No JVM found")
        self.assertFalse(victim.exists(), "the log was written through a name already taken")

    def test_launchers_starting_together_keep_their_own_logs(self):
        exe = self.make_exe(base_block())
        runs = []
        for _ in range(4):
            argv, env = self.runner_command(exe)
            runs.append(subprocess.Popen(argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                         stdin=subprocess.DEVNULL))
        for run in runs:
            run.wait(timeout=120)
        logs = sorted(self.tmp.glob("vdl_nlog_*"))
        self.assertEqual(len(logs), 4, logs)
        for log in logs:
            text = log.read_bytes().decode("cp1252")
            self.assertEqual(text.count("Started executable"), 1, text)
            self.assertEqual(text.count("ERROR: No JVM found"), 1, text)

    def test_tmp_named_with_letters_the_code_page_lacks(self):
        # No look-alike letters: the log goes into TMP itself (through its
        # short form), and no directory "Lodz" is made.
        tmp = self.dir / "\u0141\u00f3d\u017a"
        tmp.mkdir()
        r = self.run_launcher(self.make_exe(base_block()), env={"TMP": winpath(tmp)})
        self.assertEqual(r.code, 83)
        logs = list(tmp.glob("vdl_nlog_*"))
        self.assertEqual(len(logs), 1, list(self.dir.iterdir()))
        self.assertIn("ERROR: No JVM found", logs[0].read_bytes().decode("cp1252"))
        self.assertEqual(sorted(p.name for p in self.dir.iterdir() if p.is_dir()), sorted(["tmp", tmp.name]))

    def test_missing_tmp_falls_back_to_drive_c(self):
        prefix_c = Path(os.environ.get("KVO_WINEPREFIX", ROOT / "build" / "wineprefix")) / "drive_c"
        before = set(prefix_c.glob("vdl_nlog_*"))
        r = self.run_launcher(self.make_exe(base_block()),
                              env={"TMP": winpath(self.dir / "does-not-exist")})
        made = set(prefix_c.glob("vdl_nlog_*")) - before
        try:
            self.assertEqual(len(made), 1, made)
            text = next(iter(made)).read_text(encoding="cp1252")
            self.assertIn("Started executable", text)
        finally:
            for f in made:
                f.unlink()
        self.assertEqual(r.code, 83)

    def test_fixed_name_on_drive_c_is_created_never_truncated(self):
        # TMP naming a file: no numbered log can be made, the last fallback
        # is the one fixed name that every launcher and user shares.
        fixed = Path(os.environ.get("KVO_WINEPREFIX", ROOT / "build" / "wineprefix")) / "drive_c" / "vdl_nlog"
        blocker = self.dir / "tmp-is-a-file"
        blocker.write_text("not a directory")
        exe = self.make_exe(base_block())
        saved = fixed.read_bytes() if fixed.exists() else None
        try:
            fixed.unlink(missing_ok=True)
            r = self.run_launcher(exe, env={"TMP": winpath(blocker)})
            self.assertEqual(r.code, 83)
            text = fixed.read_text(encoding="cp1252")
            self.assertIn("Started executable", text)
            self.assertIn("ERROR: No JVM found", text)

            # Somebody else's file under that name stays as it is; the log
            # is off, so the message names none.
            fixed.write_bytes(b"another launcher's log\r\n")
            r = self.run_launcher(exe, env={"TMP": winpath(blocker)})
            self.assertEqual(r.code, 83)
            self.assertEqual(fixed.read_bytes(), b"another launcher's log\r\n")
            self.assertTrue(r.dialogs, r)
            self.assertNotIn("Log:", r.dialogs[0][1])
        finally:
            fixed.unlink(missing_ok=True)
            if saved is not None:
                fixed.write_bytes(saved)


class CreateLogSwitch(LauncherCase):
    def test_prompt_names_the_log_and_switch_is_removed(self):
        exe = self.make_exe(base_block())
        for switch in ("-create-kvo-log", "/create-vdl-log"):
            with self.subTest(switch):
                for f in self.tmp.glob("vdl_nlog_*"):
                    f.unlink()
                r = self.run_launcher(exe, switch, log=False, answer="no")
                self.assertEqual(r.code, 83)
                self.assertIsNotNone(r.log)
                path = winpath(self.tmp) + "\\" + r.log_name
                # Later dialogs are the runtime search's.
                self.assertEqual(r.dialogs[0], ("vandrel", "The following log file will be created:\n\n"
                                                f"{path}\n\nDo you want to open an Explorer window?"))

    def test_switch_only_counts_as_first_argument(self):
        r = self.run_launcher(self.make_exe(base_block()), "x -create-kvo-log", log=False)
        self.assertIsNone(r.log)
        self.assertFalse([d for d in r.dialogs if "log file" in d[1]], r.dialogs)

    def test_yes_starts_explorer_on_the_log(self):
        r = self.run_launcher(self.make_exe(base_block(r2001="e", r101="Acme Viewer"), name="named.exe"),
                              "-create-kvo-log", log=False, answer="no")
        self.assertEqual(r.dialogs[0][0], "Acme Viewer")
        r = self.run_launcher(self.make_exe(base_block(r2001="e")), "-create-kvo-log",
                              log=False, answer="yes")
        self.assertEqual(r.dialogs[0][0], "korvo")
        self.assertLogMatches(r, r"calling C:\\windows\\explorer\.exe /select,Z:\\\S+")


class ErrorReporting(LauncherCase):
    def test_dialog_carries_the_long_log_path(self):
        r = self.run_launcher(self.make_exe(failing_block()))
        self.assertEqual(r.code, 1)
        log_path = winpath(self.tmp) + "\\" + r.log_name
        self.assertEqual(r.dialogs, [("Error", "An internal error occurred (error code: 16)\n\n"
                                               f"Log: {log_path}")])

    def test_without_log_the_bare_text(self):
        r = self.run_launcher(self.make_exe(failing_block()), log=False)
        self.assertEqual(r.dialogs, [("Error", "An internal error occurred (error code: 16)")])

    def test_console_type_and_quiet_switches_use_standard_error(self):
        # A console type writes to standard error while it has one; started
        # without (from Explorer) it shows the dialog. The quiet switches
        # never show one.
        without_type = failing_block()
        without_type.narrow = [(i, t) for i, t in without_type.narrow if i != 107]
        text = "An internal error occurred (error code: 16)"
        cases = [
            ("console type", failing_block(r107="0"), "", "file", False),
            ("console type without standard error", failing_block(r107="0"), "", "<none>", True),
            ("another console type without standard error", failing_block(r107="7"), "", "<none>", True),
            ("type left out, without standard error", without_type, "", "<none>", True),
            ("quiet keyword", failing_block(), "-q_vdl_internal", "file", False),
            ("quiet keyword without standard error", failing_block(r107="0"), "-q_vdl_internal", "<none>", False),
            ("-q honoured", failing_block(r154="1"), "-q", "file", False),
            ("-q without standard error", failing_block(r154="1", r107="0"), "-q", "<none>", False),
            ("-c honoured", failing_block(r154="1"), "-c", "file", False),
        ]
        for name, block, args, handles, dialog in cases:
            with self.subTest(name):
                r = self.run_launcher(self.make_exe(block), args, log=False, std_handles=handles)
                self.assertEqual(r.code, 1)
                self.assertEqual(r.dialogs, [("Error", text)] if dialog else [])
                if handles == "file":
                    self.assertEqual(r.stderr.replace("\r\n", "\n"), text + "\n")

    def test_switches_ignored_unless_enabled(self):
        # ConsoleSwitch alone honours -console only; -q then still shows a dialog.
        for args in ("-q", "-c", "-console -q"):
            with self.subTest(args):
                r = self.run_launcher(self.make_exe(failing_block(r156="1")), args, log=False)
                self.assertEqual(r.code, 1)
                self.assertEqual(len(r.dialogs), 1)

    def test_records_left_out_read_as_built_in(self):
        b = failing_block()
        b.narrow = [(i, t) for i, t in b.narrow if i not in (1000, 1009)]
        r = self.run_launcher(self.make_exe(b), log=False)
        self.assertEqual(r.dialogs, [("Error", "An internal error occurred (error code: 16)")])
        # A dialog of a named application says whose it is.
        b.set(101, "Acme Viewer")
        r = self.run_launcher(self.make_exe(b, name="named.exe"), log=False)
        self.assertEqual(r.dialogs, [("Acme Viewer", "An internal error occurred (error code: 16)")])


def shown_in_ansi(text):
    """What the Western code page (1252) holds of `text`: "?" for the rest."""
    return "".join(c if c.encode("cp1252", "ignore") else "?" for c in text)


class MessagesInTheUsersLanguage(LauncherCase):
    """Message texts of the [wide] and [locale] records: a German user reads
    the German ones, a text the code page cannot hold reaches the dialog
    whole, and without them the narrow texts are shown as before."""

    GERMAN = "Interner Fehler (Code {0}) – bitte an Müller & Söhne wenden"
    JAPANESE = "内部エラーが発生しました（コード {0}）"
    ENGLISH = "An internal error occurred (error code: 16)"

    def exe(self, name, wide=(), locales=(), **records):
        b = failing_block(**records)
        b.wide, b.locales = list(wide), list(locales)
        return self.make_exe(b, name=name)

    def test_locale_then_wide_then_narrow(self):
        german = self.GERMAN.replace("{0}", "16")
        japanese = self.JAPANESE.replace("{0}", "16")
        sections = self.exe("sections.exe", locales=[("de", [(1000, "Fehler"), (1009, self.GERMAN)]),
                                                     ("fr", [(1009, "Erreur interne {0}")])])
        wide = self.exe("wide.exe", wide=[(1009, self.JAPANESE)], locales=[("de", [(1009, self.GERMAN)])])
        cases = [
            (sections, "de_CH.UTF-8", ("Fehler", german)),
            (sections, "en_US.UTF-8", ("Error", self.ENGLISH)),
            (wide, "en_US.UTF-8", ("Error", japanese)),
            (wide, "de_DE.UTF-8", ("Error", german)),
        ]
        for exe, locale, dialog in cases:
            with self.subTest(exe=exe.name, locale=locale):
                r = self.run_launcher(exe, log=False, unix_env={"LC_ALL": locale})
                self.assertEqual(r.code, 1)
                self.assertEqual(r.dialogs, [dialog])

    def test_a_console_gets_the_code_page_of_a_wide_text(self):
        # Written to a file, a wide text is in the ANSI code page, "?" for
        # what it lacks, never a look-alike.
        for locale, text in (("de_CH.UTF-8", self.GERMAN), ("en_US.UTF-8", self.JAPANESE)):
            with self.subTest(locale):
                exe = self.exe("console.exe", wide=[(1009, self.JAPANESE)], locales=[("de", [(1009, self.GERMAN)])],
                               r107="0")
                r = self.run_launcher(exe, log=False, unix_env={"LC_ALL": locale})
                self.assertEqual((r.code, r.dialogs), (1, []))
                self.assertEqual(r.stderr.replace("\r\n", "\n"), shown_in_ansi(text.replace("{0}", "16")) + "\n")


class DownloadAddress(LauncherCase):
    """JavaDownloadUrl: named when no runtime fits, offered to the browser."""

    URL = "https://example.com/java?arch=x64&v=17"

    def block(self, **records):
        b = base_block(r126="17", r101="Acme Viewer", r161=self.URL, **records)
        b.narrow = [(i, t) for i, t in b.narrow if i != 1000]
        return b

    def test_the_message_names_it_and_asks(self):
        bits = "64" if launcher_is_64() else "32"
        question = "Open this address in your web browser now?"
        vendor = self.block(r1016="No Java {0}: get it from {3}.")
        german = self.block()
        german.locales = [("de", [(1016, "Kein {0}-Bit-Java."), (1021, "Im Webbrowser öffnen?")])]
        app = "Acme Viewer"
        cases = [
            ("built-in", self.block(), "en_US.UTF-8", app,
             f"This application needs {bits}-bit Java (17 or later), which was not found on this computer.\n"
             f"Found: none.\n\nJava can be downloaded from:\n{self.URL}\n\n{question}"),
            ("{3} in the text", vendor, "en_US.UTF-8", app, f"No Java {bits}: get it from {self.URL}.\n\n{question}"),
            ("a German text without {3}", german, "de_CH.UTF-8", app,
             f"Kein {bits}-Bit-Java.\n\n{self.URL}\n\nIm Webbrowser öffnen?"),
            ("the same for an English user", german, "en_US.UTF-8", app,
             f"This application needs {bits}-bit Java (17 or later), which was not found on this computer.\n"
             f"Found: none.\n\nJava can be downloaded from:\n{self.URL}\n\n{question}"),
            ("no address: as before", base_block(r126="17", r1016="No Java {0}. {3}"), "en_US.UTF-8", "Error",
             f"No Java {bits}. {{3}}"),
            ("a 0 where the address goes", base_block(r126="17", r161="0", r1016="No Java."), "en_US.UTF-8",
             "Error", "No Java."),
            ("a path is no address", base_block(r126="17", r161="C:\\Windows\\notepad.exe", r1016="No Java."),
             "en_US.UTF-8", "Error", "No Java."),
        ]
        for label, block, locale, title, text in cases:
            with self.subTest(label):
                r = self.run_launcher(self.make_exe(block), log=False, answer="no", unix_env={"LC_ALL": locale})
                self.assertEqual(r.code, 83)
                self.assertEqual(r.dialogs, [(title, text)])

    def test_a_console_launcher_prints_it(self):
        r = self.run_launcher(self.make_exe(self.block(r107="0", r1016="No Java.")), log=False)
        self.assertEqual((r.code, r.dialogs), (83, []))
        self.assertEqual(r.stderr.replace("\r\n", "\n"), f"No Java.\n\n{self.URL}\n")

    def test_yes_opens_it_in_the_browser(self):
        # Wine hands an address to the first of the programs its WineBrowser
        # key names: here a script that notes what it was given.
        noted = self.dir / "browser.txt"
        script = self.dir / "browser.sh"
        script.write_text(f'#!/bin/sh\nprintf "%s\\n" "$@" > "{noted}"\n')
        script.chmod(0o755)
        key = "HKCU\\Software\\Wine\\WineBrowser"
        reg("add", key, "/v", "Browsers", "/t", "REG_SZ", "/d", str(script), "/f")
        try:
            r = self.run_launcher(self.make_exe(self.block()), answer="yes")
            for _ in range(100):
                if noted.exists() and noted.read_text():
                    break
                time.sleep(0.1)
        finally:
            reg("delete", key, "/v", "Browsers", "/f", check=False)
        self.assertEqual(r.code, 83)
        self.assertEqual(len(r.dialogs), 1)
        self.assertLogHas(r, f"Opened {self.URL} in the browser")
        self.assertEqual(noted.read_text().split("\n")[0], self.URL)


if __name__ == "__main__":
    unittest.main()
