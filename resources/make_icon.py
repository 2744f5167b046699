#!/usr/bin/env python3
"""Draws the Setup icon and writes it as a Windows .ico file.

The picture: a blue rounded tile with a white arrow pointing down into an
open tray, the usual sign for "put this on the computer". Every image is
drawn from the same shapes in unit coordinates, so the sizes agree:
16 and 32 pixels in 16 colours, 16, 32 and 48 pixels in 256 colours.

Usage: make_icon.py OUTPUT.ico
"""
import struct
import sys

# The 16-colour images use the standard Windows palette.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, SILVER, GREY, BLUE, WHITE = 0, 4, 7, 8, 12, 15

# The 256-colour images: the same 16 first, then a ramp of 64 blues for the
# tile's shading and a ramp of 32 greys for the tray. Only these 112 are
# stored (the header's used-colour count says so); the rest of the 256 would
# be black and unused.
BLUE_RAMP = 16
GREY_RAMP = BLUE_RAMP + 64


def palette256():
    colours = list(VGA16)
    for i in range(64):  # light (top) to dark (bottom) blue
        t = i / 63.0
        colours.append((int(70 - 60 * t), int(150 - 110 * t), int(255 - 105 * t)))
    for i in range(32):
        v = int(235 - 110 * i / 31.0)
        colours.append((v, v, v))
    return colours


def inside_rounded_square(x, y, lo, hi, radius):
    """True when (x, y) lies in the square [lo, hi]^2 with rounded corners."""
    if x < lo or x > hi or y < lo or y > hi:
        return False
    cx = min(max(x, lo + radius), hi - radius)
    cy = min(max(y, lo + radius), hi - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def in_arrow(x, y):
    """The white arrow: a shaft and a head, pointing down, in unit space."""
    shaft = 0.42 <= x <= 0.58 and 0.14 <= y <= 0.46
    head = 0.44 <= y <= 0.68 and abs(x - 0.5) <= (0.68 - y) * 1.05
    return shaft or head


def in_tray(x, y):
    """An open tray under the arrow: a floor and two short walls."""
    floor = 0.18 <= x <= 0.82 and 0.74 <= y <= 0.84
    walls = (0.18 <= x <= 0.28 or 0.72 <= x <= 0.82) and 0.60 <= y <= 0.84
    return floor or walls


def shade(x, y, deep, edge):
    """Colour index at the unit point (x, y), or None when transparent;
    `edge` is the outline width in unit space."""
    if not inside_rounded_square(x, y, 0.02, 0.98, 0.18):
        return None
    if not inside_rounded_square(x, y, 0.02 + edge, 0.98 - edge, 0.18 - edge):
        return NAVY if not deep else BLUE_RAMP + 63
    if in_arrow(x, y):
        return WHITE
    if in_tray(x, y):
        if not deep:
            return SILVER
        return GREY_RAMP + int(min(max((y - 0.60) / 0.24, 0.0), 1.0) * 31)
    if not deep:
        return BLUE
    return BLUE_RAMP + int(min(max(y, 0.0), 1.0) * 63)



def draw(size, deep):
    """Rows of colour indices (None = transparent), top row first."""
    edge = 1.0 / size  # one pixel of outline at every size
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            row.append(shade((px + 0.5) / size, (py + 0.5) / size, deep, edge))
        rows.append(row)
    return rows


def pad4(data):
    return data + b"\0" * (-len(data) % 4)


def dib(size, bits, colours, rows):
    """One icon image: header, palette, colour bits and transparency mask,
    both bitmaps stored bottom row first."""
    used = len(colours) if len(colours) < (1 << bits) else 0  # 0: all 2^bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0, used, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in colours)
    pixels = b""
    mask = b""
    for row in reversed(rows):
        if bits == 8:
            line = bytes(0 if c is None else c for c in row)
        else:
            line = bytearray()
            for i in range(0, size, 2):
                hi = row[i] or 0
                lo = row[i + 1] or 0
                line.append((hi << 4) | lo)
            line = bytes(line)
        pixels += pad4(line)
        bitsrow = bytearray((size + 7) // 8)
        for i, c in enumerate(row):
            if c is None:
                bitsrow[i // 8] |= 0x80 >> (i % 8)
        mask += pad4(bytes(bitsrow))
    return header + table + pixels + mask


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUTPUT.ico")
    images = []
    for size, bits in ((16, 4), (32, 4), (16, 8), (32, 8), (48, 8)):
        colours = VGA16 if bits == 4 else palette256()
        images.append((size, bits, dib(size, bits, colours, draw(size, bits == 8))))
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for size, bits, data in images:
        directory += struct.pack("<BBBBHHII", size, size, 16 if bits == 4 else 0, 0,
                                 1, bits, len(data), offset + len(body))
        body += data
    with open(sys.argv[1], "wb") as out:
        out.write(directory + body)


if __name__ == "__main__":
    main()
