"""Launchers packed by kvo-pack with resources, and the image files they
are packed from (made here, so that no project file stands in for a
vendor's artwork)."""
import subprocess
import sys
from pathlib import Path

from harness import PACKER, RUNNER, STUB, WINE, Block, pe_image_end, wine_env, winpath

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))
from imagefiles import bmp, ico, png  # noqa: E402,F401  (the tests take them from here)


def escaped(text: str) -> str:
    out = []
    for c in text:
        if c == "\\":
            out.append("\\\\")
        elif 0x20 <= ord(c) < 0x7F:
            out.append(c)
        else:
            out.append(f"\\u{ord(c):04X}")
    return "".join(out)


def kvo_text(block: Block) -> str:
    """The narrow records of a harness block as configuration text."""
    return "".join(f"{rid} := {escaped(text)}\n" for rid, text in block.narrow)


def pack(directory, config: str, files=None, name="app.exe", stub=STUB) -> Path:
    """Writes `files` (name -> bytes) and `config` into `directory` and packs
    them with kvo-pack into `name`."""
    directory = Path(directory)
    for file_name, data in (files or {}).items():
        (directory / file_name).parent.mkdir(parents=True, exist_ok=True)
        (directory / file_name).write_bytes(data)
    if "MainClass" not in config:
        # A launcher needs its main class; a test of resources names none.
        config += "\n[narrow]\nMainClass = test.Main\n"
    (directory / "app.kvo").write_text(config, encoding="utf-8")
    out = directory / name
    result = subprocess.run([str(PACKER), "build", "--stub", str(stub), "--config", str(directory / "app.kvo"),
                             "--out", str(out)], capture_output=True, text=True, timeout=120)
    if result.returncode != 0:
        raise AssertionError(f"kvo-pack failed: {result.stderr}")
    return out


def image_of(exe) -> bytes:
    """The image of a packed launcher, without its block."""
    data = Path(exe).read_bytes()
    return data[: pe_image_end(data)]


def inspect(exe) -> dict:
    """What Windows' own interfaces read from the file (kvo-run --inspect):
    keyword -> list of rows (each a list of fields)."""
    out = subprocess.run([WINE, str(RUNNER), "--inspect", winpath(exe)], env=wine_env(),
                         capture_output=True, timeout=120, stdin=subprocess.DEVNULL)
    rows = {}
    for line in out.stdout.decode("utf-8", "replace").splitlines():
        fields = line.split("\t")
        rows.setdefault(fields[0], []).append(fields[1:])
    return rows
