#!/usr/bin/env python3
"""Cuts a rectangle out of an X window dump (what `Xvfb -fbdir` keeps of its
screen, or `xwd` writes) and saves it as a PNG.

  xwd_to_png.py SCREEN.xwd OUT.png [X Y WIDTH HEIGHT]
"""
import struct
import sys
import zlib


def read_xwd(path):
    with open(path, "rb") as dump:
        data = dump.read()
    fields = struct.unpack(">25I", data[:100])
    header_size, version, pixmap_format, depth, width, height = fields[:6]
    byte_order, bits_per_pixel, bytes_per_line, ncolors = fields[7], fields[11], fields[12], fields[19]
    if version != 7 or pixmap_format != 2 or bits_per_pixel != 32:
        sys.exit(f"{path}: not a 32-bit ZPixmap X window dump")
    start = header_size + ncolors * 12
    return data[start:start + bytes_per_line * height], width, height, bytes_per_line, byte_order


def png(path, width, height, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    raw = b"".join(b"\0" + row for row in rows)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        out.write(chunk(b"IEND", b""))


def main():
    if len(sys.argv) not in (3, 7):
        sys.exit(__doc__)
    pixels, width, height, stride, byte_order = read_xwd(sys.argv[1])
    x, y, w, h = (int(v) for v in sys.argv[3:7]) if len(sys.argv) == 7 else (0, 0, width, height)
    x, y = max(0, x), max(0, y)
    w, h = min(w, width - x), min(h, height - y)
    rows = []
    for row in range(y, y + h):
        line = pixels[row * stride + x * 4:row * stride + (x + w) * 4]
        # LSB first: blue, green, red, pad; MSB first: pad, red, green, blue.
        if byte_order == 0:
            rgb = bytearray(w * 3)
            rgb[0::3], rgb[1::3], rgb[2::3] = line[2::4], line[1::4], line[0::4]
        else:
            rgb = bytearray(w * 3)
            rgb[0::3], rgb[1::3], rgb[2::3] = line[1::4], line[2::4], line[3::4]
        rows.append(bytes(rgb))
    png(sys.argv[2], w, h, rows)


if __name__ == "__main__":
    main()
