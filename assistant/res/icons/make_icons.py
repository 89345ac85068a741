#!/usr/bin/env python3
"""Draws the Assistant's icons (16x16 and 32x32, 32-bit with alpha) and
writes them as .ico files next to this script. The pictures are plain
shapes on a transparent ground; run it again after changing one."""

import os
import struct

BLUE = (0x20, 0x50, 0xB0)
DARK = (0x30, 0x30, 0x30)
GRAY = (0x90, 0x90, 0x90)
GREEN = (0x20, 0xA0, 0x30)
RED = (0xD0, 0x20, 0x20)
WHITE = (0xFF, 0xFF, 0xFF)
GOLD = (0xE0, 0xB0, 0x20)

# 3x5 digits for the port numbers.
DIGITS = {
    1: ["010", "110", "010", "010", "111"],
    2: ["111", "001", "111", "100", "111"],
    3: ["111", "001", "111", "001", "111"],
    4: ["101", "101", "111", "001", "001"],
}


class Canvas:
    def __init__(self, size):
        self.size = size
        self.pixels = [[None] * size for _ in range(size)]

    def put(self, x, y, colour):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.pixels[y][x] = colour

    def box(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.put(x, y, colour)

    def disc(self, cx, cy, r, colour):
        for y in range(self.size):
            for x in range(self.size):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.put(x, y, colour)

    def digit(self, n, x0, y0, scale, colour):
        for row, bits in enumerate(DIGITS[n]):
            for col, bit in enumerate(bits):
                if bit == "1":
                    self.box(x0 + col * scale, y0 + row * scale, x0 + (col + 1) * scale,
                             y0 + (row + 1) * scale, colour)


def application(c):
    s = c.size // 16
    c.box(1 * s, 3 * s, 15 * s, 13 * s, BLUE)
    for i in range(4):
        c.box((3 + 3 * i) * s, 6 * s, (4 + 3 * i) * s + s // 2, 10 * s, WHITE)


def status(colour, mark):
    def draw(c):
        s = c.size / 16
        c.disc(c.size / 2, c.size / 2, 7 * s, colour)
        if mark == "tick":
            for i in range(5):
                c.box(int((4 + i * 0.5) * s), int((8 + i * 0.5) * s), int((5 + i * 0.5) * s) + 1,
                      int((9 + i * 0.5) * s) + 1, WHITE)
            for i in range(6):
                c.box(int((6 + i) * s), int((10 - i) * s), int((7 + i) * s) + 1, int((11 - i) * s), WHITE)
        elif mark == "cross":
            for i in range(8):
                c.box(int((4 + i) * s), int((4 + i) * s), int((5 + i) * s) + 1, int((5 + i) * s) + 1, WHITE)
                c.box(int((11 - i) * s), int((4 + i) * s), int((12 - i) * s) + 1, int((5 + i) * s) + 1, WHITE)
    return draw


def adapter(c):
    s = c.size // 16
    c.box(1 * s, 4 * s, 15 * s, 12 * s, DARK)
    for i in range(4):
        c.box((2 + 3 * i + 1) * s, 7 * s, (4 + 3 * i) * s, 9 * s, GOLD)


def port(n):
    def draw(c):
        s = c.size // 16
        c.box(1 * s, 2 * s, 15 * s, 14 * s, GRAY)
        c.box(2 * s, 3 * s, 14 * s, 13 * s, WHITE)
        c.digit(n, 5 * s + s // 2, 5 * s + s // 2, s + s // 2 if s > 1 else 1, BLUE)
    return draw


def icon_bytes(draw):
    images = []
    for size in (16, 32):
        canvas = Canvas(size)
        draw(canvas)
        header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        xor = bytearray()
        mask = bytearray()
        mask_row = ((size + 31) // 32) * 4
        for y in reversed(range(size)):
            bits = bytearray(mask_row)
            for x in range(size):
                colour = canvas.pixels[y][x]
                if colour is None:
                    xor += b"\0\0\0\0"
                    bits[x // 8] |= 0x80 >> (x % 8)
                else:
                    xor += bytes((colour[2], colour[1], colour[0], 0xFF))
            mask += bits
        images.append((size, header + bytes(xor) + bytes(mask)))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    return out


ICONS = {
    "assistant.ico": application,
    "test_idle.ico": status(GRAY, None),
    "test_passed.ico": status(GREEN, "tick"),
    "test_failed.ico": status(RED, "cross"),
    "adapter.ico": adapter,
    "port1.ico": port(1),
    "port2.ico": port(2),
    "port3.ico": port(3),
    "port4.ico": port(4),
}

if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    for name, draw in ICONS.items():
        with open(os.path.join(here, name), "wb") as f:
            f.write(icon_bytes(draw))
