"""The launcher's folders are layers, each built only on those below it:
core < services < runtime < jvm < splash < launcher (the entry point, the one
place that wires every layer together). A source file may include headers of
its own folder and of folders below it. Prints each include that runs up a
layer (or into a folder that is no layer) and fails."""
import re
import sys
from pathlib import Path

LAYERS = ["core", "services", "runtime", "jvm", "splash", "launcher"]
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/[^"]*"', re.MULTILINE)


def offences(root: Path):
    for rank, layer in enumerate(LAYERS):
        folder = root / layer
        for path in sorted(folder.rglob("*")):
            if path.suffix not in (".h", ".cpp", ".rc"):
                continue
            text = path.read_text(errors="replace")
            for match in INCLUDE.finditer(text):
                target = match.group(1)
                line = text.count("\n", 0, match.start()) + 1
                if target not in LAYERS:
                    yield f"{path.relative_to(root)}:{line}: {match.group(0).strip()} (not a layer)"
                elif LAYERS.index(target) > rank:
                    yield f"{path.relative_to(root)}:{line}: {match.group(0).strip()} (runs up from {layer} to {target})"


def main():
    root = Path(sys.argv[1])
    missing = [layer for layer in LAYERS if not (root / layer).is_dir()]
    if missing:
        sys.exit(f"no layer folder {', '.join(missing)} in {root}")
    found = list(offences(root))
    for line in found:
        print(line)
    print(f"{0 if found else 1} passed, {1 if found else 0} failed")
    sys.exit(1 if found else 0)


if __name__ == "__main__":
    main()
