#!/usr/bin/env python3
"""Draws the program's icon group and the product picture.

Usage: make_pictures.py <output folder>
Writes ORV_update.ico (48, 32 and 16 px, each at 4, 8 and 24 bits per pixel)
and product.bmp (136 x 250, 24 bits, bottom-up). Pure Python and free of
randomness, so the same script always gives the same bytes.
"""
import math
import os
import struct
import sys

SUPERSAMPLE = 4


# --- shapes: each is a function (x, y) -> inside, in picture coordinates ---

def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside, (x0, y0, x1, y1)


def circle(cx, cy, r):
    def inside(x, y):
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside, (cx - r, cy - r, cx + r, cy + r)


def capsule(ax, ay, bx, by, r):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy or 1e-9

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
        px, py = ax + t * dx - x, ay + t * dy - y
        return px * px + py * py <= r * r
    return inside, (min(ax, bx) - r, min(ay, by) - r, max(ax, bx) + r, max(ay, by) + r)


def polygon(points):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]

    def inside(x, y):
        hit = False
        j = len(points) - 1
        for i in range(len(points)):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                hit = not hit
            j = i
        return hit
    return inside, (min(xs), min(ys), max(xs), max(ys))


class Canvas:
    """RGB floats in 0..1 plus an alpha plane, painted with antialiased shapes."""

    def __init__(self, width, height, background=None):
        self.w, self.h = width, height
        self.rgb = [[0.0, 0.0, 0.0] for _ in range(width * height)]
        self.alpha = [0.0] * (width * height)
        if background:
            for y in range(height):
                for x in range(width):
                    self.rgb[y * width + x] = list(background(x + 0.5, y + 0.5))
                    self.alpha[y * width + x] = 1.0

    def fill(self, shape, colour, scale=1.0, opacity=1.0):
        """Paints shape (given in units that scale maps to pixels) with colour,
        a tuple or a function of the pixel's position."""
        inside, (bx0, by0, bx1, by1) = shape
        px0 = max(0, int(math.floor(bx0 * scale)))
        py0 = max(0, int(math.floor(by0 * scale)))
        px1 = min(self.w - 1, int(math.ceil(bx1 * scale)))
        py1 = min(self.h - 1, int(math.ceil(by1 * scale)))
        n = SUPERSAMPLE
        step = 1.0 / n
        for py in range(py0, py1 + 1):
            for px in range(px0, px1 + 1):
                hits = 0
                for sy in range(n):
                    y = (py + (sy + 0.5) * step) / scale
                    for sx in range(n):
                        if inside((px + (sx + 0.5) * step) / scale, y):
                            hits += 1
                if not hits:
                    continue
                a = opacity * hits / (n * n)
                c = colour(px + 0.5, py + 0.5) if callable(colour) else colour
                i = py * self.w + px
                dst = self.rgb[i]
                da = self.alpha[i]
                out_a = a + da * (1 - a)
                for k in range(3):
                    dst[k] = (c[k] * a + dst[k] * da * (1 - a)) / out_a
                self.alpha[i] = out_a


def rgb(hex_colour):
    return tuple(int(hex_colour[i:i + 2], 16) / 255.0 for i in (0, 2, 4))


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(a[k] + (b[k] - a[k]) * t for k in range(3))


def vertical(top, bottom, y0, y1):
    return lambda x, y: mix(top, bottom, (y - y0) / (y1 - y0))


# --- the USB trident, in a 32 x 32 design square ---

def usb_symbol(canvas, scale, colour, stroke):
    f = canvas.fill
    f(capsule(16, 7, 16, 25, stroke), colour, scale)          # stem
    f(polygon([(16, 2), (20.5, 8.5), (11.5, 8.5)]), colour, scale)  # arrow head
    f(circle(16, 26.5, stroke * 2.0), colour, scale)           # base
    f(capsule(16, 21, 9, 16, stroke), colour, scale)           # left branch
    f(capsule(9, 16, 9, 12.5, stroke), colour, scale)
    f(circle(9, 11.5, stroke * 1.7), colour, scale)            # round end
    f(capsule(16, 18, 23, 14, stroke), colour, scale)          # right branch
    f(capsule(23, 14, 23, 11, stroke), colour, scale)
    s = stroke * 1.6
    f(rounded_rect(23 - s, 11 - 2 * s, 23 + s, 11, 0.3), colour, scale)  # square end


# Tile colours per colour depth: the palette images get flat colours of their
# own palette, since a gradient would only band there.
TILE = {4: ("0000ff", "0000ff"), 8: ("3366cc", "3366cc"), 24: ("3f8fe0", "0b3c8c")}


def draw_icon(size, bits):
    c = Canvas(size, size)
    scale = size / 32.0
    top, bottom = TILE[bits]
    c.fill(rounded_rect(0.5, 0.5, 31.5, 31.5, 6), vertical(rgb(top), rgb(bottom), 0, size), scale)
    stroke = 1.2 if size >= 32 else 1.7
    usb_symbol(c, scale, rgb("ffffff"), stroke)
    return c


def draw_product():
    w, h = 136, 250
    c = Canvas(w, h, vertical(rgb("e9f0f8"), rgb("9fb6d0"), 0, h))
    f = c.fill
    # Cable from the unit down to the plug, with a soft shadow.
    f(capsule(70, 150, 70, 196, 4.5), rgb("8496ab"), 1.0, 0.5)
    f(capsule(68, 148, 68, 194, 4.0), vertical(rgb("3a3f46"), rgb("1d2126"), 148, 194))
    # The unit: a dark body, a bezel, a screen with a progress bar, two keys.
    f(rounded_rect(21, 23, 119, 155, 14), rgb("7d8ea3"), 1.0, 0.45)
    f(rounded_rect(18, 20, 116, 152, 14), vertical(rgb("4a525c"), rgb("22272d"), 20, 152))
    f(rounded_rect(20, 22, 114, 60, 12), rgb("ffffff"), 1.0, 0.08)
    f(rounded_rect(27, 31, 107, 103, 5), rgb("0e1116"))
    f(rounded_rect(30, 34, 104, 100, 3), vertical(rgb("1f6fb8"), rgb("0a2f5c"), 34, 100))
    # Screen content: the USB mark and a progress bar.
    shift_x, shift_y, s = 49, 39, 1.15

    class Shifted:
        def fill(self, shape, colour, scale=1.0, opacity=1.0):
            inside, (x0, y0, x1, y1) = shape
            moved = (lambda x, y: inside((x - shift_x) / s, (y - shift_y) / s),
                     (x0 * s + shift_x, y0 * s + shift_y, x1 * s + shift_x, y1 * s + shift_y))
            c.fill(moved, colour, 1.0, opacity)
    usb_symbol(Shifted(), 1.0, rgb("e8f3ff"), 1.3)
    f(rounded_rect(38, 84, 96, 92, 3), rgb("06203f"))
    f(rounded_rect(39, 85, 78, 91, 2.5), vertical(rgb("7fe08a"), rgb("2e9c43"), 85, 91))
    # Keys and a status lamp.
    f(circle(50, 124, 9), rgb("15191e"))
    f(circle(50, 123, 7.5), vertical(rgb("6b7480"), rgb("3a4049"), 115, 131))
    f(circle(84, 124, 9), rgb("15191e"))
    f(circle(84, 123, 7.5), vertical(rgb("6b7480"), rgb("3a4049"), 115, 131))
    f(circle(67, 142, 2.6), rgb("57e36b"))
    f(circle(67, 142, 5), rgb("57e36b"), 1.0, 0.25)
    # The USB plug at the cable's end: strain relief, shell, tongue.
    f(rounded_rect(58, 190, 78, 212, 4), vertical(rgb("2c3137"), rgb("16191d"), 190, 212))
    f(rounded_rect(55, 208, 81, 240, 2), vertical(rgb("e4e8ec"), rgb("9aa3ad"), 208, 240))
    f(rounded_rect(58, 222, 78, 237, 1), rgb("2d3238"))
    f(rounded_rect(60, 224, 76, 229, 0.5), rgb("f2f4f6"))
    for x in (62, 66, 70, 74):
        f(rounded_rect(x - 1, 225, x + 1, 228, 0.3), rgb("d9a441"))
    return c


# --- file writers ---

def palette_16():
    return [rgb(v) for v in (
        "000000", "800000", "008000", "808000", "000080", "800080", "008080", "c0c0c0",
        "808080", "ff0000", "00ff00", "ffff00", "0000ff", "ff00ff", "00ffff", "ffffff")]


def palette_256():
    pal = palette_16()
    steps = [0, 0x33, 0x66, 0x99, 0xcc, 0xff]
    pal += [(r / 255.0, g / 255.0, b / 255.0) for r in steps for g in steps for b in steps]
    pal += [((8 + 10 * i) / 255.0,) * 3 for i in range(24)]
    return pal


def nearest(pal, colour, cache):
    key = tuple(int(v * 255 + 0.5) for v in colour)
    if key not in cache:
        cache[key] = min(range(len(pal)), key=lambda i: sum(
            (pal[i][k] * 255 - key[k]) ** 2 * (3, 4, 2)[k] for k in range(3)))
    return cache[key]


def byte(v):
    return max(0, min(255, int(v * 255 + 0.5)))


def row_stride(width, bits):
    return ((width * bits + 31) // 32) * 4


def icon_image(canvas, bits):
    """One icon image: BITMAPINFOHEADER, palette, colour bits, AND mask."""
    w = h = canvas.w
    pal = {4: palette_16(), 8: palette_256()}.get(bits, [])
    cache = {}
    stride = row_stride(w, bits)
    mask_stride = row_stride(w, 1)
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(h)):
        row = bytearray(stride)
        mrow = bytearray(mask_stride)
        for x in range(w):
            i = y * w + x
            transparent = canvas.alpha[i] < 0.5
            colour = (0.0, 0.0, 0.0) if transparent else canvas.rgb[i]
            if transparent:
                mrow[x // 8] |= 0x80 >> (x % 8)
            if bits == 24:
                row[x * 3:x * 3 + 3] = bytes((byte(colour[2]), byte(colour[1]), byte(colour[0])))
            else:
                index = nearest(pal, colour, cache)
                if bits == 8:
                    row[x] = index
                else:
                    row[x // 2] |= index << (4 if x % 2 == 0 else 0)
        xor += row
        mask += mrow
    header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, bits, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    palette = b"".join(bytes((byte(b), byte(g), byte(r), 0)) for r, g, b in pal)
    return header + palette + bytes(xor) + bytes(mask)


def write_ico(path):
    images = []
    for size in (48, 32, 16):
        for bits in (4, 8, 24):
            canvas = draw_icon(size, bits)
            images.append((size, bits, icon_image(canvas, bits)))
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, bits, data in images:
        out += struct.pack("<BBBBHHII", size, size, 16 if bits == 4 else 0, 0, 1, bits, len(data), offset)
        offset += len(data)
    for _, _, data in images:
        out += data
    write(path, out)


def write_bmp(path):
    canvas = draw_product()
    w, h = canvas.w, canvas.h
    stride = row_stride(w, 24)
    pixels = bytearray()
    for y in reversed(range(h)):
        row = bytearray(stride)
        for x in range(w):
            r, g, b = canvas.rgb[y * w + x]
            row[x * 3:x * 3 + 3] = bytes((byte(b), byte(g), byte(r)))
        pixels += row
    ppm = 3936
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), ppm, ppm, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    write(path, head + info + pixels)


def write(path, data):
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_pictures.py <output folder>")
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write_ico(os.path.join(out, "ORV_update.ico"))
    write_bmp(os.path.join(out, "product.bmp"))


if __name__ == "__main__":
    main()
