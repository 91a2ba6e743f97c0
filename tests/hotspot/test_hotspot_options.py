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


if __name__ == "__main__":
    unittest.main()
