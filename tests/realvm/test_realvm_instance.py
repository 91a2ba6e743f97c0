"""Single-instance mode seen by Java code: the running instance's
application reads what a second start handed over."""
import sys
import time
import unittest
from pathlib import Path

from realvm import RealVmCase

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "e2e"))
from test_single_instance import InstanceCase  # noqa: E402


class HandOver(RealVmCase, InstanceCase):
    SECOND = 'open "two words.txt" --flag'

    def hand_over(self, exe, first_args):
        """Starts `exe`, and once its application runs, a second start with
        SECOND; both must end normally and the file must be taken. Returns
        the second start."""
        first = self.spawn(exe, first_args)
        end = time.time() + 60
        while time.time() < end and not self.values("ready"):
            time.sleep(0.1)
        self.assertEqual(self.values("ready"), ["yes"], "the first instance's application did not start")
        second = self.spawn(exe, self.SECOND)
        self.assertEqual(second.finish(), (0, []))
        self.assertEqual(first.finish(), (0, []))
        self.assertEqual(list(self.tmp.glob("kvo_p*.tmp")), [], "the communication file was taken")
        return second

    def test_second_start_arguments_reach_the_first_instance(self):
        exe = self.real_app("kvotest.Receiver", app_entries=["kvotest/Receiver"], r10005="1")
        self.hand_over(exe, "20000")
        self.assertEqual(self.values("received"), [self.SECOND + "\n"])
        self.assertEqual(self.values("deleted"), ["true"])

    def test_the_runtime_takes_the_hand_over(self):
        # A listener from the start, one added after the second start (the
        # arguments wait for it), none at all: a second start ends at once.
        for delay, received in (("0", ["true\topen|two words.txt|--flag"]),
                                ("3000", ["true\topen|two words.txt|--flag"]), ("-", [])):
            with self.subTest(listener_after=delay):
                self.report_path.unlink(missing_ok=True)
                exe = self.packed_app("kvotest.Listens", "SingleInstance = 1", app_entries=["kvotest/Listens"],
                                      where=self.dir / f"listener{delay}")
                second = self.hand_over(exe, f"{delay} 7000")
                print(f"second start, listener after {delay} ms: ended {second.lifetime_ms} ms after it was created")
                self.assertLess(second.lifetime_ms, 1500)
                self.assertEqual(self.values("startup"), received)

    def test_without_single_instance_mode_a_listener_is_taken_and_hears_nothing(self):
        # The classes that take the file are not even defined then.
        exe = self.packed_app("kvotest.Listens", app_entries=["kvotest/Listens"], where=self.dir / "off")
        r = self.start(exe, "0 0")
        self.assertEqual((r.code, r.dialogs), (0, []), r)
        self.assertEqual((self.values("listening"), self.values("startup")), (["yes"], []))
        self.assertEqual([l for l in r.log if l.startswith("defining the Java half: ")],
                         ["defining the Java half: 4 classes"])


if __name__ == "__main__":
    unittest.main()
