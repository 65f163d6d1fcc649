#!/usr/bin/env python3
"""Draws the program's icon: a radar screen whose sweep has found a few hosts.

The picture is drawn on a 128 x 128 grid and sampled 4 x 4 times per pixel at
every size, so edges are smooth and small sizes keep the same picture. Writes,
using only the standard library:
  tobrik.png                              128 x 128, the window icon
  tobrik.ico                              16, 24, 32, 48, 64, 128 and 256 px
                                          (32-bit with alpha; 256 as PNG)
  icons/hicolor/<N>x<N>/apps/tobrik.png   the Linux icon theme's sizes
Usage: make_icon.py [OUTPUT_DIR]
       make_icon.py --installer-bitmap FILE
The second form writes instead the picture of the Windows installer's
finish page: 164 x 314, the icon on a dark screen green (a 24-bit BMP).
"""
import math
import struct
import sys
import zlib
from pathlib import Path

SIZE = 128
ICO_SIZES = (16, 24, 32, 48, 64, 128, 256)
THEME_SIZES = (16, 24, 32, 48, 64, 128, 256)
SAMPLES = 4  # per pixel and axis


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


def render(size):
    """RGBA rows of the icon at size x size pixels."""
    scale = SIZE / size
    image = []
    for y in range(size):
        row = []
        for x in range(size):
            total = [0, 0, 0]
            covered = 0
            for j in range(SAMPLES):
                for i in range(SAMPLES):
                    u = (x + (i + 0.5) / SAMPLES) * scale - 0.5
                    v = (y + (j + 0.5) / SAMPLES) * scale - 0.5
                    colour = pixel(u, v)
                    if colour is not None:
                        covered += 1
                        total = [t + c for t, c in zip(total, colour)]
            if covered == 0:
                row.append((0, 0, 0, 0))
            else:
                rgb = tuple(round(t / covered) for t in total)
                row.append(rgb + (round(255 * covered / SAMPLES**2),))
        image.append(row)
    return image


def png_bytes(image):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    size = len(image)
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in image)
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    return png


def dib_bytes(image):
    """A 32-bit BGRA bitmap with its 1-bit mask, as an icon directory entry holds it."""
    size = len(image)
    mask_stride = (size + 31) // 32 * 4
    colour = b""
    mask = b""
    for row in reversed(image):  # bottom-up bitmaps
        colour += bytes(c for r, g, b, a in row for c in (b, g, r, a))
        bits = 0
        for x, p in enumerate(row):
            if p[3] == 0:
                bits |= 1 << (mask_stride * 8 - 1 - x)
        mask += bits.to_bytes(mask_stride, "big")
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return header + colour + mask


def ico_bytes(images):
    """An icon file holding each image; 256 px as PNG, as Windows expects."""
    count = len(images)
    directory = struct.pack("<HHH", 0, 1, count)
    entries = b""
    data = b""
    offset = 6 + 16 * count
    for image in images:
        size = len(image)
        body = png_bytes(image) if size >= 256 else dib_bytes(image)
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(body), offset + len(data))
        data += body
    return directory + entries + data


def installer_bitmap_bytes(width=164, height=314, top=48):
    """The icon at 128 px, centred near the top, over a vertical gradient."""
    icon = render(SIZE)
    left = (width - SIZE) // 2
    stride = (width * 3 + 3) // 4 * 4
    rows = b""
    for y in reversed(range(height)):  # bottom-up bitmaps
        fade = y / (height - 1)
        back = (int(8 + 4 * fade), int(46 - 30 * fade), int(26 - 16 * fade))
        row = bytearray()
        for x in range(width):
            colour = back
            u, v = x - left, y - top
            if 0 <= u < SIZE and 0 <= v < SIZE:
                *rgb, a = icon[v][u]
                colour = tuple(round(c * a / 255 + b * (255 - a) / 255) for c, b in zip(rgb, back))
            row += bytes((colour[2], colour[1], colour[0]))
        rows += bytes(row) + b"\0" * (stride - len(row))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(header) + len(rows), 0, 0, 14 + len(header)) + header + rows


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--installer-bitmap":
        Path(sys.argv[2]).write_bytes(installer_bitmap_bytes())
        return
    out = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent)
    images = {size: render(size) for size in sorted(set(ICO_SIZES) | set(THEME_SIZES))}
    (out / "tobrik.png").write_bytes(png_bytes(images[SIZE]))
    (out / "tobrik.ico").write_bytes(ico_bytes([images[size] for size in ICO_SIZES]))
    for size in THEME_SIZES:
        folder = out / "icons" / "hicolor" / f"{size}x{size}" / "apps"
        folder.mkdir(parents=True, exist_ok=True)
        (folder / "tobrik.png").write_bytes(png_bytes(images[size]))


if __name__ == "__main__":
    main()
