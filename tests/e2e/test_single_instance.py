"""Instance semaphores and the hand-over from a second start to the running
instance, with launchers running side by side."""
import subprocess
import threading
import time
import unittest
from pathlib import Path

import test_jvm_start as jvm_start
from harness import BUILD_WIN32, RUNNER, WINE, LauncherCase, base_block, reg, reg_value, unescape, wine_env, winpath
from jvmstart import Record, recording_home

PIDS_KEY = "HKCU\\SOFTWARE\\orrin-labs\\korvo\\pids"


class Running:
    """A launcher started through the driver without waiting for it."""

    def __init__(self, process, outfile):
        self.process = process
        self.outfile = outfile
        self.lifetime_ms = None  # from the process's creation to its end

    def finish(self, timeout=90):
        self.process.wait(timeout=timeout)
        code, dialogs = None, []
        for row in self.outfile.read_bytes().decode("utf-8", "replace").splitlines():
            parts = row.split("\t")
            if parts[0] == "exit":
                code = int(parts[1])
            elif parts[0] == "lifetime":
                self.lifetime_ms = int(parts[1])
            elif parts[0] == "dialog":
                dialogs.append((unescape(parts[1]), unescape(parts[2])))
        return code, dialogs


class InstanceCase(LauncherCase):
    runs = 0

    def tearDown(self):
        mine = winpath(self.dir).lower()
        out = reg("query", PIDS_KEY, check=False)
        for row in out.stdout.decode("utf-8", "replace").splitlines():
            name = row.strip().split("    ")[0]
            if name.startswith(mine):
                reg("delete", PIDS_KEY, "/v", name, "/f", check=False)
        super().tearDown()

    def app(self, where=None, script=None, **records):
        where = Path(where or self.dir)
        recording_home(where / "jre", script)
        jvm_start.make_jar(where / ".vandrel" / "vdlruntime.jar", jvm_start.WIN_LAUNCHER_I, jvm_start.FIRST_RUN)
        return self.make_exe(jvm_start.installer_block(**records), where=where)

    def spawn(self, exe, args="", timeout_ms=60000):
        """Starts `exe` with `args`; every launcher of a case shares its TMP."""
        InstanceCase.runs += 1
        outfile = self.dir / f"runner{InstanceCase.runs}.txt"
        argv = [WINE, str(RUNNER), "--answer", "ok", "--timeout", str(timeout_ms)]
        for k, v in {"TMP": winpath(self.tmp), "KORVO_LOG": "yes", "VANDREL_LOG": "<unset>",
                     "MANPATH": "<unset>"}.items():
            argv += ["--env", f"{k}={v}"]
        env = wine_env()
        env["KVO_RUN_CMDLINE"] = f'"{winpath(exe)}"' + (" " + args if args else "")
        with open(outfile, "wb") as sink:
            process = subprocess.Popen(argv, env=env, stdout=sink, stderr=subprocess.DEVNULL,
                                       stdin=subprocess.DEVNULL)
        return Running(process, outfile)

    def logs(self):
        return [p.read_bytes().decode("cp1252").replace("\r\n", "\n").split("\n")
                for p in sorted(self.tmp.glob("vdl_nlog_*"))]

    def log_with(self, line_start):
        found = [log for log in self.logs() if any(l.startswith(line_start) for l in log)]
        self.assertEqual(len(found), 1, f"logs with {line_start!r}: {found}")
        return found[0]

    def wait_for(self, predicate, what, seconds=30):
        end = time.time() + seconds
        while time.time() < end:
            if predicate():
                return
            time.sleep(0.1)
        self.fail("gave up waiting for " + what)

    def wait_for_main(self, vm, count=1):
        self.wait_for(lambda: Record(vm).keys().count("main") >= count, "the application's main")

    def base_name(self, exe):
        return winpath(exe).lower().replace("\\", "_").replace(" ", "_")

    def registered_pid(self, exe):
        value = reg_value(PIDS_KEY, winpath(exe).lower())
        self.assertIsNotNone(value, "no pids value")
        self.assertEqual(value[0], "REG_DWORD")
        return int(value[1], 16)


class Reader(threading.Thread):
    """Plays the application's side: takes the communication file, keeping
    what it held, and removes it unless told to leave it."""

    def __init__(self, path, delete=True):
        super().__init__(daemon=True)
        self.path, self.delete, self.data = Path(path), delete, None
        self.stop = threading.Event()

    def run(self):
        while not self.stop.is_set():
            if self.path.exists() and self.path.stat().st_size > 0:
                time.sleep(0.1)  # the writer closes the file right after its one write
                self.data = self.path.read_bytes()
                if self.delete:
                    self.path.unlink()
                return
            time.sleep(0.02)


class HandOver(InstanceCase):
    def test_second_start_hands_over_its_arguments_and_ends(self):
        exe = self.app(script={"main-thread-ms": "8000"}, r10005="1")
        vm = self.dir / "jre" / "bin" / "server"
        first = self.spawn(exe)
        self.wait_for_main(vm)
        pid = self.registered_pid(exe)
        comm = self.tmp / f"kvo_p{pid}.tmp"
        name = "Local\\" + self.base_name(exe)
        self.assertIn("-Dkorvo.semaphoreName=" + name, Record(vm).options)
        self.assertIn("-Dkorvo.processCommFile=" + winpath(comm), Record(vm).options)

        reader = Reader(comm)
        reader.start()
        second = self.spawn(exe, "one  \"two three\" \u00e9")
        code, dialogs = second.finish()
        self.assertEqual((code, dialogs), (0, []))
        reader.join(5)
        self.assertEqual(reader.data, "one  \"two three\" \u00e9\n".encode("utf-16-le"))
        self.assertIsNone(first.process.poll(), "the first instance runs on")

        log = self.log_with("other pid")
        for line in ("single instance mode", f"other pid {pid}", f"notification via {winpath(comm)}",
                     "waiting for notification semaphore", "wait returned 0", "waiting for file deletion",
                     "exiting"):
            self.assertIn(line, log, "\n".join(log))
        self.assertTrue(any(l.startswith(f"semaphore name {name}, code 183, value ") for l in log), log)
        self.assertEqual(Record(vm).keys().count("create"), 1, "the second start created no JVM")
        self.assertEqual(self.registered_pid(exe), pid, "a second start does not note itself")

        # The same program in another directory is an instance of its own.
        other = self.app(where=self.dir / "copy", r10005="1")
        code, dialogs = self.spawn(other).finish()
        self.assertEqual((code, dialogs), (0, []))
        self.assertEqual(Record(self.dir / "copy" / "jre" / "bin" / "server").keys().count("main"), 1)
        self.assertNotEqual(self.registered_pid(other), pid)

        self.assertEqual(first.finish(), (0, []))
        self.assertFalse(comm.exists())

    def test_file_left_when_the_instance_ends_meanwhile_is_removed(self):
        exe = self.app(script={"main-thread-ms": "3000"}, r10005="1")
        vm = self.dir / "jre" / "bin" / "server"
        first = self.spawn(exe)
        self.wait_for_main(vm)
        comm = self.tmp / f"kvo_p{self.registered_pid(exe)}.tmp"
        reader = Reader(comm, delete=False)
        reader.start()
        code, dialogs = self.spawn(exe).finish()
        self.assertEqual((code, dialogs), (0, []))
        reader.join(5)
        self.assertEqual(reader.data, b"\n\x00", "no arguments: the line feed alone")
        self.assertFalse(comm.exists(), "the second start removes what nobody took")
        log = self.log_with("other pid")
        self.assertIn("main process already released semaphore.", log)
        self.assertEqual(first.finish(), (0, []))

    def test_stale_file_ends_each_waiting_start_with_an_error(self):
        exe = self.app(script={"main-thread-ms": "30000"}, r10005="1")
        vm = self.dir / "jre" / "bin" / "server"
        first = self.spawn(exe)
        self.wait_for_main(vm)
        comm = self.tmp / f"kvo_p{self.registered_pid(exe)}.tmp"
        comm.write_bytes(b"o\x00l\x00d\x00\n\x00")
        started = time.time()
        # Two at once: the one that waits behind the failing one must not be
        # locked out by that failure.
        seconds = [self.spawn(exe, "a"), self.spawn(exe, "b")]
        results = [s.finish(timeout=60) for s in seconds]
        self.assertGreater(time.time() - started, 19, "each waits 10 s for the old file")
        for code, dialogs in results:
            self.assertEqual(code, 1)
            self.assertEqual([t.split("\n")[0] for _, t in dialogs], ["An internal error occurred (error code: 21)"])
        self.assertEqual(comm.read_bytes(), b"o\x00l\x00d\x00\n\x00", "the old file is left as it was")
        logs = [l for l in self.logs() if "other pid" in " ".join(l)]
        self.assertEqual(len(logs), 2)
        for log in logs:
            self.assertIn("CreateFile failed 80", log)
        self.assertIsNone(first.process.poll())
        self.assertEqual(first.finish(), (0, []))

    def test_a_notification_semaphore_nobody_gives_back_ends_the_wait(self):
        # Any program of the user can take the notification semaphore and
        # keep it. Here one also holds the instance name, so the start below
        # is a second start without a running launcher behind it.
        exe = self.make_exe(base_block(r10005="1"))
        name = "Local\\" + self.base_name(exe)
        holder = subprocess.Popen([WINE, str(BUILD_WIN32 / "fixtures" / "windows" / "kvo-hold.exe"), "150000",
                                   name, name + "_notification"], env=wine_env(), stdout=subprocess.PIPE,
                                  stderr=subprocess.PIPE, stdin=subprocess.DEVNULL)
        try:
            self.assertEqual(holder.stdout.readline().strip(), b"held", holder.stderr.read1() if holder.poll() else "")
            started = time.time()
            code, dialogs = self.spawn(exe, "a", timeout_ms=120000).finish(timeout=150)
            waited = time.time() - started
        finally:
            holder.kill()
            holder.wait()
        self.assertEqual(code, 1)
        self.assertEqual([t.split("\n")[0] for _, t in dialogs], ["An internal error occurred (error code: 21)"])
        self.assertGreater(waited, 59)
        self.assertLess(waited, 100)
        log = self.log_with("other pid")
        self.assertIn("waiting for notification semaphore", log)
        self.assertIn("wait returned 258", log)
        self.assertIn("ERROR: notification semaphore not free within 60 s: hand-over given up", log)
        self.assertNotIn("exiting", log)
        self.assertEqual(list(self.tmp.glob("kvo_p*.tmp")), [], "nothing written for the running instance")


class NumberedNames(InstanceCase):
    def test_concurrent_launches_take_the_lowest_free_numbers(self):
        exe = self.app(script={"main-thread-ms": "5000"}, r158="1")
        vm = self.dir / "jre" / "bin" / "server"
        running = [self.spawn(exe), self.spawn(exe)]
        self.wait_for_main(vm, 2)
        code, dialogs = self.spawn(exe).finish()
        self.assertEqual((code, dialogs), (0, []))
        base = "Global\\" + self.base_name(exe)
        names = set()
        for log in self.logs():
            for line in log:
                if line.startswith("semaphore name "):
                    names.add(line.split(",")[0][len("semaphore name "):])
                    self.assertIn(", code 0, value ", line)
        self.assertEqual(names, {base + "0", base + "1", base + "2"})
        options = Record(vm).options
        self.assertEqual(sorted(o for o in options if o.startswith("-Dkorvo.semaphoreName=")),
                         ["-Dkorvo.semaphoreName=" + base + n for n in "012"])
        self.assertFalse(any(o.startswith("-Dkorvo.processCommFile=") for o in options))
        self.assertIsNone(reg_value(PIDS_KEY, winpath(exe).lower()), "only single-instance mode notes a pid")
        for r in running:
            self.assertEqual(r.finish(), (0, []))
        # Once their holders have ended, the numbers are free again.
        code, _ = self.spawn(exe).finish()
        self.assertEqual(code, 0)
        zero = [l for log in self.logs() for l in log if l.startswith(f"semaphore name {base}0, code 0, ")]
        self.assertEqual(len(zero), 2)


if __name__ == "__main__":
    unittest.main()
