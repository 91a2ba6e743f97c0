#!/usr/bin/env python3
"""Writes the example's artwork: app.ico (16, 32 and 48 pixels) and the
480 x 300 splash image splash.png. The files are committed; run this again
after changing it."""
import struct
import zlib
from pathlib import Path

HERE = Path(__file__).resolve().parent
BLUE = (28, 92, 168)
GOLD = (240, 180, 40)


def icon_image(size):
    """A gold disc on a blue rounded square, as a 32-bit icon bitmap."""
    rows = []
    centre, radius = (size - 1) / 2, size * 0.3
    for y in range(size - 1, -1, -1):  # bottom-up
        row = b""
        for x in range(size):
            dx, dy = x - centre, y - centre
            corner = max(abs(dx), abs(dy)) > size / 2 - 1 and abs(dx) > size / 2 - 3 and abs(dy) > size / 2 - 3
            r, g, b = GOLD if dx * dx + dy * dy <= radius * radius else BLUE
            row += bytes((b, g, r, 0 if corner else 255))
        rows.append(row)
    mask = bytes(((size + 31) // 32 * 4) * size)
    info = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    return info + b"".join(rows) + mask


def ico(sizes):
    images = [icon_image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def png(width, height, pixel):
    raw = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def splash(x, y):
    """A blue band fading to white, with a gold rule under the title area."""
    if 118 <= y < 122 and 20 <= x < 460:
        return GOLD
    t = x / 479
    return tuple(int(c + (255 - c) * t * 0.85) for c in BLUE)


if __name__ == "__main__":
    (HERE / "app.ico").write_bytes(ico([16, 32, 48]))
    (HERE / "splash.png").write_bytes(png(480, 300, splash))
