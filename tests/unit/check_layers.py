"""Folders are layers, each built only on those below it. Two tables of them:
the launcher's, core < services < runtime < jvm < splash < launcher (the entry
point, the one place that wires every layer together), and the packer's under
tools/kvo-pack, host < image < config < package < the command line at its top.
A source file may include headers of its own folder and of folders below it;
the packer may also include the launcher's layers that need no window. Prints
each include that runs up a layer (or into a folder that is no layer) and fails.

check_layers.py ROOT checks the tree; check_layers.py --self-test checks that
the check fails on an include that runs back, in each table."""
import re
import sys
import tempfile
from pathlib import Path

LAUNCHER = ["core", "services", "runtime", "jvm", "splash", "launcher"]
PACKER_ROOT = "tools/kvo-pack"
# "" is the packer's top folder itself: main.cpp and the command table.
PACKER = ["host", "image", "config", "package", ""]
PACKER_USES = ["core", "services", "runtime", "jvm"]
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]*)"', re.MULTILINE)
SOURCES = (".h", ".cpp", ".rc")


def includes(path: Path):
    text = path.read_text(errors="replace")
    for match in INCLUDE.finditer(text):
        yield text.count("\n", 0, match.start()) + 1, match.group(1), match.group(0).strip()


def launcher_offences(root: Path):
    for rank, layer in enumerate(LAUNCHER):
        for path in sorted((root / layer).rglob("*")):
            if path.suffix not in SOURCES:
                continue
            for line, target, shown in includes(path):
                if "/" not in target:
                    continue
                folder = target.split("/")[0]
                where = f"{path.relative_to(root)}:{line}: {shown}"
                if folder not in LAUNCHER:
                    yield f"{where} (not a layer)"
                elif LAUNCHER.index(folder) > rank:
                    yield f"{where} (runs up from {layer} to {folder})"


def packer_layer(target: str):
    """The packer's layer an include names, or None when it names none."""
    rest = target[len(PACKER_ROOT) + 1:]
    folder = rest.rsplit("/", 1)[0] if "/" in rest else ""
    return folder if folder in PACKER else None


def packer_offences(root: Path):
    base = root / PACKER_ROOT
    for path in sorted(base.rglob("*")):
        if path.suffix not in SOURCES:
            continue
        folder = path.parent.relative_to(base).as_posix()
        folder = "" if folder == "." else folder
        if folder not in PACKER:
            yield f"{path.relative_to(root)}: a packer file in {folder}/, which is no layer"
            continue
        rank = PACKER.index(folder)
        for line, target, shown in includes(path):
            if "/" not in target:
                continue
            where = f"{path.relative_to(root)}:{line}: {shown}"
            if target.startswith(PACKER_ROOT + "/"):
                layer = packer_layer(target)
                if layer is None:
                    yield f"{where} (not a layer)"
                elif PACKER.index(layer) > rank:
                    yield f"{where} (runs up from {folder or 'the top'} to {layer or 'the top'})"
            elif target.split("/")[0] not in PACKER_USES:
                yield f"{where} (not a layer the packer builds on)"


def check(root: Path):
    missing = [layer for layer in LAUNCHER if not (root / layer).is_dir()]
    missing += [f"{PACKER_ROOT}/{layer}" for layer in PACKER if layer and not (root / PACKER_ROOT / layer).is_dir()]
    if missing:
        return [f"no layer folder {', '.join(missing)} in {root}"], 0
    found = [list(launcher_offences(root)), list(packer_offences(root))]
    return [line for table in found for line in table], sum(1 for table in found if not table)


def self_test():
    """Each kind of offence in a small tree, and a tree without one."""
    cases = {
        "core/A.cpp": '#include "services/B.h"\n',
        "splash/C.cpp": '#include "tools/kvo-pack/host/D.h"\n',
        f"{PACKER_ROOT}/host/E.cpp": f'#include "{PACKER_ROOT}/image/F.h"\n',
        f"{PACKER_ROOT}/config/G.cpp": f'#include "{PACKER_ROOT}/Cli.h"\n',
        f"{PACKER_ROOT}/image/H.cpp": '#include "launcher/I.h"\n',
        f"{PACKER_ROOT}/misc/J.cpp": "\n",
    }
    allowed = {
        "launcher/K.cpp": '#include "core/L.h"\n#include "launcher/M.h"\n',
        f"{PACKER_ROOT}/package/N.cpp": f'#include "{PACKER_ROOT}/config/O.h"\n#include "jvm/P.h"\n',
        f"{PACKER_ROOT}/main.cpp": f'#include "{PACKER_ROOT}/package/Q.h"\n#include <string>\n',
    }
    failures = []
    for name, text in list(cases.items()) + [(None, None)]:
        with tempfile.TemporaryDirectory() as tmp:
            root = Path(tmp)
            for layer in LAUNCHER + [f"{PACKER_ROOT}/{p}" for p in PACKER]:
                (root / layer).mkdir(parents=True, exist_ok=True)
            for file, content in list(allowed.items()) + ([(name, text)] if name else []):
                (root / file).parent.mkdir(parents=True, exist_ok=True)
                (root / file).write_text(content)
            found, _ = check(root)
            if name and not any(line.startswith(name) for line in found):
                failures.append(f"{name}: {text.strip()} was not reported")
            if len(found) > (1 if name else 0):
                failures.append(f"{name or 'the allowed tree'}: reported {found}")
    for line in failures:
        print(line)
    print(f"{0 if failures else 1} passed, {1 if failures else 0} failed")
    sys.exit(1 if failures else 0)


def main():
    if sys.argv[1:] == ["--self-test"]:
        self_test()
    found, passed = check(Path(sys.argv[1]))
    for line in found:
        print(line)
    print(f"{passed} passed, {2 - passed} failed")
    sys.exit(1 if found else 0)


if __name__ == "__main__":
    main()
