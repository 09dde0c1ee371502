#!/usr/bin/env python3
"""Draws the 16x16 command faces of the toolbar and the menu (24-bit BMP files):
a picture and its mask for each command. In a mask, black marks the pixels of the
picture that are drawn and white those that stay transparent.
Run from this folder: python3 draw_faces.py"""
import struct

SIZE = 16


def bmp(pixels):
    rows = b""
    for y in range(SIZE - 1, -1, -1):  # bottom-up
        row = b"".join(struct.pack("<BBB", b, g, r) for (r, g, b) in pixels[y])
        rows += row + b"\0" * ((4 - len(row) % 4) % 4)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(header) + len(rows), 0, 0, 54) + header + rows


def blank():
    return [[None] * SIZE for _ in range(SIZE)]


def card(p):
    """A contact card with a head and shoulders."""
    for y in range(2, 13):
        for x in range(1, 12):
            p[y][x] = (255, 255, 255) if 1 < x < 11 and 2 < y < 12 else (40, 70, 140)
    for y in range(4, 7):
        for x in range(5, 8):
            p[y][x] = (40, 70, 140)
    for y in range(8, 11):
        for x in range(3, 10):
            p[y][x] = (40, 70, 140)


def calendar(p):
    """A calendar page with a red header and a grid of days."""
    for y in range(2, 13):
        for x in range(1, 12):
            if y < 5:
                p[y][x] = (190, 30, 30)
            elif x in (1, 11) or y == 12:
                p[y][x] = (90, 90, 90)
            elif (x - 1) % 3 == 0 or (y - 5) % 3 == 2:
                p[y][x] = (150, 150, 150)
            else:
                p[y][x] = (255, 255, 255)


def arrow(p, outward):
    """A green arrow in the lower right corner: out of the page, or into it."""
    green = (20, 140, 40)
    for i in range(5):
        x = 10 + i
        p[12][x] = green
    head = 14 if outward else 10
    step = -1 if outward else 1
    for d in range(3):
        for y in (12 - d, 12 + d):
            if 0 <= y < SIZE:
                p[y][head + step * d] = green


def write(name, draw):
    picture = blank()
    draw(picture)
    mask = [[(0, 0, 0) if c is not None else (255, 255, 255) for c in row] for row in picture]
    picture = [[c if c is not None else (192, 192, 192) for c in row] for row in picture]
    with open(name + ".bmp", "wb") as f:
        f.write(bmp(picture))
    with open(name + "_mask.bmp", "wb") as f:
        f.write(bmp(mask))


# The four commands' pictures; resources/art/draw_art.py draws its icons from them too.
FACES = {
    "import_contacts": lambda p: (card(p), arrow(p, False)),
    "export_contacts": lambda p: (card(p), arrow(p, True)),
    "import_events": lambda p: (calendar(p), arrow(p, False)),
    "export_events": lambda p: (calendar(p), arrow(p, True)),
}

if __name__ == "__main__":
    for name, draw in FACES.items():
        write(name, draw)
