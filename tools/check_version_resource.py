#!/usr/bin/env python3
"""Checks that a Windows image carries a version resource with the given
string values: `check_version_resource.py IMAGE NAME=VALUE...`."""
import struct
import sys


def resource_section(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise SystemExit("not a PE image")
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    table = pe + 24 + optional_size
    for index in range(sections):
        entry = table + 40 * index
        name = data[entry:entry + 8].rstrip(b"\0")
        size, _, raw_size, raw_offset = struct.unpack_from("<IIII", data, entry + 8)
        if name == b".rsrc":
            return data[raw_offset:raw_offset + min(size, raw_size)]
    return b""


def main():
    image = sys.argv[1]
    rsrc = resource_section(open(image, "rb").read())
    # VS_FIXEDFILEINFO begins with this signature.
    if b"\xbd\x04\xef\xfe" not in rsrc or "VS_VERSION_INFO".encode("utf-16-le") not in rsrc:
        raise SystemExit(f"{image}: no version resource")
    for pair in sys.argv[2:]:
        name, value = pair.split("=", 1)
        # A String entry: its key, NUL, padding to 32 bits, the value, NUL.
        key = (name + "\0").encode("utf-16-le")
        at = rsrc.find(key)
        if at < 0:
            raise SystemExit(f"{image}: version resource has no {name}")
        start = at + len(key)
        start += (4 - start % 4) % 4
        end = rsrc.find(b"\0\0", start)
        while end >= 0 and (end - start) % 2:
            end = rsrc.find(b"\0\0", end + 1)
        found = rsrc[start:end].decode("utf-16-le")
        if found != value:
            raise SystemExit(f"{image}: {name} is {found!r}, not {value!r}")
    print(f"{image}: version resource", " ".join(sys.argv[2:]))


if __name__ == "__main__":
    main()
