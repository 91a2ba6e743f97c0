"""Runs one module of the real-VM tier; exits 77 (reported by ctest as
skipped, with the reason) when no real JVM could be built here."""
import sys
import unittest

import realvm

reason = realvm.missing_reason()
if reason:
    print(f"SKIPPED: real-VM tier not run: {reason}")
    sys.exit(77)
program = unittest.main(module=sys.argv[1], argv=[sys.argv[0], "-v"], exit=False)
sys.exit(0 if program.result.wasSuccessful() else 1)
