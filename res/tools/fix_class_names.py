#!/usr/bin/env python3
"""Gives the window classes of dialog controls back their own spelling.

Usage: fix_class_names.py <input .res> <output .res>

windres writes every quoted control class of a dialog template in capitals
("MSCTLS_PROGRESS32"). Class names are matched without regard to case, but
the templates are to hold the names as the common controls spell them, so
this rewrites them in place (same length, nothing else moves).
"""
import struct
import sys

CLASS_NAMES = ["msctls_progress32"]
RT_DIALOG = 5


def read_id(data, offset):
    """A resource or template name: ordinal or NUL-terminated UTF-16."""
    if struct.unpack_from("<H", data, offset)[0] == 0xFFFF:
        return struct.unpack_from("<H", data, offset + 2)[0], offset + 4
    end = offset
    while struct.unpack_from("<H", data, end)[0]:
        end += 2
    return data[offset:end].decode("utf-16-le"), end + 2


def fix_dialog(data, start, size):
    """Rewrites the class names of one DIALOGEX template; returns the count."""
    version, signature = struct.unpack_from("<HH", data, start)
    if (version, signature) != (1, 0xFFFF):
        return 0
    style = struct.unpack_from("<I", data, start + 12)[0]
    count = struct.unpack_from("<H", data, start + 16)[0]
    offset = start + 26
    for _ in range(3):  # menu, class, caption
        _, offset = read_id(data, offset)
    if style & 0x40:  # DS_SETFONT
        _, offset = read_id(data, offset + 6)
    fixed = 0
    for _ in range(count):
        offset = (offset + 3) & ~3
        offset += 24
        name_at = offset
        name, offset = read_id(data, offset)
        if isinstance(name, str):
            for proper in CLASS_NAMES:
                if name != proper and name.lower() == proper.lower():
                    data[name_at:name_at + 2 * len(proper)] = proper.encode("utf-16-le")
                    fixed += 1
        _, offset = read_id(data, offset)
        extra = struct.unpack_from("<H", data, offset)[0]
        offset += 2 + extra
    if offset > start + size:
        sys.exit("dialog template runs past its resource")
    return fixed


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: fix_class_names.py <input .res> <output .res>")
    with open(sys.argv[1], "rb") as f:
        data = bytearray(f.read())
    offset = 0
    while offset + 8 <= len(data):
        size, header = struct.unpack_from("<II", data, offset)
        kind, _ = read_id(data, offset + 8)
        if kind == RT_DIALOG:
            fix_dialog(data, offset + header, size)
        offset = (offset + header + size + 3) & ~3
    with open(sys.argv[2], "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
