"""The executable's shape and the start-up sequence up to the runtime search."""
import struct
import time
import unittest

from harness import (STUB, LauncherCase, RuntimeCase, base_block, java_runs, jvm_record, launcher_is_64,
                     make_runtime_home, winpath)

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "comctl32.dll",
               "msvcrt.dll", "shell32.dll", "ole32.dll", "ws2_32.dll", "version.dll"}


def pe_parts(data):
    pe = struct.unpack_from("<I", data, 60)[0]
    assert data[pe:pe + 4] == b"PE\0\0"
    machine, nsect = struct.unpack_from("<HH", data, pe + 4)
    opt_size = struct.unpack_from("<H", data, pe + 20)[0]
    opt = pe + 24
    magic, = struct.unpack_from("<H", data, opt)
    subsystem, = struct.unpack_from("<H", data, opt + 68)
    # The data directories follow the wider fields of a PE32+ header later.
    dirs = opt + (112 if magic == 0x20B else 96)
    sections = []
    for i in range(nsect):
        s = opt + opt_size + 40 * i
        name = data[s:s + 8].rstrip(b"\0").decode()
        vsize, va, rsize, rptr = struct.unpack_from("<IIII", data, s + 8)
        sections.append((name, va, vsize, rptr, rsize))

    def at(rva):
        for _, va, vsize, rptr, rsize in sections:
            if va <= rva < va + max(vsize, rsize):
                return rptr + rva - va
        raise ValueError(hex(rva))

    imports = []
    imp_rva = struct.unpack_from("<I", data, dirs + 8)[0]
    p = at(imp_rva)
    while True:
        name_rva = struct.unpack_from("<I", data, p + 12)[0]
        if name_rva == 0:
            break
        q = at(name_rva)
        imports.append(data[q:data.index(b"\0", q)].decode().lower())
        p += 20
    rsrc_rva = struct.unpack_from("<I", data, dirs + 16)[0]
    r = at(rsrc_rva)
    named, ids = struct.unpack_from("<HH", data, r + 12)
    types = [struct.unpack_from("<I", data, r + 16 + 8 * i)[0] for i in range(named + ids)]
    return machine, magic, subsystem, imports, types, sections, at, r



def manifest_resources(data):
    """{resource id: manifest text} of the RT_MANIFEST resources (first language each)."""
    *_, at, root = pe_parts(data)

    def entries(directory):
        named, ids = struct.unpack_from("<HH", data, directory + 12)
        return [struct.unpack_from("<II", data, directory + 16 + 8 * i) for i in range(named + ids)]

    out = {}
    for type_id, type_off in entries(root):
        if type_id != 24:
            continue
        for name_id, name_off in entries(root + (type_off & 0x7FFFFFFF)):
            _, leaf = entries(root + (name_off & 0x7FFFFFFF))[0]
            rva, size = struct.unpack_from("<II", data, root + leaf)
            out[name_id] = data[at(rva):at(rva) + size].decode()
    return out

class ExecutableShape(unittest.TestCase):
    def test_gui_static_with_manifest_and_no_version(self):
        data = STUB.read_bytes()
        machine, magic, subsystem, imports, types, sections, _, _ = pe_parts(data)
        wide = launcher_is_64()
        self.assertEqual(machine, 0x8664 if wide else 0x14C, "x86-64 or i386")
        self.assertEqual(magic, 0x20B if wide else 0x10B, "PE32+ or PE32")
        self.assertEqual(subsystem, 2, "Windows GUI")
        self.assertTrue(set(imports) <= SYSTEM_DLLS, imports)
        # Every library imported is loaded before WinMain on every start;
        # the registry, windows and the rest are bound when first needed.
        self.assertEqual(sorted(imports), ["kernel32.dll", "msvcrt.dll"])
        self.assertIn(24, types, "RT_MANIFEST")
        self.assertNotIn(16, types, "RT_VERSION")
        # The block is found behind the raw data of the last section header,
        # so that section must carry raw data up to the end of the image.
        self.assertGreater(sections[-1][4], 0)
        self.assertEqual(max(rp + rs for _, _, _, rp, rs in sections), len(data))
        manifests = manifest_resources(data)
        self.assertEqual(sorted(manifests), [1, 101])
        for needed in ('level="asInvoker"', 'uiAccess="false"', "e2011457-1546-43c5-a5fe-008deee3d3f0",
                       "35138b9a-5d96-4fbd-8e2d-a2440225f93a"):
            self.assertIn(needed, manifests[1])
        # The common controls are not bound at process start (manifest 1)
        # but activated by the launcher from manifest 101 before a window.
        self.assertNotIn("dependency", manifests[1])
        for needed in ('name="Microsoft.Windows.Common-Controls"', 'version="6.0.0.0"',
                       f'processorArchitecture="{"amd64" if wide else "X86"}"', 'publicKeyToken="6595b64144ccf1df"'):
            self.assertIn(needed, manifests[101])


class StartupCost(RuntimeCase):
    def test_a_warm_start_runs_nothing_and_loads_no_optional_library(self):
        home = make_runtime_home(self.dir / "jre")
        exe = self.make_exe(base_block(r128="B.\\jre"))
        self.run_launcher(exe)
        runs = len(java_runs(home / "bin"))
        self.assertEqual(runs, 1, "the first start probes the runtime")
        r = self.run_launcher(exe)
        record = jvm_record(home / "bin" / "server")
        self.assertIn("create", record, r.log)
        self.assertLogHas(r, "got version from registry 1.8.0_402")
        self.assertEqual(len(java_runs(home / "bin")), runs, "no java.exe run with the version cached")
        # Up to JNI_CreateJavaVM: no window, registry through kernel32.
        self.assertEqual(record["loaded"], "", record["loaded"])
        # The benchmark's step times: noted from the first step on, and
        # written also when the launcher ends the process itself (the
        # stand-in VM refuses to start).
        times = self.dir / "steps.txt"
        r = self.run_launcher(exe, env={"KORVO_STEP_TIMES": winpath(times)})
        self.assertEqual(r.code, 1, r.log)
        noted = [line.split("\t", 1) for line in times.read_text().splitlines()]
        labels = [label for _, label in noted]
        wanted = ["step times on", "Searching for a JVM", "got version from registry %s", "Creating JVM",
                  "could not initialize JVM"]
        self.assertEqual([label for label in labels if label in wanted], wanted, noted)
        at = [float(when) for when, _ in noted]
        self.assertEqual(at, sorted(at), noted)


class StartupSequence(LauncherCase):
    def test_valid_block_reaches_the_runtime_search(self):
        r = self.run_launcher(self.make_exe(base_block()), "-q_vdl_internal")
        self.assertEqual(r.code, 83)
        self.assertLogHas(r, "working directory unchanged")
        self.assertLogHas(r, "Searching for a JVM")
        self.assertLogHas(r, "ERROR: No JVM found")

    def test_launcher_in_a_folder_the_code_page_cannot_name(self):
        # Letters cp1252 lacks, with look-alikes ("č" -> "c") or without any:
        # the launcher reads itself through its short path, never through a
        # look-alike path that names nothing.
        for folder in ("Mil\u010devi\u0107", "\u0141\u00f3d\u017a", "\u65e5\u672c"):
            with self.subTest(folder):
                exe = self.make_exe(base_block(r128="B.\\jre"), where=self.dir / folder)
                r = self.run_launcher(exe)
                self.assertEqual(r.code, 83, r.dialogs)
                self.assertFalse([t for _, t in r.dialogs if "Error opening media file" in t], r.dialogs)
                self.assertLogHas(r, "Searching for a JVM")
                # Relative entries resolve against the launcher's real folder.
                self.assertTrue(any(l.startswith("checkJavaExe (") and "~" in l for l in r.log), r.log)
                for f in self.tmp.glob("vdl_nlog_*"):
                    f.unlink()

    def test_working_directory_is_made_absolute_and_entered(self):
        (self.dir / "Data" / "Sub").mkdir(parents=True)
        r = self.run_launcher(self.make_exe(base_block(r146=".\\Data\\x\\..\\Sub")),
                              cwd=self.tmp)
        self.assertLogHas(r, "change working directory to " + winpath(self.dir) + "\\Data\\Sub")
        # The later search output shows that relative paths were resolved
        # against the launcher, not the working directory.
        self.assertEqual(r.code, 83)

    def test_language_restart_skips_the_working_directory(self):
        exe = self.make_exe(base_block(r146="Data"))
        r = self.run_launcher(exe, "__vdl_lang_restart")
        self.assertEqual(r.code, 83)
        self.assertFalse(any(l.startswith("change working directory") or l == "working directory unchanged"
                             for l in r.log), r.log)
        self.assertNotIn("single-instance check not built yet: skipped", r.log)

    def test_native_library_directories_go_in_front_of_path(self):
        cases = {
            ".\\bin;.\\bin64": winpath(self.dir) + "\\.\\bin;" + winpath(self.dir) + "\\.\\bin64;",
            "D:\\libs;;\\\\server\\share\\x;": "D:\\libs;\\\\server\\share\\x;",
            "": "",
        }
        for record, front in cases.items():
            with self.subTest(record):
                r = self.run_launcher(self.make_exe(base_block(r10004=record)), env={"PATH": "C:\\old"})
                self.assertLogHas(r, "native lib dir is " + record)
                self.assertLogHas(r, "Setting PATH (native libs) " + front + "C:\\old")

    def test_reboot_keyword_ends_at_once_with_nothing_read(self):
        # A broken block proves that the configuration is not even opened.
        exe = self.make_exe(b"")
        start = time.monotonic()
        r = self.run_launcher(exe, "__vdl_reboot", timeout_ms=20000)
        self.assertEqual(r.code, 0)
        self.assertIsNone(r.log)
        self.assertEqual(r.dialogs, [])
        self.assertGreaterEqual(time.monotonic() - start, 5.0, "waits 5 s before asking")

    def test_reboot_keyword_with_more_text_starts_normally(self):
        r = self.run_launcher(self.make_exe(base_block()), "__vdl_reboot now")
        self.assertEqual(r.code, 83)
        self.assertIsNotNone(r.log)


if __name__ == "__main__":
    unittest.main()
