#!/usr/bin/env python3
"""Writes the test icon: a 16x16 32-bit image and a 32x32 4-bit image, each
with a pattern the tests can check pixel by pixel (see icon_test.cpp)."""
import struct
import sys


def dib(width, height, bit_count, palette, pixel):
    """pixel(x, y) gives a palette index (or 0xAARRGGBB for 32 bits), y from the top."""
    header = struct.pack('<IiiHHIIiiII', 40, width, height * 2, 1, bit_count, 0, 0, 0, 0, 0, 0)
    colors = b''.join(struct.pack('<I', c) for c in palette)
    xor_stride = (width * bit_count + 31) // 32 * 4
    and_stride = (width + 31) // 32 * 4
    xor_rows, and_rows = [], []
    for y in reversed(range(height)):  # DIBs store the bottom row first
        row = bytearray(xor_stride)
        for x in range(width):
            value = pixel(x, y)
            if bit_count == 32:
                struct.pack_into('<I', row, x * 4, value)
            else:  # 4 bits: the high nibble is the left pixel
                row[x // 2] |= value << (4 if x % 2 == 0 else 0)
        xor_rows.append(bytes(row))
        mask = bytearray(and_stride)
        if bit_count == 4 and x_transparent(y):
            mask[0] = 0x80  # leftmost pixel of the row shows the background
        and_rows.append(bytes(mask))
    return header + colors + b''.join(xor_rows) + b''.join(and_rows)


def x_transparent(y):
    return y == 0


def main(path):
    small = dib(16, 16, 32, [], lambda x, y: 0xFF000000 | (x * 16) << 16 | (y * 16) << 8 | 0x40)
    palette = [0x000000, 0xFF0000, 0x00FF00, 0x0000FF] + [0x808080] * 12
    large = dib(32, 32, 4, palette, lambda x, y: (x // 8) % 4)
    images = [(16, 16, 0, 32, small), (32, 32, 16, 4, large)]
    directory = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = b'', b''
    for width, height, colors, bits, blob in images:
        entries += struct.pack('<BBBBHHII', width, height, colors, 0, 1, bits, len(blob), offset)
        offset += len(blob)
        blobs += blob
    with open(path, 'wb') as out:
        out.write(directory + entries + blobs)


if __name__ == '__main__':
    main(sys.argv[1])
