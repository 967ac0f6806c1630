#!/usr/bin/env python3
"""Draws the three icons of the demo Tramvelon.exe (program, project file, package file).

Usage: make_icons.py OUTDIR
Each icon holds a 32 x 32 and a 16 x 16 image, 32-bit colour with alpha.
"""
import os
import struct
import sys

BLUE, WHITE, ORANGE, GREY, CLEAR = (0x1f, 0x5f, 0xbf, 255), (255, 255, 255, 255), (0xf0, 0x90, 0x20, 255), \
    (0x60, 0x60, 0x60, 255), (0, 0, 0, 0)


def program(x, y):
    """A blue tile with a white T."""
    if x < 2 or y < 2 or x > 29 or y > 29:
        return CLEAR
    if 7 <= y <= 11 and 6 <= x <= 25 or 7 <= y <= 25 and 13 <= x <= 18:
        return WHITE
    return BLUE


def page(x, y):
    """A sheet of paper with a folded corner and an outline; None outside it."""
    if x < 6 or x > 26 or y < 2 or y > 29 or x - 19 > y - 2:
        return None
    if x in (6, 26) or y in (2, 29) or x - 19 == y - 2 or x == 19 and y <= 9 or y == 9 and x >= 19:
        return GREY
    return WHITE


def project(x, y):
    """A page with lines of text."""
    p = page(x, y)
    if p is None:
        return CLEAR
    if p == WHITE and 9 <= x <= 23 and y in (13, 17, 21, 25):
        return BLUE
    return p


def package(x, y):
    """A page with a parcel on it."""
    p = page(x, y)
    if p is None:
        return CLEAR
    if p == WHITE and 9 <= x <= 23 and 13 <= y <= 26:
        return WHITE if x == 16 or y == 19 else ORANGE
    return p


def image(draw, size):
    scale = 32 // size
    rows = []
    for y in reversed(range(size)):  # bottom-up
        for x in range(size):
            r, g, b, a = draw(x * scale + scale // 2, y * scale + scale // 2)
            rows.append(struct.pack("BBBB", b, g, r, a))
    pixels = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + mask_row * size, 0, 0, 0, 0)
    return header + pixels + b"\0" * (mask_row * size)


def icon(draw):
    images = [image(draw, s) for s in (32, 16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


out = sys.argv[1]
os.makedirs(out, exist_ok=True)
for name, draw in (("tramvelon.ico", program), ("project.ico", project), ("package.ico", package)):
    with open(os.path.join(out, name), "wb") as f:
        f.write(icon(draw))
