#!/usr/bin/env python3
"""Draws the installer's icon (a blue box with a white downward arrow on a
tray) and writes it as a Windows .ico holding 16, 32 and 48 pixel images.

The drawing has three colours and hard edges (every pixel is opaque or
transparent), so 4 bits per pixel with the icon's own colours in the palette
and the transparency mask show exactly what 32 bits per pixel would, at an
eighth of the size: the icon travels inside every installer."""
import struct
import sys

BLUE, DARK, WHITE = (30, 90, 200, 255), (10, 40, 110, 255), (255, 255, 255, 255)
# Index 0 is what transparent pixels hold (the mask hides them).
PALETTE = [(0, 0, 0), BLUE[:3], DARK[:3], WHITE[:3]] + [(0, 0, 0)] * 12


def draw(size):
    """Returns rows (top first) of RGBA tuples."""
    s = size / 48.0
    blue, dark, white = BLUE, DARK, WHITE
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


def image(size):
    """A 4-bit DIB with its AND mask, as an icon directory entry holds it."""
    rows = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    data = bytearray()
    for r, g, b in PALETTE:
        data += bytes((b, g, r, 0))
    for row in reversed(rows):  # bottom-up
        idx = [PALETTE.index(px[:3]) if px[3] else 0 for px in row]
        line = bytearray()
        for i in range(0, size, 2):
            line.append((idx[i] << 4) | (idx[i + 1] if i + 1 < size else 0))
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
    entries = [(size, image(size)) for size in (16, 32, 48)]
    offset = 6 + 16 * len(entries)
    head = struct.pack('<HHH', 0, 1, len(entries))
    directory = b''
    blobs = b''
    for size, blob in entries:
        directory += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(blob), offset + len(blobs))
        blobs += blob
    with open(out, 'wb') as f:
        f.write(head + directory + blobs)


if __name__ == '__main__':
    main(sys.argv[1])
