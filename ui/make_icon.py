#!/usr/bin/env python3
"""Draws the program's icon: a radar screen whose sweep has found a few hosts.

Writes tobrik.png (RGB with one transparent colour) and tobrik.ico (24-bit
colour with a 1-bit mask), both 128 x 128, using only the standard library.
Usage: make_icon.py [OUTPUT_DIR]
"""
import math
import struct
import sys
import zlib
from pathlib import Path

SIZE = 128
KEY = (255, 0, 255)  # the transparent colour of the PNG


def pixel(x, y):
    """Colour of pixel (x, y), or None where the icon is transparent."""
    cx = cy = (SIZE - 1) / 2
    dx, dy = x - cx, y - cy
    r = math.hypot(dx, dy)
    if r > 62.5:
        return None
    if r > 56:  # the bezel
        shade = 0.75 + 0.25 * (-dy / 62.5)
        return tuple(int(c * shade) for c in (150, 160, 175))
    # screen: dark green, brighter towards the centre
    base = 18 + int(22 * (1 - r / 56))
    colour = [0, base + 12, base // 2]
    # range rings and cross hairs
    if any(abs(r - ring) < 0.9 for ring in (14, 28, 42)) or abs(dx) < 0.6 or abs(dy) < 0.6:
        colour = [40, 120, 60]
    # the sweep: a fading wedge behind the beam at 45 degrees up-right
    angle = math.degrees(math.atan2(-dy, dx)) % 360
    behind = (45 - angle) % 360
    if behind < 70 and r > 1:
        glow = 1 - behind / 70
        colour = [int(c + (90 - c) * glow * 0.6) if i == 1 else c for i, c in enumerate(colour)]
        colour[1] = min(255, colour[1] + int(120 * glow))
    # hosts that answered
    for hx, hy in ((24, -14), (-22, -30), (-30, 18), (12, 34)):
        d = math.hypot(dx - hx, dy - hy)
        if d < 4.5:
            colour = [170, 255, 170] if d < 2.5 else [60, 210, 90]
    return tuple(colour)


def rows():
    return [[pixel(x, y) for x in range(SIZE)] for y in range(SIZE)]


def write_png(path, image):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\0" + bytes(c for p in row for c in (p or KEY)) for row in image)
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 2, 0, 0, 0))
    png += chunk(b"tRNS", struct.pack(">HHH", *KEY))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    path.write_bytes(png)


def write_ico(path, image):
    xor = b""
    mask = b""
    for row in reversed(image):  # bottom-up bitmaps
        xor += bytes(c for p in row for c in reversed(p or (0, 0, 0)))  # BGR
        bits = 0
        for x, p in enumerate(row):
            if p is None:
                bits |= 1 << (SIZE - 1 - x)
        mask += bits.to_bytes(SIZE // 8, "big")  # 16 bytes: already 32-bit aligned
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 24, 0, len(xor) + len(mask), 0, 0, 0, 0)
    bitmap = header + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 24, len(bitmap), 6 + 16)
    path.write_bytes(directory + entry + bitmap)


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent)
    image = rows()
    write_png(out / "tobrik.png", image)
    write_ico(out / "tobrik.ico", image)


if __name__ == "__main__":
    main()
