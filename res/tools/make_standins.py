#!/usr/bin/env python3
"""Writes a stand-in for one of the unit's images when the real one is not
given to the build.

Usage: make_standins.py firmware|audio|radar|unused <output file>

Each stand-in has the real image's size and the layout of its start (vector
table or offset table); the rest is a fixed pseudo-random fill, so a transfer
that drops, repeats or reorders bytes shows up in a byte-exact comparison.
"""
import hashlib
import os
import struct
import sys


def fill(name, size):
    """Deterministic bytes, different for each image."""
    out = bytearray()
    counter = 0
    seed = ("ORV_update stand-in " + name).encode()
    while len(out) < size:
        out += hashlib.sha256(seed + struct.pack("<I", counter)).digest()
        counter += 1
    return out[:size]


def cortex_m(name, size, stack, reset):
    """A Cortex-M image: stack pointer, reset vector, the other core vectors
    and 60 interrupt vectors, all Thumb addresses in flash."""
    image = fill(name, size)
    base = reset & ~0xFFFF
    vectors = [stack, reset]
    for i in range(2, 16 + 60):
        reserved = i in (7, 8, 9, 10, 13)
        vectors.append(0 if reserved else base + 0x0200 + 4 * (i % 16) + 1)
    image[:4 * len(vectors)] = struct.pack("<%dI" % len(vectors), *vectors)
    return image


def audio(size):
    """100 ascending big-endian offsets from 0x23AB to the image's end, then
    zeros from byte 400 to byte 4,520."""
    image = fill("audio", size)
    first, count = 0x000023AB, 100
    span = size - first
    offsets = [first + (span * i) // (count - 1) for i in range(count)]
    jitter = fill("audio clip lengths", count)
    for i in range(1, count - 1):
        # Clips of unequal length, as voice messages are.
        offsets[i] -= (jitter[i] * 7) % 1800
    assert all(a < b for a, b in zip(offsets, offsets[1:])) and offsets[-1] == size
    image[:4 * count] = struct.pack(">%dI" % count, *offsets)
    image[400:4521] = bytes(4521 - 400)
    return image


def build(kind):
    if kind == "firmware":
        return cortex_m(kind, 40372, 0x20002970, 0x080091AD)
    if kind == "audio":
        return audio(900427)
    if kind == "radar":
        return cortex_m(kind, 46560, 0x20001990, 0x0800F3AD)
    if kind == "unused":
        return fill(kind, 842830)
    sys.exit("unknown image: " + kind)


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make_standins.py firmware|audio|radar|unused <output file>")
    data = build(sys.argv[1])
    path = sys.argv[2]
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


if __name__ == "__main__":
    main()
