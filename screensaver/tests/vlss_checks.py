"""Drives vlss-host with the view and watches it from outside: its sockets in
/proc, connections to the loopback port, the launches its test build records,
and the exit status and time.

Usage: vlss_checks.py CASE   (build, preview, taken_port, real_run,
                              stop_while_listening)
Environment: VLSS_HOST, VLSS_BUNDLE (product build), VLSS_TEST_BUNDLE (the
build whose command runs the recording script).
"""

import errno
import os
import socket
import struct
import subprocess
import sys
import tempfile
import time
import unittest

PORT = 57372
HOST = os.environ.get("VLSS_HOST", "")
BUNDLE = os.environ.get("VLSS_BUNDLE", "")
TEST_BUNDLE = os.environ.get("VLSS_TEST_BUNDLE", "")
FIXED_COMMAND = b"/Applications/Velmora.app/Contents/MacOS/JavaApplicationStub -RunAsScreenSaver\0"

TCP_LISTEN = 0x0A
LOOPBACK_HEX = "0100007F"  # 127.0.0.1 as /proc/net/tcp shows it on this machine


def port_sockets():
    """(address hex, state, inode) of every TCP socket whose local port is PORT."""
    found = []
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        try:
            with open(table) as f:
                lines = f.readlines()[1:]
        except FileNotFoundError:
            continue
        for line in lines:
            fields = line.split()
            address, port = fields[1].rsplit(":", 1)
            if int(port, 16) == PORT:
                found.append((address, int(fields[3], 16), int(fields[9])))
    return found


def listeners():
    return [(a, inode) for a, state, inode in port_sockets() if state == TCP_LISTEN]


def socket_inodes(pid):
    inodes = set()
    try:
        names = os.listdir(f"/proc/{pid}/fd")
    except FileNotFoundError:
        return inodes
    for name in names:
        try:
            target = os.readlink(f"/proc/{pid}/fd/{name}")
        except OSError:
            continue
        if target.startswith("socket:["):
            inodes.add(int(target[8:-1]))
    return inodes


def thread_count(pid):
    try:
        return len(os.listdir(f"/proc/{pid}/task"))
    except FileNotFoundError:
        return 0


def require_no_listener(test):
    if listeners():
        test.fail(f"port {PORT} is in use by another program: {listeners()}")


TCP_TIME_WAIT = 0x06


def wait_port_free(test, limit=20):
    """A listener of another program fails the test; old connections in
    TIME_WAIT on the port (the view binds without address reuse) are waited
    out."""
    require_no_listener(test)
    end = time.time() + limit
    while any(state == TCP_TIME_WAIT for _, state, _ in port_sockets()) and time.time() < end:
        time.sleep(0.5)


def probe():
    """Connects and expects the listener to close at once without a byte (a
    reset, as its zero linger gives, counts as closed). Aborts its own end
    afterwards so the port keeps no TIME_WAIT either way."""
    try:
        c = socket.create_connection(("127.0.0.1", PORT), timeout=2)
    except ConnectionResetError:
        # On loopback the reset can come before connect returns.
        return b""
    try:
        try:
            return c.recv(16)
        except ConnectionResetError:
            return b""
    finally:
        c.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        c.close()


def refuses():
    try:
        probe()
    except ConnectionRefusedError:
        return True
    return False


class Run:
    """One vlss-host process with its own launch record and output files."""

    def __init__(self, test, mode, *extra, bundle=None):
        self.dir = tempfile.TemporaryDirectory(prefix="vlss-")
        test.addCleanup(self.close)
        self.record = os.path.join(self.dir.name, "launches")
        env = dict(os.environ, VLSS_LAUNCH_RECORD=self.record)
        args = [HOST, f"--{mode}", *extra]
        if bundle is not False:
            args += ["--bundle", bundle or TEST_BUNDLE]
        self.out = open(os.path.join(self.dir.name, "out"), "w+")
        self.err = open(os.path.join(self.dir.name, "err"), "w+")
        self.t0 = time.time()
        self.proc = subprocess.Popen(args, stdout=self.out, stderr=self.err, env=env)
        self.pid = self.proc.pid
        self.exit_time = None

    def at(self, seconds):
        """Sleeps until the given time after the start."""
        delay = self.t0 + seconds - time.time()
        if delay > 0:
            time.sleep(delay)

    def elapsed(self):
        return time.time() - self.t0

    def running(self):
        return self.proc.poll() is None

    def wait(self, limit, sample=None):
        """Polls until the process ends (at most `limit` s after the start);
        `sample` is called on every poll while it runs."""
        while self.proc.poll() is None:
            if self.elapsed() > limit:
                self.proc.kill()
                self.proc.wait()
                raise AssertionError(f"vlss-host still ran {limit} s after its start")
            if sample:
                sample()
            time.sleep(0.01)
        self.exit_time = self.elapsed()
        return self.proc.returncode

    def wait_listener(self, limit):
        while self.elapsed() < limit and self.running():
            found = listeners()
            if found:
                return found
            time.sleep(0.01)
        return listeners()

    def launches(self):
        """(seconds after the start, arguments) of each recorded launch."""
        try:
            with open(self.record) as f:
                lines = f.read().splitlines()
        except FileNotFoundError:
            return []
        result = []
        for line in lines:
            stamp, _, args = line.partition(" ")
            result.append((float(stamp) - self.t0, args))
        return result

    def stderr(self):
        self.err.seek(0)
        return self.err.read()

    def close(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self.out.close()
        self.err.close()
        self.dir.cleanup()


class Checks(unittest.TestCase):
    def setUp(self):
        for name, path in (("VLSS_HOST", HOST), ("VLSS_BUNDLE", BUNDLE),
                           ("VLSS_TEST_BUNDLE", TEST_BUNDLE)):
            self.assertTrue(path and os.path.exists(path), f"{name} not built: {path!r}")

    def assert_listening_on_loopback(self, run, found):
        self.assertEqual(len(found), 1, f"expected one listener on port {PORT}: {found}")
        address, inode = found[0]
        self.assertEqual(address, LOOPBACK_HEX, "the listener must be bound to 127.0.0.1 only")
        self.assertIn(inode, socket_inodes(run.pid), "the listener is not vlss-host's socket")

    def assert_launched_then_exited(self, run):
        """The end of every real run: one launch 20 s after the start, exit 0 about 2 s later."""
        status = run.wait(30)
        launches = run.launches()
        self.assertEqual(len(launches), 1, f"launches: {launches}")
        when, args = launches[0]
        self.assertEqual(args, "-RunAsScreenSaver")
        self.assertGreaterEqual(when, 19.99)
        self.assertLessEqual(when, 21.0)
        self.assertEqual(status, 0, run.stderr())
        self.assertGreaterEqual(run.exit_time - when, 1.8)
        self.assertLessEqual(run.exit_time - when, 2.7)
        self.assertNotIn("bind", run.stderr())
        self.assertNotIn("listen", run.stderr())
        self.assertEqual(listeners(), [])

    # -- fast cases ---------------------------------------------------------

    def test_build(self):
        with open(os.path.join(BUNDLE, "Contents/MacOS/vlss"), "rb") as f:
            product = f.read()
        with open(os.path.join(TEST_BUNDLE, "Contents/MacOS/vlss"), "rb") as f:
            test_build = f.read()
        self.assertIn(FIXED_COMMAND, product)
        self.assertNotIn(b"record-launch", product)
        self.assertIn(b"record-launch.sh -RunAsScreenSaver\0", test_build)
        self.assertNotIn(b"/Applications/Velmora.app", test_build)

        # The host finds the product bundle beside itself and runs its preview.
        run = Run(self, "preview", bundle=False)
        self.assertEqual(run.wait(5), 0, run.stderr())
        self.assertEqual(run.stderr(), "")

    def test_preview(self):
        require_no_listener(self)
        run = Run(self, "preview", "--stop-after", "1")
        seen = {"sockets": set(), "threads": 0, "listeners": []}

        def sample():
            seen["sockets"] |= socket_inodes(run.pid)
            seen["threads"] = max(seen["threads"], thread_count(run.pid))
            seen["listeners"] += listeners()

        status = run.wait(5, sample)
        self.assertEqual(status, 0, run.stderr())
        self.assertGreaterEqual(run.exit_time, 1.0)
        self.assertLess(run.exit_time, 2.0, "the preview's start or stop held the engine")
        self.assertEqual(seen["sockets"], set())
        self.assertEqual(seen["listeners"], [])
        # The engine thread and the host's stop timer, nothing of the view's.
        self.assertLessEqual(seen["threads"], 2)
        self.assertEqual(run.launches(), [])
        self.assertEqual(run.stderr(), "")

    def test_taken_port(self):
        require_no_listener(self)
        holder = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.addCleanup(holder.close)
        holder.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            holder.bind(("127.0.0.1", PORT))
        except OSError as e:
            # A TIME_WAIT of a socket without address reuse (a view's) blocks
            # every bind on the port until it expires.
            if e.errno != errno.EADDRINUSE:
                raise
            wait_port_free(self)
            holder.bind(("127.0.0.1", PORT))
        holder.listen(1)
        holder.setblocking(False)

        run = Run(self, "real")
        status = run.wait(5)
        self.assertEqual(status, 1)
        self.assertLess(run.exit_time, 2.0)
        self.assertIn(f"bind: {os.strerror(errno.EADDRINUSE)}\n", run.stderr())
        self.assertEqual(run.launches(), [])
        with self.assertRaises(BlockingIOError, msg="the view connected to a foreign listener"):
            holder.accept()

    def test_restart_within_a_minute(self):
        # A client that waits for the listener to close its end, as any
        # program that connects by mistake does: the listener closes first.
        # Its zero linger leaves no TIME_WAIT on the port, so a screen saver
        # started again right after binds without address reuse.
        wait_port_free(self)
        first = Run(self, "real", "--stop-after", "1")
        self.assertTrue(first.wait_listener(3), first.stderr())
        try:
            client = socket.create_connection(("127.0.0.1", PORT), timeout=2)
            try:
                self.assertEqual(client.recv(16), b"")
            except ConnectionResetError:
                pass
            time.sleep(0.2)
            client.close()
        except ConnectionResetError:
            pass  # reset before connect returned: closed by the listener all the same
        while listeners() and first.elapsed() < 3:
            time.sleep(0.01)
        self.assertEqual(listeners(), [], "the first screen saver did not stop listening")
        self.assertFalse(any(state == TCP_TIME_WAIT for _, state, _ in port_sockets()),
                         f"a TIME_WAIT was left on the port: {port_sockets()}")

        run = Run(self, "real")
        found = run.wait_listener(3)
        self.assertTrue(run.running(), run.stderr())
        self.assert_listening_on_loopback(run, found)
        self.assertNotIn("bind", run.stderr())

    # -- real runs (22 s each) ------------------------------------------------

    def test_real_run(self):
        wait_port_free(self)
        run = Run(self, "real")
        found = run.wait_listener(3)
        self.assertTrue(run.running(), run.stderr())
        self.assert_listening_on_loopback(run, found)

        # Connections during the grace period are closed at once and leave the
        # listener in place, early and late in the period alike.
        for _ in range(3):
            self.assertEqual(probe(), b"")
        self.assertEqual(listeners(), found)
        run.at(18)
        self.assertEqual(probe(), b"")
        self.assertEqual(listeners(), found)
        self.assertEqual(run.launches(), [])

        self.assert_launched_then_exited(run)

    def test_stop_while_listening(self):
        wait_port_free(self)
        run = Run(self, "real", "--stop-after", "3")
        found = run.wait_listener(2.5)
        self.assert_listening_on_loopback(run, found)
        self.assertEqual(probe(), b"")
        run.at(2.8)
        self.assertEqual(listeners(), found, "the listener ended before the stop")

        while listeners() and run.elapsed() < 4.5:
            time.sleep(0.01)
        gone_at = run.elapsed()
        self.assertEqual(listeners(), [], "the stop did not end the listener")
        self.assertGreaterEqual(gone_at, 3.0)
        self.assertTrue(run.running(), "the stop ended the process early: " + run.stderr())
        self.assertTrue(refuses())
        self.assertEqual(run.launches(), [])

        self.assert_launched_then_exited(run)


CASES = {
    "build": "test_build",
    "preview": "test_preview",
    "taken_port": "test_taken_port",
    "restart_within_a_minute": "test_restart_within_a_minute",
    "real_run": "test_real_run",
    "stop_while_listening": "test_stop_while_listening",
}

if __name__ == "__main__":
    if len(sys.argv) != 2 or sys.argv[1] not in CASES:
        sys.exit(f"usage: {sys.argv[0]} {'|'.join(CASES)}")
    suite = unittest.TestSuite([Checks(CASES[sys.argv[1]])])
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)
