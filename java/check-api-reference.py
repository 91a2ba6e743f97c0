#!/usr/bin/env python3
"""The application API of kvo-runtime.jar is documented: Javadoc of every
public member that doclint accepts, and each member named on the reference
page in docs/.

Usage: check-api-reference.py JAVADOC JAVAP CLASSES SOURCES PAGE OUT
Writes the HTML reference into OUT.
"""
import re
import subprocess
import sys

# The types applications use; the launcher's own classes are not their API.
API = ["com.korvo.runtime.Splash", "com.korvo.runtime.SingleInstance", "com.korvo.runtime.StartupListener",
       "com.vandrel.runtime.launcher.FirstRun"]


def main():
    javadoc, javap, classes, sources, page, out = sys.argv[1:7]
    files = [f"{sources}/{name.replace('.', '/')}.java" for name in API]
    run = subprocess.run([javadoc, "-Xdoclint:all", "-Werror", "-quiet", "--release", "8", "-sourcepath", sources,
                          "-d", out, *files], capture_output=True, text=True)
    failures = []
    if run.returncode != 0:
        failures.append("javadoc refuses the API's comments:\n" + run.stdout + run.stderr)
    with open(page, encoding="utf-8") as f:
        text = f.read()
    listing = subprocess.run([javap, "-public", "-cp", classes, *API], capture_output=True, text=True, check=True)
    current = None
    members = 0
    for line in listing.stdout.splitlines():
        head = re.match(r".*\b(?:class|interface) ([\w.]+)", line)
        if head:
            current = head.group(1).rsplit(".", 1)[1]
            continue
        member = re.match(r"\s+public .*?(\w+)(\(|;)", line)
        if not member or member.group(1) == current:
            continue
        members += 1
        named = f"`{current}.{member.group(1)}" + ("(" if member.group(2) == "(" else "`")
        if named not in text:
            failures.append(f"{page} does not describe {current}.{member.group(1)} (no {named} in it)")
    if members < 6:
        failures.append(f"javap listed only {members} public members:\n{listing.stdout}")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
