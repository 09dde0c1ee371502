#!/usr/bin/env python3
"""Draws the pictures of the dialogs (Mireo's own artwork):
  wizard.bmp            the band along the left of the wizard pages and the progress
                        dialog (bitmap 272), 136 x 420, 24-bit;
  <command>.ico         the select-action buttons' images (icons 280 to 283), from the
                        command faces of ../faces, 16 x 16 and 32 x 32 with alpha;
  browse.ico            the folder image of the pages' browse buttons.
Run from this folder: python3 draw_art.py"""
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "faces"))
import draw_faces  # noqa: E402

W, H = 136, 420


def bmp24(width, height, pixel):
    rows = b""
    for y in range(height - 1, -1, -1):  # bottom-up
        row = b"".join(struct.pack("<BBB", *reversed(pixel(x, y))) for x in range(width))
        rows += row + b"\0" * ((4 - len(row) % 4) % 4)
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(header) + len(rows), 0, 0, 54) + header + rows


def face(draw):
    p = draw_faces.blank()
    draw(p)
    return p


def scaled(picture, factor):
    n = len(picture)
    return [[picture[y // factor][x // factor] for x in range(n * factor)] for y in range(n * factor)]


def big_card(x, y):
    """An 80 x 80 contact card: a white card with a blue edge, a head and shoulders."""
    if not (4 <= x < 76 and 12 <= y < 68):
        return None
    blue = (40, 70, 140)
    if x < 7 or x >= 73 or y < 15 or y >= 65:
        return blue
    if (x - 28) ** 2 + (y - 32) ** 2 <= 81:
        return blue
    if 14 <= x < 42 and 44 <= y < 58 and (x - 28) ** 2 + (y - 58) ** 2 <= 196:
        return blue
    if 48 <= x < 66 and y in range(26, 29) or 48 <= x < 66 and y in range(36, 39) or 48 <= x < 60 and y in range(46, 49):
        return (150, 160, 190)
    return (255, 255, 255)


def big_calendar(x, y):
    """An 80 x 80 calendar page: a red band with rings, a grid of days, one marked."""
    if not (6 <= x < 74 and 8 <= y < 72):
        return None
    if y < 24:
        if x in range(20, 24) or x in range(56, 60):
            return (235, 235, 235) if y > 11 else (120, 20, 20)
        return (190, 30, 30)
    if x < 8 or x >= 72 or y >= 70:
        return (90, 90, 90)
    col, row = (x - 8) // 16, (y - 24) // 12
    if (x - 8) % 16 == 0 or (y - 24) % 12 == 0:
        return (170, 170, 170)
    if (col, row) == (2, 1):
        return (250, 210, 90)
    return (255, 255, 255)


def wizard():
    """A blue band fading downwards, with a contact card and a calendar page."""

    def pixel(x, y):
        for draw, top in ((big_card, 70), (big_calendar, 190)):
            c = draw(x - 28, y - top) if 0 <= x - 28 < 80 and 0 <= y - top < 80 else None
            if c is not None:
                return c
        t = y / (H - 1)
        base = (int(28 + 60 * t), int(60 + 90 * t), int(130 + 90 * t))
        # Faint diagonal stripes; a light edge on the right against the page.
        if x >= W - 2:
            return (230, 236, 246)
        if (x + y) % 24 < 2:
            return tuple(min(255, c + 14) for c in base)
        return base

    return bmp24(W, H, pixel)


def ico(images):
    """An .ico of square images (rows of (r, g, b) or None), 32-bit with alpha."""
    entries, blobs = b"", b""
    offset = 6 + 16 * len(images)
    for picture in images:
        n = len(picture)
        xor = b""
        for y in range(n - 1, -1, -1):
            for x in range(n):
                c = picture[y][x]
                xor += struct.pack("<BBBB", 0, 0, 0, 0) if c is None else struct.pack("<BBBB", c[2], c[1], c[0], 255)
        mask_row = ((n + 31) // 32) * 4
        mask = b""
        for y in range(n - 1, -1, -1):
            bits = 0
            row = bytearray(mask_row)
            for x in range(n):
                if picture[y][x] is None:
                    row[x // 8] |= 0x80 >> (x % 8)
            mask += bytes(row)
        header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        blob = header + xor + mask
        entries += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
        blobs += blob
    return struct.pack("<HHH", 0, 1, len(images)) + entries + blobs


def folder(p):
    """A yellow folder with its tab."""
    dark, light = (150, 110, 20), (240, 200, 80)
    for y in range(3, 14):
        for x in range(1, 15):
            if y == 3 and x > 6:
                continue
            edge = y in (3, 13) or x in (1, 14) or (y == 5 and x > 6) or (y == 4 and x == 6)
            if y == 4 and x > 6:
                edge = False
                continue
            p[y][x] = dark if edge else light


def main():
    with open("wizard.bmp", "wb") as f:
        f.write(wizard())
    for name, draw in list(draw_faces.FACES.items()) + [("browse", folder)]:
        small = face(draw)
        with open(name + ".ico", "wb") as f:
            f.write(ico([small, scaled(small, 2)]))


if __name__ == "__main__":
    main()
