"""Launcher and environment variables in configured texts.

The native library directories (NativeLibraryPath) and the working directory
are expanded before the runtime search; the log shows every replacement as
"expanding PATTERN to VALUE in TEXT."
"""
import re
import struct
import unittest

from harness import SCRAMBLE_MASK, LauncherCase, base_block, winpath

FIXED = [
    ("%KORVO_EXEDIR%", "exe"), ("%VANDREL_EXEDIR%", "exe"),
    ("%KORVO_TEMPDIR%", "temp"), ("%VANDREL_TEMPDIR%", "temp"),
    ("%KORVO_PATHLIST_SEPARATOR%", "sep"), ("%VANDREL_PATHLIST_SEPARATOR%", "sep"),
    ("%KORVO_JVM_HOME%", "jvm"), ("%VANDREL_JVM_HOME%", "jvm"),
    ("${KORVO_EXEDIR}", "exe"), ("${VANDREL_EXEDIR}", "exe"),
    ("${KORVO_TEMPDIR}", "temp"), ("${VANDREL_TEMPDIR}", "temp"),
    ("${KORVO_PATHLIST_SEPARATOR}", "sep"), ("${VANDREL_PATHLIST_SEPARATOR}", "sep"),
    ("${KORVO_JVM_HOME}", "jvm"), ("${VANDREL_JVM_HOME}", "jvm"),
    ("${launcher:sys.launcherDirectory}", "exe"), ("${launcher:sys.launcherTempDirectory}", "temp"),
    ("${launcher:sys.pathlistSeparator}", "sep"), ("${launcher:sys.jvmHome}", "jvm"),
    ("${launcher:sys.tempDir}", "systemp"),
]

EXPANDING = re.compile(r"expanding (.*?) to (.*?) in (.*)\.")


def one_included_file():
    return struct.pack("<q", 1) + bytes([ord("x") ^ SCRAMBLE_MASK])


class Variables(LauncherCase):
    def expand(self, text, env=None, files=False, record=10004):
        """Runs a launcher whose record `record` holds `text`; returns the
        result and the (pattern, value, text) of every replacement."""
        block = base_block(**{f"r{record}": text})
        tail = b""
        if files:
            block.set(2002, "1").set(2003, "x.txt")
            tail = one_included_file()
        r = self.run_launcher(self.make_exe(block, tail=tail), env=env)
        steps = [EXPANDING.fullmatch(l).groups() for l in r.log if EXPANDING.fullmatch(l)]
        return r, steps

    def values(self, result):
        temp = [l[len("Temp dir: "):] for l in result.log if l.startswith("Temp dir: ")]
        return {"exe": winpath(self.dir) + "\\", "temp": temp[0] if temp else "", "sep": ";",
                "jvm": "", "systemp": winpath(self.tmp) + "\\"}

    def test_the_fixed_variables_in_their_order(self):
        text = "|".join(p for p, _ in FIXED)
        r, steps = self.expand(text, files=True)
        v = self.values(r)
        self.assertNotEqual(v["temp"], "")
        self.assertEqual([(p, val) for p, val, _ in steps], [(p, v[k]) for p, k in FIXED])
        self.assertEqual(steps[-1][2], "|".join(v[k] for _, k in FIXED))
        self.assertEqual(steps[0][2], v["exe"] + text[len("%KORVO_EXEDIR%"):])

    def test_without_included_files_the_temp_dir_is_empty(self):
        r, steps = self.expand("[${KORVO_TEMPDIR}][${launcher:sys.jvmHome}]lib")
        self.assertEqual(steps[-1][2], "[][]lib")

    def test_exedir_already_ends_in_a_backslash(self):
        r, steps = self.expand("${KORVO_EXEDIR}lib")
        self.assertEqual(steps, [("${KORVO_EXEDIR}", winpath(self.dir) + "\\",
                                  winpath(self.dir) + "\\lib")])
        self.assertLogHas(r, "Setting PATH (native libs) " + winpath(self.dir) + "\\lib;" +
                          "C:\\windows\\system32;C:\\windows;C:\\windows\\system32\\wbem;"
                          "C:\\windows\\system32\\WindowsPowershell\\v1.0")

    def test_three_occurrences_three_lines(self):
        r, steps = self.expand("a${KORVO_PATHLIST_SEPARATOR}b${KORVO_PATHLIST_SEPARATOR}c"
                               "${KORVO_PATHLIST_SEPARATOR}")
        self.assertEqual([t for _, _, t in steps],
                         ["a;b${KORVO_PATHLIST_SEPARATOR}c${KORVO_PATHLIST_SEPARATOR}",
                          "a;b;c${KORVO_PATHLIST_SEPARATOR}", "a;b;c;"])

    def test_environment_variables_exactly_and_upper_cased(self):
        env = {"KvoMixed": "abc", "KVO_SELF": "<${KVO_SELF}>", "KVO_REF": "${KORVO_EXEDIR}"}
        r, steps = self.expand("${KvoMixed}|${KVOMIXED}|${kvomixed}|${user.home}\\app.log|"
                               "${KVO_SELF}|${KVO_REF}", env=env)
        # A value naming its own variable is inserted once; a value naming a
        # launcher variable is not expanded again, those came first.
        self.assertEqual(steps[-1][2] if steps else None,
                         "abc|abc|${kvomixed}|${user.home}\\app.log|<${KVO_SELF}>|${KORVO_EXEDIR}")
        self.assertEqual(sorted(p for p, _, _ in steps),
                         ["${KVOMIXED}", "${KVO_REF}", "${KVO_SELF}", "${KvoMixed}"])

    def test_no_text_longer_than_its_buffer(self):
        big = "v" * 5000
        r, steps = self.expand("${KVO_BIG};${KVO_BIG}", env={"KVO_BIG": big})
        self.assertEqual(len(steps), 1)
        self.assertEqual(steps[0][2], big + ";${KVO_BIG}")
        self.assertLogMatches(r, r"ERROR: expanding \$\{KVO_BIG\} would make a text of 10001 bytes "
                                 r"\(at most 8191\); left unexpanded in v+;\$\{KVO_BIG\}")
        self.assertEqual(r.code, 83)

    def test_working_directory(self):
        (self.dir / "sub").mkdir()
        r, steps = self.expand("${KORVO_EXEDIR}sub", record=146)
        self.assertLogHas(r, "change working directory to " + winpath(self.dir) + "\\sub")


if __name__ == "__main__":
    unittest.main()
