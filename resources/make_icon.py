#!/usr/bin/env python3
"""Draws the installer's icon (a blue box with a white downward arrow on a
tray) and writes it as a Windows .ico holding 16, 32 and 48 pixel images at
4, 8 and 32 bits per pixel.

The 8-bit images pick their colours from the 256-colour palette below but
carry only the entries they use (the header's count of colours used says
how many): the same pixels in the same colours, without some 3 KB of unused
palette in the stub."""
import struct
import sys

# The 16-colour palette; the 8-bit palette starts with the same entries.
PALETTE16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def palette256():
    pal = list(PALETTE16)
    for r in range(6):
        for g in range(6):
            for b in range(6):
                pal.append((r * 51, g * 51, b * 51))
    while len(pal) < 256:
        v = (len(pal) - 232) * 10 + 8
        pal.append((v, v, v))
    return pal[:256]


def draw(size):
    """Returns rows (top first) of RGBA tuples."""
    s = size / 48.0
    blue, dark, white = (30, 90, 200, 255), (10, 40, 110, 255), (255, 255, 255, 255)
    none = (0, 0, 0, 0)
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            fx, fy = (x + 0.5) / s, (y + 0.5) / s  # in 48-pixel units
            px = none
            # rounded box
            if 3 <= fx <= 45 and 3 <= fy <= 45:
                cx = min(max(fx, 9), 39)
                cy = min(max(fy, 9), 39)
                if (fx - cx) ** 2 + (fy - cy) ** 2 <= 36:
                    edge = (fx - cx) ** 2 + (fy - cy) ** 2 > 20 or fx < 5 or fx > 43 or fy < 5 or fy > 43
                    px = dark if edge else blue
            # arrow shaft and head
            if 20 <= fx <= 28 and 9 <= fy <= 26:
                px = white
            if 26 <= fy <= 35 and abs(fx - 24) <= (35 - fy) * 1.2:
                px = white
            # tray
            if 11 <= fx <= 37 and 37 <= fy <= 40:
                px = white
            row.append(px)
        rows.append(row)
    return rows


def nearest(pal, rgb):
    best, bi = None, 0
    for i, p in enumerate(pal):
        d = sum((a - b) ** 2 for a, b in zip(p, rgb))
        if best is None or d < best:
            best, bi = d, i
    return bi


def image(size, bpp):
    rows = draw(size)
    data = bytearray()
    colours_used = 0
    if bpp in (4, 8):
        pal = PALETTE16 if bpp == 4 else palette256()
        index = {i: i for i in range(len(pal))}
        if bpp == 8:
            # Entry 0 (black) stays first: the transparent pixels use it.
            used = sorted({0} | {nearest(pal, px[:3]) for row in rows for px in row if px[3]})
            index = {old: new for new, old in enumerate(used)}
            pal = [pal[i] for i in used]
            colours_used = len(pal)
        for r, g, b in pal:
            data += bytes((b, g, r, 0))
        full = PALETTE16 if bpp == 4 else palette256()
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bpp, 0, 0, 0, 0, colours_used, 0)
    for row in reversed(rows):  # bottom-up
        line = bytearray()
        if bpp == 32:
            for r, g, b, a in row:
                line += bytes((b, g, r, a))
        else:
            idx = [index[nearest(full, px[:3])] if px[3] else 0 for px in row]
            if bpp == 8:
                line += bytes(idx)
            else:
                for i in range(0, size, 2):
                    hi = idx[i]
                    lo = idx[i + 1] if i + 1 < size else 0
                    line.append((hi << 4) | lo)
        while len(line) % 4:
            line.append(0)
        data += line
    for row in reversed(rows):  # AND mask: 1 = transparent
        bits = bytearray((size + 7) // 8)
        for x, px in enumerate(row):
            if px[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        while len(bits) % 4:
            bits.append(0)
        data += bits
    return header + bytes(data)


def main(out):
    entries = []
    for size in (16, 32, 48):
        for bpp in (4, 8, 32):
            entries.append((size, bpp, image(size, bpp)))
    offset = 6 + 16 * len(entries)
    head = struct.pack('<HHH', 0, 1, len(entries))
    directory = b''
    blobs = b''
    for size, bpp, blob in entries:
        colors = 16 if bpp == 4 else 0
        directory += struct.pack('<BBBBHHII', size, size, colors, 0, 1, bpp, len(blob), offset + len(blobs))
        blobs += blob
    with open(out, 'wb') as f:
        f.write(head + directory + blobs)


if __name__ == '__main__':
    main(sys.argv[1])
