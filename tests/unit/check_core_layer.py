"""core/ is the lowest layer: apart from the entry point, which wires every
layer together, none of its files may include a header of the layers above
(runtime/, jvm/, services/, splash/). Prints each offending include and fails."""
import re
import sys
from pathlib import Path

ENTRY_POINT = "Launcher.cpp"
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/[^"]*"', re.MULTILINE)


def offences(core: Path):
    for path in sorted(core.iterdir()):
        if path.suffix not in (".h", ".cpp") or path.name == ENTRY_POINT:
            continue
        for match in INCLUDE.finditer(path.read_text(errors="replace")):
            if match.group(1) != "core":
                yield f"{path.name}: {match.group(0).strip()}"


def main():
    core = Path(sys.argv[1]) / "core"
    if not (core / ENTRY_POINT).exists():
        sys.exit(f"no entry point in {core}")
    found = list(offences(core))
    for line in found:
        print(line)
    print(f"{0 if found else 1} passed, {1 if found else 0} failed")
    sys.exit(1 if found else 0)


if __name__ == "__main__":
    main()
