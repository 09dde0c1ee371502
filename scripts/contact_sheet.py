#!/usr/bin/env python3
"""Turns the dialogs' pictures taken by the driven tests (24-bit BMP files, named
NN-what.bmp) into PNG files and puts them side by side on one sheet.

    scripts/contact_sheet.py SHOT_DIR [OUT_DIR]

Writes OUT_DIR/NN-what.png for every picture and OUT_DIR/sheet.png, the pictures in
name order on a grid, each scaled down by half, with its number above it.
Only the standard library: PNG is zlib-compressed rows."""
import os
import struct
import sys
import zlib

COLUMNS = 4
GAP = 12
LABEL = 24  # the band above each picture that holds its number
BACKGROUND = (64, 64, 64)


def read_bmp(path):
    data = open(path, "rb").read()
    if data[:2] != b"BM":
        raise ValueError(path + ": not a BMP file")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    if bits != 24:
        raise ValueError(path + ": only 24-bit pictures are read")
    bottom_up = height > 0
    height = abs(height)
    stride = (width * 3 + 3) // 4 * 4
    rows = []
    for y in range(height):
        src = height - 1 - y if bottom_up else y
        row = data[offset + src * stride: offset + src * stride + width * 3]
        rows.append([(row[i + 2], row[i + 1], row[i]) for i in range(0, width * 3, 3)])
    return rows


def write_png(path, rows):
    height, width = len(rows), len(rows[0])
    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in rows)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def half(rows):
    """Each 2 x 2 block becomes its average."""
    out = []
    for y in range(0, len(rows) - 1, 2):
        a, b = rows[y], rows[y + 1]
        out.append([tuple((a[x][k] + a[x + 1][k] + b[x][k] + b[x + 1][k]) // 4 for k in range(3))
                    for x in range(0, len(a) - 1, 2)])
    return out


# 3 x 5 glyphs for the pictures' numbers: the digits, and "b" for a picture that
# follows another of the same number.
DIGITS = {
    "0": "111101101101111", "1": "010110010010111", "2": "111001111100111", "3": "111001111001111",
    "4": "101101111001001", "5": "111100111001111", "6": "111100111101111", "7": "111001001001001",
    "8": "111101111101111", "9": "111101111001111", "b": "100100111101111",
}


def stamp(canvas, x0, y0, text, scale=3):
    width = len(text) * 4 * scale + scale
    for y in range(y0, y0 + 7 * scale):
        for x in range(x0, x0 + width):
            canvas[y][x] = (255, 255, 255)
    for i, ch in enumerate(text):
        pattern = DIGITS.get(ch)
        if pattern is None:
            continue
        for k, bit in enumerate(pattern):
            if bit == "1":
                px, py = x0 + scale + (i * 4 + k % 3) * scale, y0 + scale + (k // 3) * scale
                for dy in range(scale):
                    for dx in range(scale):
                        canvas[py + dy][px + dx] = (200, 0, 0)


def sheet(pictures):
    cells = [half(rows) for _, rows in pictures]
    cell_w = max(len(c[0]) for c in cells)
    cell_h = max(len(c) for c in cells)
    count = len(cells)
    cols = min(COLUMNS, count)
    lines = (count + cols - 1) // cols
    width = cols * cell_w + (cols + 1) * GAP
    height = lines * (cell_h + LABEL) + (lines + 1) * GAP
    canvas = [[BACKGROUND] * width for _ in range(height)]
    for i, cell in enumerate(cells):
        x0 = GAP + (i % cols) * (cell_w + GAP)
        y0 = GAP + LABEL + (i // cols) * (cell_h + LABEL + GAP)
        for y, row in enumerate(cell):
            canvas[y0 + y][x0:x0 + len(row)] = row
        stamp(canvas, x0, y0 - LABEL, pictures[i][0].split("-")[0])
    return canvas


def main():
    if len(sys.argv) < 2:
        print(__doc__.strip().splitlines()[3], file=sys.stderr)
        return 2
    shots = sys.argv[1]
    out = sys.argv[2] if len(sys.argv) > 2 else shots
    os.makedirs(out, exist_ok=True)
    names = sorted(n for n in os.listdir(shots) if n.endswith(".bmp"))
    if not names:
        print("contact_sheet: no pictures in " + shots, file=sys.stderr)
        return 1
    pictures = []
    for name in names:
        rows = read_bmp(os.path.join(shots, name))
        write_png(os.path.join(out, name[:-4] + ".png"), rows)
        pictures.append((name[:-4], rows))
    write_png(os.path.join(out, "sheet.png"), sheet(pictures))
    print("contact_sheet: %d pictures, %s" % (len(pictures), os.path.join(out, "sheet.png")))
    return 0


if __name__ == "__main__":
    sys.exit(main())
