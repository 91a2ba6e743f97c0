"""Small image files made byte by byte for the tests of the packer's
resources: icons, bitmaps and PNGs of plain colours."""
import struct
import zlib


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
