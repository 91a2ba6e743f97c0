"""The splash screen on a real JVM: the controller as Java code steers it,
and a start always ends, whatever happens to the splash."""
import sys
import unittest
from pathlib import Path

from harness import winpath
from realvm import LAUNCHER_CLASSES, RealVmCase

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "e2e"))
from test_splash import STATUS_RGB, Watch, count  # noqa: E402

SPLASH = dict(r108="1", r147="1", r101="Splash Title", r141="419", r142="230",
              r10109="20", r10110="150", r10111="Starting up", r10112="Tahoma", r10113="14",
              r10114="255,0,0", r10115="700", r10116="20", r10117="30", r10118="Version 1.2.3",
              r10119="Tahoma", r10120="12", r10121="255,255,0", r10122="400")


class SplashOnARealVm(RealVmCase):
    def watched(self, exe, args=""):
        prefix = self.dir / "shot"
        unix_env = {"KVO_RUN_WATCH_CLASS": "KorvoSplashScreen", "KVO_RUN_WATCH_DUMP": winpath(prefix)}
        r = self.start(exe, args, unix_env=unix_env, timeout_ms=30000)
        return r, Watch((self.dir / "runner.txt").read_text(errors="replace"), prefix)

    def test_controller_texts_then_hide(self):
        exe = self.real_app("kvotest.SplashSteps", app_entries=["kvotest/SplashSteps"], **SPLASH)
        r, watch = self.watched(exe, "Loading Configuring hide")
        self.assertEqual((r.code, r.dialogs), (0, []), r)
        self.assertEqual(self.values("step"), ["text Loading", "text Configuring", "hide", "done"])
        self.assertEqual(self.values("controller"), ["text taken: Loading", "text taken: Configuring"])
        self.assertIn(watch.kinds(), (["shown", "hidden", "gone"], ["shown", "gone"]), watch.events)
        # The texts were painted in the status colour while it was shown.
        self.assertTrue(any(count(shot, STATUS_RGB, (20, 150, 260, 180)) > 50 for shot in watch.painted()))
        self.assertLogHas(r, "Hiding splash screen")
        self.assertNotIn("splash screen still up at the application's end", r.log)

    def test_the_runtimes_splash_api(self):
        exe = self.packed_app("kvotest.SplashSteps", *[f"{rid[1:]} = {text}" for rid, text in SPLASH.items()],
                              app_entries=["kvotest/SplashSteps"], vm_options="-Dkvotest.splashApi=true")
        r, watch = self.watched(exe, "Loading Configuring hide")
        self.assertEqual((r.code, r.dialogs), (0, []), r)
        self.assertEqual(self.values("step"), ["text Loading", "text Configuring", "hide", "done"])
        self.assertIn(watch.kinds(), (["shown", "hidden", "gone"], ["shown", "gone"]), watch.events)
        # The first status text and the two the application set were painted.
        painted = {count(shot, STATUS_RGB, (20, 150, 260, 180)) for shot in watch.painted()}
        self.assertGreaterEqual(len(painted), 3, painted)
        self.assertLogHas(r, "Hiding splash screen")
        self.assertNotIn("splash screen still up at the application's end", r.log)

    def test_a_splash_nothing_hides_ends_with_the_application(self):
        # The controller never answers hide, auto-off is off, the application
        # shows no window: main returns and the process must still end.
        for name, entries in (("controller idle", LAUNCHER_CLASSES),
                              ("no controller class", ["com/korvo/runtime/WinLauncher", "com/korvo/runtime/Report"])):
            with self.subTest(name):
                self.report_path.unlink(missing_ok=True)
                exe = self.real_app("kvotest.Probe", launcher_entries=entries, **SPLASH)
                r, watch = self.watched(exe)
                self.assertFalse(r.timed_out, "the launcher did not end")
                self.assertEqual((r.code, r.dialogs), (0, []), r)
                self.assertEqual(self.values("launcher"), ["main returned"])
                self.assertTrue(watch.shown(), watch.events)
                self.assertLogHas(r, "splash screen still up at the application's end")
                self.assertEqual(r.log[-2], "launch done")

    def test_the_splash_serves_threads_that_outlive_main(self):
        # main returns at once; the splash stays until the application's
        # thread has ended, then goes with the process.
        exe = self.real_app("kvotest.LateThread", app_entries=["kvotest/LateThread"], **SPLASH)
        r, watch = self.watched(exe, "2000")
        self.assertEqual((r.code, r.dialogs), (0, []), r)
        self.assertEqual(self.values("worker"), ["done"])
        steps = [l for l in r.log if l in ("dest JVM", "waiting for the application's threads",
                                           "splash screen still up at the application's end", "launch done")]
        self.assertEqual(steps, ["dest JVM", "waiting for the application's threads",
                                 "splash screen still up at the application's end", "launch done"])


if __name__ == "__main__":
    unittest.main()
