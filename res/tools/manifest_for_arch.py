#!/usr/bin/env python3
"""Copies the manifest byte for byte, naming the common controls of the
given processor architecture.

Usage: manifest_for_arch.py <manifest> <output> x86|amd64
"""
import sys


def main():
    if len(sys.argv) != 4 or sys.argv[3] not in ("x86", "amd64"):
        sys.exit("usage: manifest_for_arch.py <manifest> <output> x86|amd64")
    with open(sys.argv[1], "rb") as f:
        data = f.read()
    attribute = b'processorArchitecture="x86"'
    if data.count(attribute) != 1:
        sys.exit("manifest: expected exactly one " + attribute.decode())
    data = data.replace(attribute, b'processorArchitecture="%s"' % sys.argv[3].encode())
    with open(sys.argv[2], "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
