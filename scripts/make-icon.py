#!/usr/bin/env python3
"""Writes app/ferrulon.ico: one 32x32 24-bit image of a hard disk with a green check mark.

Run from anywhere: python3 scripts/make-icon.py [output path]. The image is drawn here pixel
by pixel so that the icon can be remade and reviewed without an image editor.
"""
import math
import os
import struct
import sys

SIZE = 32

CASE_EDGE = (0x40, 0x40, 0x48)
CASE = (0xA8, 0xAC, 0xB4)
PLATTER_EDGE = (0x68, 0x70, 0x7C)
PLATTER = (0xDC, 0xE0, 0xE8)
PLATTER_RING = (0xC4, 0xCA, 0xD4)
SPINDLE = (0x50, 0x54, 0x5C)
ARM = (0x30, 0x30, 0x38)
SCREW = (0x58, 0x5C, 0x64)
CHECK_EDGE = (0x0C, 0x50, 0x0C)
CHECK = (0x22, 0xB0, 0x22)


def blank():
    return [[None] * SIZE for _ in range(SIZE)]


def put(img, x, y, colour):
    if 0 <= x < SIZE and 0 <= y < SIZE:
        img[y][x] = colour


def rounded_rect(img, x0, y0, x1, y1, edge, fill):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            corner = (x in (x0, x1)) and (y in (y0, y1))
            if corner:
                continue
            border = x in (x0, x1) or y in (y0, y1) or (x in (x0 + 1, x1 - 1) and y in (y0 + 1, y1 - 1))
            put(img, x, y, edge if border else fill)


def disc(img, cx, cy, r, colour):
    for y in range(SIZE):
        for x in range(SIZE):
            if math.hypot(x - cx, y - cy) <= r:
                put(img, x, y, colour)


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def thick_path(img, points, width, colour):
    for y in range(SIZE):
        for x in range(SIZE):
            for (ax, ay), (bx, by) in zip(points, points[1:]):
                if segment_distance(x, y, ax, ay, bx, by) <= width / 2:
                    put(img, x, y, colour)
                    break


def draw():
    img = blank()
    rounded_rect(img, 3, 1, 28, 30, CASE_EDGE, CASE)
    for x, y in ((5, 3), (26, 3), (5, 28), (26, 28)):
        put(img, x, y, SCREW)
    disc(img, 15.5, 13.5, 10.4, PLATTER_EDGE)
    disc(img, 15.5, 13.5, 9.5, PLATTER)
    disc(img, 15.5, 13.5, 6.2, PLATTER_RING)
    disc(img, 15.5, 13.5, 5.3, PLATTER)
    disc(img, 15.5, 13.5, 2.3, SPINDLE)
    thick_path(img, [(24.5, 25.5), (19.0, 15.0)], 2.2, ARM)
    disc(img, 24.5, 25.5, 2.4, ARM)
    thick_path(img, [(4.0, 21.5), (8.5, 26.5), (16.5, 17.5)], 5.2, CHECK_EDGE)
    thick_path(img, [(4.0, 21.5), (8.5, 26.5), (16.5, 17.5)], 3.0, CHECK)
    return img


def ico_bytes(img):
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 24, 0, 0, 0, 0, 0, 0)
    colours = bytearray()
    mask = bytearray()
    for y in reversed(range(SIZE)):   # bottom-up rows
        bits = 0
        for x in range(SIZE):
            pixel = img[y][x]
            r, g, b = pixel if pixel is not None else (0, 0, 0)
            colours += bytes((b, g, r))
            if pixel is None:
                bits |= 1 << (SIZE - 1 - x)
        mask += struct.pack('>I', bits)   # 32 pixels: one 4-byte row, most significant bit first
    image = header + bytes(colours) + bytes(mask)
    directory = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', SIZE, SIZE, 0, 0, 1, 24, len(image), 6 + 16)
    return directory + entry + image


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, '..', 'app', 'ferrulon.ico')
    with open(out, 'wb') as f:
        f.write(ico_bytes(draw()))


if __name__ == '__main__':
    main()
