#!/usr/bin/env python3
"""Draws the Setup icon and writes it as a Windows .ico file.

The picture: a blue rounded tile with a white arrow pointing down into an
open tray, the usual sign for "put this on the computer". Every image is
drawn from the same shapes in unit coordinates, so the sizes agree: 16
pixels (title bars, the taskbar, small icons), 32 (the desktop, Alt-Tab)
and 48 (XP's tiles, Vista's medium icons), the sizes Windows shows.

Each image has 16 colours of its own rather than the system's 16 or 256:
eight blues (ordered dithering between them smooths the tile's shading),
four greys for the tray, white, the outline and black under the
transparent pixels. At these sizes that looks like the 256-colour drawing
at a third of the bytes, and Windows shows it on any display.

Usage: make_icon.py OUTPUT.ico
"""
import struct
import sys

BLACK, OUTLINE, WHITE = 0, 1, 10
BLUES, BLUE_STEPS = 2, 8   # indices 2..9, light (top) to dark (bottom)
GREYS, GREY_STEPS = 11, 4  # indices 11..14, light to dark


def palette():
    colours = [(0, 0, 0), (20, 40, 120)]
    for i in range(BLUE_STEPS):
        t = i / (BLUE_STEPS - 1.0)
        colours.append((int(70 - 60 * t), int(150 - 110 * t), int(255 - 105 * t)))
    colours.append((255, 255, 255))
    for i in range(GREY_STEPS):
        v = int(235 - 110 * i / (GREY_STEPS - 1.0))
        colours.append((v, v, v))
    colours.append((0, 0, 0))  # unused
    return colours


# A 4x4 ordered-dither threshold per pixel, in sixteenths.
BAYER = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]


def ramp(first, steps, t, px, py, dither):
    """Index on a ramp of `steps` colours for the shade t in [0, 1]."""
    level = min(max(t, 0.0), 1.0) * (steps - 1)
    if dither:
        level += (BAYER[py % 4][px % 4] + 0.5) / 16 - 0.5
    return first + min(max(int(round(level)), 0), steps - 1)


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


def shade(x, y, edge, px, py):
    """Colour index at the unit point (x, y) of pixel (px, py), or None when
    transparent; `edge` is the outline width in unit space."""
    if not inside_rounded_square(x, y, 0.02, 0.98, 0.18):
        return None
    if not inside_rounded_square(x, y, 0.02 + edge, 0.98 - edge, 0.18 - edge):
        return OUTLINE
    if in_arrow(x, y):
        return WHITE
    if in_tray(x, y):
        return ramp(GREYS, GREY_STEPS, (y - 0.60) / 0.24, px, py, False)  # too thin to dither
    return ramp(BLUES, BLUE_STEPS, y, px, py, True)


def draw(size):
    """Rows of colour indices (None = transparent), top row first."""
    edge = 1.0 / size  # one pixel of outline at every size
    return [[shade((px + 0.5) / size, (py + 0.5) / size, edge, px, py) for px in range(size)]
            for py in range(size)]


def pad4(data):
    return data + b"\0" * (-len(data) % 4)


def dib(size, colours, rows):
    """One 4-bit icon image: header, palette, colour bits and transparency
    mask, both bitmaps stored bottom row first."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 0, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in colours)
    pixels = b""
    mask = b""
    for row in reversed(rows):
        line = bytearray()
        for i in range(0, size, 2):
            line.append(((row[i] or BLACK) << 4) | (row[i + 1] or BLACK))
        pixels += pad4(bytes(line))
        bitsrow = bytearray((size + 7) // 8)
        for i, c in enumerate(row):
            if c is None:
                bitsrow[i // 8] |= 0x80 >> (i % 8)
        mask += pad4(bytes(bitsrow))
    return header + table + pixels + mask


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUTPUT.ico")
    images = [(size, dib(size, palette(), draw(size))) for size in (16, 32, 48)]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for size, data in images:
        directory += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset + len(body))
        body += data
    with open(sys.argv[1], "wb") as out:
        out.write(directory + body)


if __name__ == "__main__":
    main()
