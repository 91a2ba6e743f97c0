"""Resources that kvo-pack writes into the stock stub, read back through
Windows' own interfaces under Wine (shell icon extraction, the version API,
the activation context of the manifest), and a launcher signed afterwards
that still starts, finds its block and extracts its included files."""
import shutil
import subprocess
import unittest
from pathlib import Path

from harness import LauncherCase
from jvmstart import FIRST_RUN, WIN_LAUNCHER_I, make_jar, recording_home
from packing import bmp, ico, inspect, kvo_text, pack, png
from test_included_files import unix_path
from test_jvm_start import JvmCase, installer_block

APP_RGB = (30, 160, 220)
SPLASH_ICON_RGB = (250, 200, 10)

ART = {
    "art/app.ico": ico(APP_RGB, APP_RGB, size=32),
    "art/splash.ico": ico(SPLASH_ICON_RGB),
    "art/splash.bmp": bmp(120, 80, (90, 10, 10), (10, 90, 10)),
    "art/library.png": png(8, 8, (1, 2, 3)),
}


class ReadByWindows(LauncherCase):
    def test_version_information_through_the_version_api(self):
        exe = pack(self.dir, "ExecutableType = 1\n[version]\nFileVersion = 4.3.2.1\nProductVersion = 4.3.0.0\n"
                             "CompanyName = Fj\u00f6rd Software\nFileDescription = Sample tool\n"
                             "LegalCopyright = (c) 2026 Fj\u00f6rd\nOriginalFilename = sample.exe\n"
                             "InternalName = sample\nProductName = Sample\n", ART)
        rows = inspect(exe)
        self.assertEqual(rows.get("version"), [["4.3.2.1", "4.3.0.0"]], rows)
        self.assertEqual(rows.get("translation"), [["040904b0"]])
        self.assertEqual(dict(rows["string"]), {
            "CompanyName": "Fj\u00f6rd Software", "FileDescription": "Sample tool",
            "FileVersion": "4.3.2.1", "InternalName": "sample", "LegalCopyright": "(c) 2026 Fj\u00f6rd",
            "OriginalFilename": "sample.exe", "ProductName": "Sample", "ProductVersion": "4.3.0.0"})

    def test_the_stock_stub_has_no_version_and_no_icon(self):
        exe = pack(self.dir, "ExecutableType = 1\n")
        rows = inspect(exe)
        self.assertNotIn("version", rows)
        self.assertEqual(rows.get("icons"), [["0"]])
        self.assertEqual(rows.get("splashicon"), [["none"]])

    def test_shell_icon_is_the_application_icon_not_the_splash_icon(self):
        exe = pack(self.dir, "ExecutableType = 1\n[resources]\nicon = art/app.ico\n"
                             "splash-icon = art/splash.ico\n", ART)
        rows = inspect(exe)
        self.assertEqual(rows.get("icons"), [["2"]], rows)
        self.assertEqual(rows["icon"][0][1], ",".join(map(str, APP_RGB)))
        # The splash window class loads "ID_SPLASH_ICON".
        self.assertEqual(rows["splashicon"][0][1], ",".join(map(str, SPLASH_ICON_RGB)))
        # Without splash-icon that name gives the application's icon.
        rows = inspect(pack(self.dir, "ExecutableType = 1\n[resources]\nicon = art/app.ico\n", name="one.exe"))
        self.assertEqual(rows.get("icons"), [["2"]], rows)
        self.assertEqual(rows["splashicon"][0][1], ",".join(map(str, APP_RGB)))

    def test_manifest_execution_level_and_dpi_awareness(self):
        for level in ("requireAdministrator", "highestAvailable", "asInvoker"):
            with self.subTest(level):
                exe = pack(self.dir, f"ExecutableType = 1\n[resources]\nexecution-level = {level}\n"
                                     "dpi-aware = per-monitor-v2\n", name=f"{level}.exe")
                rows = inspect(exe)
                self.assertEqual(rows.get("runlevel"), [[level, "0"]], rows)
                manifest = rows["manifest"][0][0]
                self.assertIn("PerMonitorV2", manifest)
                self.assertIn("35138b9a-5d96-4fbd-8e2d-a2440225f93a", manifest, "the rest is kept")


class SignedLauncher(JvmCase):
    def test_signed_launcher_starts_and_extracts_its_files(self):
        for tool in ("openssl", "osslsigncode"):
            if not shutil.which(tool):
                self.fail(f"{tool} is missing (scripts/install-deps.sh)")
        self.vm = recording_home(self.dir / "jre")
        make_jar(self.dir / ".vandrel" / "vdlruntime.jar", WIN_LAUNCHER_I, FIRST_RUN)
        config = (kvo_text(installer_block()) + "[resources]\nicon = art/app.ico\n"
                  "[version]\nFileVersion = 1.0.0.0\n[files]\ndata\\extra.txt = art/extra.txt\n")
        unsigned = pack(self.dir, config, dict(ART, **{"art/extra.txt": b"included and signed"}),
                        name="unsigned.exe")
        key, cert = self.dir / "key.pem", self.dir / "cert.pem"
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", str(key),
                        "-out", str(cert), "-days", "2", "-subj", "/CN=kvo e2e"],
                       check=True, capture_output=True, timeout=120)
        exe = self.dir / "app.exe"
        subprocess.run(["osslsigncode", "sign", "-certs", str(cert), "-key", str(key), "-in", str(unsigned),
                        "-out", str(exe)], check=True, capture_output=True, timeout=120)
        verified = subprocess.run(["osslsigncode", "verify", "-CAfile", str(cert), str(exe)],
                                  capture_output=True, text=True, timeout=120)
        self.assertIn("Signature verification: ok", verified.stdout, verified.stdout + verified.stderr)
        self.assertGreater(exe.stat().st_size, unsigned.stat().st_size)

        r, rec = self.start(exe)
        self.assertEqual((r.code, r.dialogs), (0, []), r)
        self.assertEqual(len(rec.values("main")), 1, "the application starts")
        # The Java half's classes, read in front of the signature.
        self.assertIn(["com/vandrel/runtime/launcher/WinLauncher", "class path loader", "class file"],
                      rec.values("define-class"))
        temp = [o for o in rec.options if o.startswith("-Dkorvo.tempDir=")][0].split("=", 1)[1]
        self.assertTrue(temp, "the included files were extracted into a directory")
        extracted = unix_path(temp) / "data" / "extra.txt"
        self.assertEqual(extracted.read_bytes(), b"included and signed")
        # Windows reads the version information of the signed file as well.
        self.assertEqual(inspect(exe).get("version"), [["1.0.0.0", "1.0.0.0"]])


if __name__ == "__main__":
    unittest.main()
