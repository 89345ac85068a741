#!/usr/bin/env python3
"""Writes the test program's toolbar bitmap: five 32x32 images side by side,
4 bits a pixel, each image filled with its own palette colour."""
import struct
import sys

WIDTH, HEIGHT, IMAGES = 32 * 5, 32, 5
PALETTE = [0x000000, 0xC00000, 0x00C000, 0x0000C0, 0xC0C000, 0xC000C0] + [0xFFFFFF] * 10

stride = (WIDTH * 4 + 31) // 32 * 4
rows = b''
for y in range(HEIGHT):
    row = bytearray(stride)
    for x in range(WIDTH):
        index = 1 + x // 32
        row[x // 2] |= index << (4 if x % 2 == 0 else 0)
    rows += bytes(row)
info = struct.pack('<IiiHHIIiiII', 40, WIDTH, HEIGHT, 1, 4, 0, len(rows), 0, 0, 16, 0)
colors = b''.join(struct.pack('<I', c) for c in PALETTE)
offset = 14 + len(info) + len(colors)
header = struct.pack('<2sIHHI', b'BM', offset + len(rows), 0, 0, offset)
with open(sys.argv[1], 'wb') as out:
    out.write(header + info + colors + rows)
