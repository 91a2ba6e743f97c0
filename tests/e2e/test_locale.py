"""The locale text the launcher derives from Wine's language settings."""
import unittest

from harness import LauncherCase, base_block


class DetermineLocale(LauncherCase):
    def locale_lines(self, exe, lc_all, args=""):
        r = self.run_launcher(exe, args, unix_env={"LC_ALL": lc_all})
        self.assertEqual(r.code, 83)
        return [l for l in r.log if l.startswith(("sun.locale.formatasdefault", "language/country"))]

    def test_table_lookup_with_fallbacks(self):
        exe = self.make_exe(base_block())
        cases = {
            "de_CH.UTF-8": "de_CH",        # exact id 0x0807
            "pt_BR.UTF-8": "pt_BR",
            "es_US.UTF-8": "es",           # 0x540A is not in the table: primary language
            "nb_NO.UTF-8": "no_NO",
            "ha_NG.UTF-8": "en",           # a primary language the table lacks
        }
        for lc_all, expected in cases.items():
            with self.subTest(lc_all):
                self.assertEqual(self.locale_lines(exe, lc_all),
                                 ["sun.locale.formatasdefault is true", f"language/country is {expected}"])

    def test_format_as_default_switch_is_logged_and_last_one_wins(self):
        exe = self.make_exe(base_block())
        cases = {
            "-Dsun.locale.formatasdefault=false": "false",
            "-Dsun.locale.formatasdefault=false -Dsun.locale.formatasdefault=true": "true",
            "-Dsun.locale.formatasdefault=true -Dsun.locale.formatasdefault=yes": "false",
        }
        for args, value in cases.items():
            with self.subTest(args):
                # Wine takes both the format locale and the interface language
                # from LC_ALL, so the result is the same either way.
                self.assertEqual(self.locale_lines(exe, "de_CH.UTF-8", args),
                                 [f"sun.locale.formatasdefault is {value}", "language/country is de_CH"])


if __name__ == "__main__":
    unittest.main()
