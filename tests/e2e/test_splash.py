"""The splash screen: the native window, its steering by the application's
controller class, and the Java runtime's splash library, seen from outside
through the test driver's window watch and the recording jvm.dll. The
launchers are the stock stub with resources written by kvo-pack."""
import shutil
import struct
import tempfile
import unittest
from pathlib import Path

from harness import BUILD_WIN32, PACKER, jvm_record, make_runtime_home, stand_in_config, winpath
from jvmstart import FIRST_RUN, KORVO_CONTROLLER, WIN_LAUNCHER_I, make_jar, recording_home
from packing import bmp, ico, image_of, pack, png
from test_jvm_start import JvmCase, installer_block

SPLASH_FIXTURES = BUILD_WIN32 / "fixtures" / "splash"
SCREEN = (1024, 768)          # the test display
IMAGE = (419, 230)            # the packed bitmap 10000
TOP_RGB = (0x20, 0x40, 0x80)  # its upper half
BOTTOM_RGB = (0x10, 0x70, 0x30)
ICON_RGB = (0xFF, 0x80, 0x00)  # "ID_SPLASH_ICON", the splash window class's icon
LIBRARY_IMAGE = png(40, 30, (0x33, 0x66, 0x99))  # RT_RCDATA 10000 for the runtime's library
STATUS_RGB = (255, 0, 0)
VERSION_RGB = (255, 255, 0)

_resource_image = None


def resource_image() -> bytes:
    """The stock stub with the splash resources, packed once per run."""
    global _resource_image
    if _resource_image is None:
        with tempfile.TemporaryDirectory(prefix="kvo-splash-") as d:
            exe = pack(d, "ExecutableType = 1\n[resources]\nicon = app.ico\nsplash-icon = splash.ico\n"
                          "splash-bitmap = splash.bmp\nsplash-image = library.png\n",
                       {"app.ico": ico((0, 0, 255)), "splash.ico": ico(ICON_RGB),
                        "splash.bmp": bmp(*IMAGE, TOP_RGB, BOTTOM_RGB), "library.png": LIBRARY_IMAGE})
            _resource_image = image_of(exe)
    return _resource_image


def splash_block(**extra):
    # Topmost: other tests on the same display centre their dialogs where the
    # splash is, and the checks read the splash's pixels from the screen.
    records = dict(r108="1", r147="1", r101="Splash Title", r141=str(IMAGE[0]), r142=str(IMAGE[1]),
                   r10109="20", r10110="150", r10111="Starting up", r10112="Tahoma", r10113="14",
                   r10114="255,0,0", r10115="700",
                   r10116="20", r10117="30", r10118="Version 1.2.3", r10119="Tahoma", r10120="12",
                   r10121="255,255,0", r10122="400")
    records.update(extra)
    return installer_block(**records)


class Watch:
    """What the driver saw of the splash window, in order, with the dialogs."""

    def __init__(self, runner_text, dump_prefix):
        self.events = []   # ("window", visible, rect, title) / ("gone",) / ("pixels", n) / ("dialog", ...)
        shots = 0
        for row in runner_text.splitlines():
            parts = row.split("\t")
            if parts[0] == "window" and parts[1] == "gone":
                self.events.append(("gone",))
            elif parts[0] == "window":
                rect = tuple(int(v) for v in parts[2].split(","))
                self.events.append(("window", parts[1] == "1", rect, parts[3]))
            elif parts[0] == "pixels":
                self.events.append(("pixels", shots))
                shots += 1
            elif parts[0] == "dialog":
                self.events.append(("dialog", parts[1], parts[2]))
        self.shots = [read_bmp(Path(f"{dump_prefix}{i}.bmp")) for i in range(shots)
                      if Path(f"{dump_prefix}{i}.bmp").exists()]

    def states(self):
        return [e for e in self.events if e[0] == "window"]

    def shown(self):
        return [e for e in self.states() if e[1]]

    def painted(self):
        """Screenshots that show the window's own painting: the screen may
        still hold an earlier picture when the window first appears."""
        return [s for s in self.shots if count(s, VERSION_RGB, (20, 30, 220, 55)) > 30]

    def kinds(self):
        """shown / hidden / gone / dialog in order, repeats merged; the window
        exists a moment before it is shown, which counts as nothing."""
        out = []
        for e in self.events:
            kind = e[0] if e[0] != "window" else ("shown" if e[1] else "hidden")
            if kind == "hidden" and "shown" not in out:
                continue
            if kind != "pixels" and (not out or out[-1] != kind):
                out.append(kind)
        return out


def read_bmp(path):
    """(width, height, rows of (r, g, b)) of a top-down 32-bit BMP."""
    data = path.read_bytes()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    height = abs(height)
    rows = []
    for y in range(height):
        base = offset + y * width * 4
        rows.append([(data[base + 4 * x + 2], data[base + 4 * x + 1], data[base + 4 * x]) for x in range(width)])
    return width, height, rows


def count(shot, colour, box):
    """Pixels of `colour` inside box (x0, y0, x1, y1) of a screenshot."""
    _, _, rows = shot
    x0, y0, x1, y1 = box
    return sum(1 for y in range(y0, y1) for x in range(x0, x1) if rows[y][x] == colour)


class SplashCase(JvmCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        if not PACKER.exists():
            raise AssertionError(f"{PACKER} is missing: run make first")

    def splash_app(self, block, script=None, controller=True):
        self.vm = recording_home(self.dir / "jre", script)
        make_jar(self.dir / ".vandrel" / "vdlruntime.jar", WIN_LAUNCHER_I, FIRST_RUN)
        if controller:
            make_jar(self.dir / "lib" / "app.jar", KORVO_CONTROLLER)
        exe = self.dir / "app.exe"
        exe.write_bytes(resource_image() + block.bytes())
        return exe

    def watched(self, exe, args="", **kw):
        prefix = self.dir / "shot"
        unix_env = {"KVO_RUN_WATCH_CLASS": "KorvoSplashScreen", "KVO_RUN_WATCH_DUMP": winpath(prefix)}
        r, rec = self.start(exe, args, unix_env=unix_env, **kw)
        watch = Watch((self.dir / "runner.txt").read_text(errors="replace"), prefix)
        return r, rec, watch

    def library_record(self):
        path = self.dir / "jre" / "bin" / "splash-record.txt"
        return path.read_text().splitlines() if path.exists() else []


class NativeWindow(SplashCase):
    def test_shown_centred_with_image_texts_and_title(self):
        exe = self.splash_app(splash_block(), {"main-thread-ms": "1500"})
        r, rec, watch = self.watched(exe)
        self.assertEqual((r.code, r.dialogs), (0, []), r)
        shown = watch.shown()
        self.assertTrue(shown, watch.events)
        x, y = (SCREEN[0] - IMAGE[0]) // 2, (SCREEN[1] - IMAGE[1]) // 2
        self.assertEqual(shown[0][2], (x, y, x + IMAGE[0], y + IMAGE[1]))
        self.assertEqual(shown[0][3], "Splash Title")
        self.assertNotIn("splash window class without icon", r.log)
        shot = watch.painted()[-1]
        self.assertEqual(shot[:2], IMAGE)
        # The image fills the window; the texts are drawn in their colours
        # from their start points, the status line bold and larger.
        self.assertEqual(shot[2][5][IMAGE[0] - 5], TOP_RGB)
        self.assertEqual(shot[2][IMAGE[1] - 5][5], BOTTOM_RGB)
        status = count(shot, STATUS_RGB, (20, 150, 220, 180))
        version = count(shot, VERSION_RGB, (20, 30, 220, 55))
        self.assertGreater(status, 50)
        self.assertGreater(version, 30)
        self.assertEqual(count(shot, STATUS_RGB, (0, 0, IMAGE[0], 148)), 0, "nothing above the status line")
        self.assertEqual(count(shot, VERSION_RGB, (0, 0, IMAGE[0], 28)), 0)
        self.assertEqual(count(shot, STATUS_RGB, (0, 0, 18, IMAGE[1])), 0, "nothing left of its start")
        for line in ("Starting splash screen thread", "Showing splash screen", "Initializing splash screen"):
            self.assertLogHas(r, line)

    def test_the_window_gets_the_common_controls_of_version_6(self):
        # Not bound when the process starts (the application manifest does
        # not name them) but activated by the launcher before its window.
        home = make_runtime_home(self.dir / "jre")
        exe = self.dir / "app.exe"
        exe.write_bytes(resource_image() + splash_block().bytes())
        r = self.run_launcher(exe)
        record = jvm_record(home / "bin" / "server")
        self.assertIn("create", record, r.log)
        self.assertLogHas(r, "Showing splash screen")
        self.assertIn("\\winsxs\\", record.get("comctl32", "").lower(), record)
        self.assertIn("common-controls", record["comctl32"].lower(), record)

    def test_launcher_without_splash_resources_paints_grey_with_texts(self):
        exe = self.splash_app(splash_block(), {"main-thread-ms": "1000"})
        exe.write_bytes(self.make_exe(splash_block()).read_bytes())  # the shipped stub
        r, rec, watch = self.watched(exe)
        self.assertEqual((r.code, r.dialogs), (0, []))
        self.assertLogHas(r, "splash window class without icon")
        shot = watch.painted()[-1]
        grey = (0xC0, 0xC0, 0xC0)
        self.assertEqual(shot[2][5][5], grey)
        self.assertEqual(shot[2][IMAGE[1] - 5][IMAGE[0] - 5], grey)
        self.assertGreater(count(shot, STATUS_RGB, (20, 150, 220, 180)), 50)

    def test_hidden_start_shows_no_splash(self):
        exe = self.splash_app(splash_block(), {"main-thread-ms": "600"})
        r, rec, watch = self.watched(exe, show=0)
        self.assertEqual(r.code, 0)
        self.assertEqual(watch.shown(), [])
        self.assertLogHas(r, "Hiding splash screen")
        self.assertNotIn("Starting splash screen thread", r.log)

    def test_empty_status_draws_nothing(self):
        exe = self.splash_app(splash_block(r10111=""), {"main-thread-ms": "1000"})
        r, rec, watch = self.watched(exe)
        self.assertEqual(r.code, 0)
        self.assertTrue(watch.shown())
        shot = watch.painted()[-1]
        self.assertEqual(count(shot, STATUS_RGB, (0, 0, IMAGE[0], IMAGE[1])), 0, "an empty status draws nothing")
        self.assertGreater(count(shot, VERSION_RGB, (20, 30, 220, 55)), 30)

    def test_long_status_is_cut_at_the_window_edge_on_one_line(self):
        text = "W" * 9000 + "\nsecond"
        exe = self.splash_app(splash_block(r10111=text), {"main-thread-ms": "1000"})
        r, rec, watch = self.watched(exe)
        self.assertEqual((r.code, r.dialogs), (0, []))
        shot = watch.painted()[-1]
        self.assertGreater(count(shot, STATUS_RGB, (IMAGE[0] - 40, 150, IMAGE[0], 180)), 10,
                           "the line runs to the window's edge")
        self.assertEqual(count(shot, STATUS_RGB, (0, 185, IMAGE[0], IMAGE[1])), 0, "no second line")

    def test_fatal_error_hides_the_splash_before_its_dialog(self):
        exe = self.splash_app(splash_block(), {"create": "fail"})
        # A slow version probe keeps the main thread busy while the splash shows.
        (self.dir / "jre" / "bin" / "stand-in.cfg").write_text(stand_in_config(delay_ms=700))
        r, rec, watch = self.watched(exe)
        self.assertEqual(r.code, 1)
        self.assertEqual(r.dialogs, [("Error", "The JVM could not be started.\n\nLog: " + r.dialogs[0][1].split("Log: ")[1])])
        kinds = watch.kinds()
        self.assertIn("dialog", kinds, watch.events)
        before = kinds[: kinds.index("dialog")]
        # Hidden, and possibly already ended with its thread, when the dialog appears.
        self.assertIn(before, (["shown", "hidden"], ["shown", "gone"], ["shown", "hidden", "gone"]), watch.events)
        self.assertLogHas(r, "Hiding splash screen")


class Controller(SplashCase):
    def test_texts_then_hide(self):
        script = {"main-thread-ms": "2500", "action": "0,0,2,2,0,0,0,1", "text": "Loading modules"}
        exe = self.splash_app(splash_block(r10111=""), script)
        r, rec, watch = self.watched(exe)
        self.assertEqual((r.code, r.dialogs), (0, []), r)
        self.assertTrue(rec.has("findclass", KORVO_CONTROLLER, "found"))
        self.assertTrue(rec.has("method", KORVO_CONTROLLER, "getAction", "()I", "found"))
        self.assertTrue(rec.has("method", KORVO_CONTROLLER, "getText", "()Ljava/lang/String;", "found"))
        calls = rec.values("call")
        self.assertEqual([c for c in calls if c[0] == "getAction"][:8],
                         [["getAction", a] for a in "0,0,2,2,0,0,0,1".split(",")])
        self.assertEqual(calls.count(["getText", "Loading modules"]), 2)
        # Polling stops with the hide: no call after the one that answered 1,
        # and the thread leaves the JVM before it ends.
        keys = rec.keys()
        last_call = max(i for i, k in enumerate(keys) if k == "call")
        self.assertEqual(rec.rows[last_call], ["call", "getAction", "1"])
        self.assertEqual(keys.count("attach"), 1)
        self.assertEqual(keys.count("detach"), 1)
        self.assertLess(keys.index("attach"), keys.index("detach"))
        self.assertLess(last_call, keys.index("detach"))
        # First without a status line, then with the text, then hidden.
        painted = watch.painted()
        self.assertGreaterEqual(len(painted), 2)
        self.assertEqual(count(painted[0], STATUS_RGB, (0, 0, IMAGE[0], IMAGE[1])), 0)
        self.assertGreater(count(painted[-1], STATUS_RGB, (20, 150, 260, 180)), 50)
        # Hidden and destroyed within one poll of the driver, or seen hidden first.
        self.assertIn(watch.kinds(), (["shown", "gone"], ["shown", "hidden", "gone"]), watch.events)
        self.assertLogHas(r, "Hiding splash screen")

    def test_same_text_every_tick(self):
        script = {"main-thread-ms": "1500", "action": "2", "text": "Same text"}
        exe = self.splash_app(splash_block(r10111=""), script)
        r, rec, watch = self.watched(exe)
        self.assertEqual((r.code, r.dialogs), (0, []))
        texts = rec.values("call").count(["getText", "Same text"])
        self.assertGreaterEqual(texts, 5, "asked and painted on every 100 ms tick")
        self.assertEqual(rec.keys().count("release-chars"), texts, "every string's characters are released")
        self.assertGreater(count(watch.painted()[-1], STATUS_RGB, (20, 150, 220, 180)), 50)

    def test_auto_off_leaves_a_splash_that_is_the_only_window(self):
        exe = self.splash_app(splash_block(r145="1"), {"main-thread-ms": "1200"})
        r, rec, watch = self.watched(exe)
        self.assertEqual((r.code, r.dialogs), (0, []))
        # Hidden at the application's end; the process may end before the
        # driver sees the window go.
        self.assertIn(watch.kinds(), (["shown", "hidden", "gone"], ["shown", "hidden"], ["shown", "gone"]),
                      watch.events)
        self.assertNotIn("Splash screen auto off", r.log)
        self.assertLogHas(r, "splash screen still up at the application's end")

    def test_null_text_leaves_the_status_line(self):
        script = {"main-thread-ms": "1500", "action": "2", "text": "<null>"}
        exe = self.splash_app(splash_block(), script)
        r, rec, watch = self.watched(exe)
        self.assertEqual((r.code, r.dialogs), (0, []))
        self.assertGreaterEqual(rec.values("call").count(["getText", "<null>"]), 3, "asked on every tick")
        self.assertNotIn("release-chars", rec.keys())
        self.assertGreater(count(watch.painted()[-1], STATUS_RGB, (20, 150, 220, 180)), 50, "the initial text stays")

    def test_without_controller_class_the_splash_stays_and_nothing_is_reported(self):
        exe = self.splash_app(splash_block(), {"main-thread-ms": "1500"}, controller=False)
        r, rec, watch = self.watched(exe)
        self.assertEqual((r.code, r.dialogs), (0, []), "the exception of the lookup does not reach main")
        self.assertEqual(rec.values("findclass").count([KORVO_CONTROLLER, "missing"]), 1, "looked up once")
        self.assertFalse([c for c in rec.values("call") if c[0] == "getAction"])
        # Nothing hides it while the application runs; at its end the
        # launcher does, and the splash thread leaves the JVM before the
        # JVM is destroyed (destroy would wait for an attached ordinary
        # thread forever).
        # The process may end before the driver sees the hidden window go.
        self.assertIn(watch.kinds(), (["shown", "hidden", "gone"], ["shown", "hidden"], ["shown", "gone"]),
                      watch.events)
        self.assertLogHas(r, "splash screen still up at the application's end")
        keys = rec.keys()
        self.assertEqual(rec.values("attach"), ["daemon"])
        self.assertLess(keys.index("detach"), keys.index("destroy"))

    def test_missing_method_polls_nothing(self):
        exe = self.splash_app(splash_block(), {"main-thread-ms": "1000", "missing-method": "getText"})
        r, rec, watch = self.watched(exe)
        self.assertEqual((r.code, r.dialogs), (0, []))
        self.assertTrue(rec.has("method", KORVO_CONTROLLER, "getText", "()Ljava/lang/String;", "missing"))
        self.assertFalse([c for c in rec.values("call") if c[0] == "getAction"])
        self.assertTrue(watch.shown())


class JavaSplashLibrary(SplashCase):
    def library_app(self, library="splashscreen.dll", **extra):
        exe = self.splash_app(splash_block(r10123="1", **extra), extra.pop("script", None))
        if library:
            shutil.copy(SPLASH_FIXTURES / library, self.dir / "jre" / "bin" / "splashscreen.dll")
        return exe

    def test_library_gets_the_image_data_and_no_window_is_made(self):
        exe = self.library_app()
        r, rec, watch = self.watched(exe)
        self.assertEqual((r.code, r.dialogs), (0, []), r)
        self.assertEqual(self.library_record(),
                         ["init", f"load\t{len(LIBRARY_IMAGE)}\t{LIBRARY_IMAGE[:16].hex()}"])
        self.assertEqual(watch.states(), [])
        self.assertLogMatches(r, r"loading splashscreen dll from .*\\jre\\bin\\\.\.\\bin\\splashscreen\.dll")
        self.assertLogMatches(r, rf"splash load memory returned 1 \(\S+, \S+, {len(LIBRARY_IMAGE)}\)")
        # Started after the runtime was found, before the JVM is created.
        self.assertLess(r.log.index(next(l for l in r.log if l.startswith("loading splashscreen dll"))),
                        r.log.index("Creating JVM"))

    def test_fatal_error_closes_the_library_splash(self):
        exe = self.splash_app(splash_block(r10123="1"), {"create": "fail"})
        shutil.copy(SPLASH_FIXTURES / "splashscreen.dll", self.dir / "jre" / "bin" / "splashscreen.dll")
        r, rec, watch = self.watched(exe)
        self.assertEqual(r.code, 1)
        self.assertEqual(len(r.dialogs), 1)
        self.assertEqual(self.library_record()[0], "init")
        self.assertEqual(self.library_record()[-1], "close")
        self.assertEqual(self.library_record().count("close"), 1)

    def test_missing_library_or_export_goes_on_without_splash(self):
        for library, line in ((None, "ERROR: Could not load splashscreen.dll"),
                              ("splashscreen-no-close.dll", "ERROR: Could not find functions in splashscreen.dll")):
            with self.subTest(library=library):
                exe = self.library_app(library)
                r, rec, watch = self.watched(exe)
                self.assertEqual((r.code, r.dialogs), (0, []))
                self.assertLogHas(r, line)
                self.assertEqual(self.library_record(), [], "no call into a library without its functions")
                self.assertEqual(len(rec.values("main")), 1, "the application starts")
                shutil.rmtree(self.dir / "jre")
                for f in self.tmp.glob("vdl_nlog_*"):
                    f.unlink()


if __name__ == "__main__":
    unittest.main()
