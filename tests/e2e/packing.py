"""Launchers packed by kvo-pack with resources, and the image files they
are packed from (made here, so that no project file stands in for a
vendor's artwork)."""
import struct
import subprocess
import zlib
from pathlib import Path

from harness import PACKER, RUNNER, STUB, WINE, Block, pe_image_end, wine_env, winpath


def ico(*colours, size=16) -> bytes:
    """An .ico with one size x size 32-bit image per (r, g, b) colour."""
    images = []
    for r, g, b in colours:
        info = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
        images.append(info + bytes((b, g, r, 255)) * (size * size) + bytes(4 * size))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for image in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def bmp(width, height, top, bottom) -> bytes:
    """A 24-bit bitmap, its upper half in `top` and its lower half in `bottom`."""
    row_size = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):  # bottom-up
        r, g, b = top if y < height // 2 else bottom
        row = bytes((b, g, r)) * width
        rows.append(row + bytes(row_size - len(row)))
    pixels = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return head + info + pixels


def png(width, height, rgb) -> bytes:
    rows = b"".join(b"\0" + bytes(rgb) * width for _ in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


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
