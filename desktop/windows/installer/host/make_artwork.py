#!/usr/bin/env python3
"""Draws the installer window's pictures at build time.

    make_artwork.py OUTPUT_DIR

writes logo.png (the product mark the banner shows), error_badge.png (laid
over the mark's corner on the error page) and background.jpg (stretched
behind the pages). Only the standard library is used: shapes are rendered
with 4x4 supersampling, PNGs are written with zlib and the JPEG with a small
baseline encoder.
"""

import math
import os
import struct
import sys
import zlib

BRAND_BLUE = (31, 111, 235)
ERROR_RED = (217, 48, 37)
WHITE = (255, 255, 255)
SUPERSAMPLE = 4


# Shapes: each is a function (x, y) -> bool in image coordinates.
def rounded_rect(x0, y0, x1, y1, radius):
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        cx = min(max(x, x0 + radius), x1 - radius)
        cy = min(max(y, y0 + radius), y1 - radius)
        return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2
    return inside


def circle(cx, cy, radius):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def polygon(points):
    def inside(x, y):
        result = False
        j = len(points) - 1
        for i, (xi, yi) in enumerate(points):
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    return inside


def render(size, layers):
    """Straight-alpha RGBA rows; |layers| are (shape, colour), bottom first."""
    width, height = size
    rows = []
    step = 1.0 / SUPERSAMPLE
    offsets = [(i + 0.5) * step for i in range(SUPERSAMPLE)]
    for y in range(height):
        row = bytearray()
        for x in range(width):
            r = g = b = a = 0.0
            for sy in offsets:
                for sx in offsets:
                    colour = None
                    for shape, fill in layers:
                        if shape(x + sx, y + sy):
                            colour = fill
                    if colour:
                        r += colour[0]
                        g += colour[1]
                        b += colour[2]
                        a += 1
            samples = SUPERSAMPLE * SUPERSAMPLE
            if a:
                row += bytes((round(r / a), round(g / a), round(b / a),
                              round(255 * a / samples)))
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return rows


def write_png(path, size, rows):
    width, height = size

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    raw = b"".join(b"\0" + row for row in rows)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6,
                                             0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        out.write(chunk(b"IEND", b""))


def letter_k(x0, y0, size):
    """The mark's K, drawn from three strokes inside a |size| square."""
    s = size / 96.0

    def p(x, y):
        return (x0 + x * s, y0 + y * s)

    stem = polygon([p(28, 22), p(41, 22), p(41, 74), p(28, 74)])
    upper = polygon([p(38, 50), p(61, 22), p(77, 22), p(47, 56)])
    lower = polygon([p(45, 46), p(54, 40), p(78, 74), p(62, 74)])
    return lambda x, y: stem(x, y) or upper(x, y) or lower(x, y)


def draw_logo(path):
    size = 96
    layers = [
        (rounded_rect(2, 2, size - 2, size - 2, 20), BRAND_BLUE),
        (letter_k(0, 0, size), WHITE),
    ]
    write_png(path, (size, size), render((size, size), layers))


def draw_error_badge(path):
    size = 36
    c = size / 2.0
    layers = [
        (circle(c, c, c - 0.5), WHITE),
        (circle(c, c, c - 3), ERROR_RED),
        (rounded_rect(c - 2.5, 8, c + 2.5, 22, 2.5), WHITE),
        (circle(c, 27, 2.8), WHITE),
    ]
    write_png(path, (size, size), render((size, size), layers))


# Baseline JPEG, 4:4:4, the standard tables of the JPEG format's annex K.
LUMA_QUANT = [
    16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55,
    14, 13, 16, 24, 40, 57, 69, 56, 14, 17, 22, 29, 51, 87, 80, 62,
    18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55, 64, 81, 104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99]
CHROMA_QUANT = [
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
    24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99] + [99] * 32
ZIGZAG = [
    0, 1, 8, 16, 9, 2, 3, 10, 17, 24, 32, 25, 18, 11, 4, 5,
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6, 7, 14, 21, 28,
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63]
DC_LUMA_BITS = [0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0]
DC_LUMA_VALUES = list(range(12))
DC_CHROMA_BITS = [0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0]
DC_CHROMA_VALUES = list(range(12))
AC_LUMA_BITS = [0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7D]
AC_LUMA_VALUES = bytes.fromhex(
    "01020300041105122131410613516107227114328191a1082342b1c11552d1f0"
    "2433627282090a161718191a25262728292a3435363738393a434445464748494a"
    "535455565758595a636465666768696a737475767778797a838485868788898a92"
    "939495969798999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5c6c7c8"
    "c9cad2d3d4d5d6d7d8d9dae1e2e3e4e5e6e7e8e9eaf1f2f3f4f5f6f7f8f9fa")
AC_CHROMA_BITS = [0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77]
AC_CHROMA_VALUES = bytes.fromhex(
    "000102031104052131061241510761711322328108144291a1b1c109233352f0"
    "156272d10a162434e125f11718191a262728292a35363738393a434445464748"
    "494a535455565758595a636465666768696a737475767778797a82838485868788"
    "898a92939495969798999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5"
    "c6c7c8c9cad2d3d4d5d6d7d8d9dae2e3e4e5e6e7e8e9eaf2f3f4f5f6f7f8f9fa")


def huffman_codes(bits, values):
    codes = {}
    code = 0
    k = 0
    for length in range(1, 17):
        for _ in range(bits[length - 1]):
            codes[values[k]] = (code, length)
            code += 1
            k += 1
        code <<= 1
    return codes


class BitWriter:
    def __init__(self):
        self.data = bytearray()
        self.acc = 0
        self.count = 0

    def write(self, value, length):
        for i in range(length - 1, -1, -1):
            self.acc = (self.acc << 1) | ((value >> i) & 1)
            self.count += 1
            if self.count == 8:
                self.data.append(self.acc)
                if self.acc == 0xFF:
                    self.data.append(0)
                self.acc = 0
                self.count = 0

    def flush(self):
        if self.count:
            self.write((1 << (8 - self.count)) - 1, 8 - self.count)


COS = [[math.cos((2 * x + 1) * u * math.pi / 16) *
        (math.sqrt(0.5) if u == 0 else 1.0) / 2 for x in range(8)]
       for u in range(8)]


def forward_dct(block):
    rows = [[sum(COS[u][x] * block[y * 8 + x] for x in range(8))
             for u in range(8)] for y in range(8)]
    return [sum(COS[v][y] * rows[y][u] for y in range(8))
            for v in range(8) for u in range(8)]


def magnitude(value):
    length = abs(value).bit_length()
    bits = value if value >= 0 else value + (1 << length) - 1
    return length, bits


def encode_block(writer, block, quant, dc_codes, ac_codes, previous_dc):
    coefficients = forward_dct([v - 128 for v in block])
    q = [int(round(coefficients[ZIGZAG[i]] / quant[ZIGZAG[i]]))
         for i in range(64)]
    diff = q[0] - previous_dc
    length, bits = magnitude(diff)
    writer.write(*dc_codes[length])
    writer.write(bits, length)
    run = 0
    for value in q[1:]:
        if value == 0:
            run += 1
            continue
        while run > 15:
            writer.write(*ac_codes[0xF0])
            run -= 16
        length, bits = magnitude(value)
        writer.write(*ac_codes[(run << 4) | length])
        writer.write(bits, length)
        run = 0
    if run:
        writer.write(*ac_codes[0x00])
    return q[0]


def write_jpeg(path, size, pixel):
    width, height = size
    dc = [huffman_codes(DC_LUMA_BITS, DC_LUMA_VALUES),
          huffman_codes(DC_CHROMA_BITS, DC_CHROMA_VALUES)]
    ac = [huffman_codes(AC_LUMA_BITS, AC_LUMA_VALUES),
          huffman_codes(AC_CHROMA_BITS, AC_CHROMA_VALUES)]
    quant = [LUMA_QUANT, CHROMA_QUANT]
    writer = BitWriter()
    previous = [0, 0, 0]
    for by in range(0, height, 8):
        for bx in range(0, width, 8):
            planes = ([], [], [])
            for y in range(by, by + 8):
                for x in range(bx, bx + 8):
                    r, g, b = pixel(min(x, width - 1), min(y, height - 1))
                    planes[0].append(0.299 * r + 0.587 * g + 0.114 * b)
                    planes[1].append(128 - 0.168736 * r - 0.331264 * g + 0.5 * b)
                    planes[2].append(128 + 0.5 * r - 0.418688 * g - 0.081312 * b)
            for c in range(3):
                table = 0 if c == 0 else 1
                previous[c] = encode_block(writer, planes[c], quant[table],
                                           dc[table], ac[table], previous[c])
    writer.flush()

    def segment(marker, data):
        return struct.pack(">BBH", 0xFF, marker, len(data) + 2) + data

    out = bytearray(b"\xFF\xD8")
    out += segment(0xE0, b"JFIF\0\x01\x01\0\0\x01\0\x01\0\0")
    for table, values in enumerate(quant):
        out += segment(0xDB, bytes([table]) +
                       bytes(values[ZIGZAG[i]] for i in range(64)))
    out += segment(0xC0, struct.pack(">BHHB", 8, height, width, 3) +
                   bytes([1, 0x11, 0, 2, 0x11, 1, 3, 0x11, 1]))
    for klass, index, bits, values in (
            (0, 0, DC_LUMA_BITS, DC_LUMA_VALUES),
            (1, 0, AC_LUMA_BITS, AC_LUMA_VALUES),
            (0, 1, DC_CHROMA_BITS, DC_CHROMA_VALUES),
            (1, 1, AC_CHROMA_BITS, AC_CHROMA_VALUES)):
        out += segment(0xC4, bytes([(klass << 4) | index]) + bytes(bits) +
                       bytes(values))
    out += segment(0xDA, bytes([3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0]))
    out += writer.data
    out += b"\xFF\xD9"
    with open(path, "wb") as f:
        f.write(out)


def draw_background(path):
    """A soft blue wash at the top that fades to white where texts sit."""
    width, height = 360, 260
    top = (214, 230, 252)

    def pixel(x, y):
        t = min(1.0, y / (height * 0.42))
        t = t * t * (3 - 2 * t)
        # A faint diagonal light keeps the wash from looking flat.
        glow = 0.06 * math.exp(-((x - width * 0.8) ** 2 + y ** 2) /
                               (2 * (width * 0.35) ** 2))
        return tuple(min(255, round(c + (255 - c) * min(1.0, t + glow)))
                     for c in top)

    write_jpeg(path, (width, height), pixel)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_artwork.py OUTPUT_DIR")
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    draw_logo(os.path.join(out, "logo.png"))
    draw_error_badge(os.path.join(out, "error_badge.png"))
    draw_background(os.path.join(out, "background.jpg"))


if __name__ == "__main__":
    main()
