"""Module options written as for the java command reach HotSpot in the one
word it reads, from every source of options, and do what they say."""
import unittest

from hotspot import HotSpotCase

FIELDS = ["java.lang.String.value", "java.util.ArrayList.elementData"]


class ModuleOptions(HotSpotCase):
    def modules(self, run):
        return {"fields": run.values("field"), "java.sql": run.values("module"),
                "module path": run.values("module-path")}

    def test_two_words_open_what_they_name(self):
        mods = self.dir / "mods"
        mods.mkdir()
        closed = {"fields": ["java.lang.String.value\tclosed", "java.util.ArrayList.elementData\tclosed"],
                  "java.sql": ["java.sql\ttrue"], "module path": ["null"]}
        opened = {"fields": ["java.lang.String.value\topen", "java.util.ArrayList.elementData\topen"],
                  "java.sql": ["java.sql\tfalse"], "module path": [str(mods)]}
        cases = [
            ("nothing asked", {}, closed),
            ("record and options file", dict(
                vm_options=f"--add-opens java.base/java.lang=ALL-UNNAMED -p {mods} --limit-modules java.base",
                options_lines=["--add-opens java.base/java.util=ALL-UNNAMED"]), opened),
            ("-J arguments and a value on the next line", dict(
                args=["-J--add-opens", "-Jjava.base/java.lang=ALL-UNNAMED", "-J-p", f"-J{mods}"],
                records={125: "1"},
                options_lines=["--limit-modules", "java.base", "--add-opens", "java.base/java.util=ALL-UNNAMED"]),
             opened),
            ("one word", dict(vm_options=f"--add-opens=java.base/java.lang=ALL-UNNAMED --module-path={mods} "
                                         "--add-opens=java.base/java.util=ALL-UNNAMED --limit-modules=java.base"),
             opened),
        ]
        for home, _ in self.vms():
            for name, how, expected in cases:
                with self.subTest(home=str(home), how=name):
                    how = dict(how)
                    args = how.pop("args", [])
                    r = self.start(home, "kvotest.Modules", *args, *FIELDS, **how)
                    self.assertEqual((r.code, r.messages), (0, []), r)
                    self.assertEqual(self.modules(r), expected, r)


class OptionsFiles(HotSpotCase):
    def test_utf16_files_with_their_marks(self):
        # As Notepad's "Unicode" and PowerShell 5's ">" save them; a file it
        # includes may be in the other byte order.
        words = "gr\u00fc\u00dfe \u65e5\u672c \U0001F600"
        lines = ("# the user's\r\n-Dkvotest.properties=text,included\r\n  -Dtext=" + words +
                 "  \r\n-include-options inc.vmoptions\r\n")
        for home, _ in self.vms():
            for first, second in (("utf-16-le", "utf-16-be"), ("utf-16-be", "utf-16-le")):
                with self.subTest(home=str(home), file=first):
                    where = self.dir / f"{home.name}-{first}"
                    where.mkdir()
                    (where / "inc.vmoptions").write_bytes(("\ufeff-Dincluded=" + words).encode(second))
                    r = self.start(home, "kvotest.Probe", where=where,
                                   options_lines=("\ufeff" + lines).encode(first))
                    self.assertEqual((r.code, r.messages), (0, []), r)
                    self.assertEqual(r.values("property"), ["text\t" + words, "included\t" + words])
                    order = "little" if first.endswith("le") else "big"
                    self.assertLogHas(r, f"options file (default) is UTF-16 ({order}-endian, with its byte-order mark)")


if __name__ == "__main__":
    unittest.main()
