#!/usr/bin/env python3
"""Draws the program's bitmaps: the application icon with its nine images,
the logo and the half circle of the information window.

Run from the project root: python3 tools/make_images.py
The outputs are committed under resources/; this script documents how they
were made and makes them again after a change of design.
"""
import math
import struct
import zlib

# The icon: a picture frame with a blue crosshair over a yellow target.
def icon_pixel(x, y, n):
    """RGBA of pixel (x, y) of an n x n icon, sampled at the pixel centre."""
    u = (x + 0.5) / n
    v = (y + 0.5) / n
    frame = 0.06
    if u < frame or u > 1 - frame or v < frame or v > 1 - frame:
        return (40, 40, 40, 255) if (frame * 0.0 <= u <= 1 and 0 <= v <= 1) else (0, 0, 0, 0)
    cx, cy = 0.5, 0.5
    d = math.hypot(u - cx, v - cy)
    line = max(1.0 / n, 0.045)
    if abs(u - cx) < line / 2 or abs(v - cy) < line / 2:
        if d < 0.40:
            return (0, 0, 255, 255)
    if abs(d - 0.28) < line / 1.5:
        return (0, 0, 255, 255)
    if d < 0.14:
        return (255, 255, 0, 255)
    # sky over grass
    return (170, 210, 250, 255) if v < 0.62 else (60, 160, 60, 255)


VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
         (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
         (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def nearest(palette, rgb):
    return min(range(len(palette)), key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], rgb)))


def palette256():
    pal = list(VGA16)
    for r in range(6):
        for g in range(6):
            for b in range(6):
                pal.append((r * 51, g * 51, b * 51))
    while len(pal) < 256:
        k = (len(pal) - 232) * 10 + 8
        pal.append((k, k, k))
    return pal[:256]


def row_bytes(bits, width):
    return ((width * bits + 31) // 32) * 4


def dib_entry(n, bits):
    """An icon image as BITMAPINFOHEADER + palette + XOR bitmap + AND mask."""
    pixels = [[icon_pixel(x, y, n) for x in range(n)] for y in range(n)]
    palette = VGA16 if bits == 4 else palette256() if bits == 8 else []
    header = struct.pack('<IiiHHIIiiII', 40, n, n * 2, 1, bits, 0, 0, 0, 0, len(palette), 0)
    pal = b''.join(struct.pack('BBBB', b, g, r, 0) for (r, g, b) in palette)
    xor = b''
    for y in reversed(range(n)):
        row = bytearray()
        if bits == 32:
            for (r, g, b, a) in pixels[y]:
                row += bytes((b, g, r, a))
        elif bits == 8:
            for (r, g, b, a) in pixels[y]:
                row.append(nearest(palette, (r, g, b)) if a else 0)
        else:
            idx = [nearest(palette, (r, g, b)) if a else 0 for (r, g, b, a) in pixels[y]]
            for i in range(0, n, 2):
                row.append((idx[i] << 4) | (idx[i + 1] if i + 1 < n else 0))
        row += b'\0' * (row_bytes(bits, n) - len(row))
        xor += bytes(row)
    mask = b''
    for y in reversed(range(n)):
        row = bytearray(row_bytes(1, n))
        for x in range(n):
            if pixels[y][x][3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(row)
    return header + pal + xor + mask


def png(n):
    raw = b''
    for y in range(n):
        raw += b'\0' + b''.join(bytes(icon_pixel(x, y, n)) for x in range(n))

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', n, n, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def make_icon(path):
    entries = [(16, 4), (32, 4), (16, 8), (32, 8), (48, 8), (16, 32), (32, 32), (48, 32), (256, 32)]
    images = [(n, bits, png(n) if n == 256 else dib_entry(n, bits)) for n, bits in entries]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, bits, data in images:
        colours = 16 if bits == 4 else 0
        out += struct.pack('<BBBBHHII', n % 256, n % 256, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
    out += b''.join(data for _, _, data in images)
    open(path, 'wb').write(out)


def bmp24(path, w, h, pixel):
    stride = row_bytes(24, w)
    data = b''
    for y in reversed(range(h)):
        row = bytearray()
        for x in range(w):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b'\0' * (stride - len(row))
        data += bytes(row)
    header = struct.pack('<2sIHHI', b'BM', 54 + len(data), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(data), 3780, 3780, 0, 0)
    open(path, 'wb').write(header + info + data)


def logo_pixel(x, y):
    # A small crosshair badge followed by three bars of "code lines".
    cx, cy = 14, 15
    d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
    if abs(d - 10) < 1.2 or ((abs(x + 0.5 - cx) < 1 or abs(y + 0.5 - cy) < 1) and d < 13):
        return (0, 0, 189)
    if d < 4:
        return (255, 200, 0)
    for i, length in enumerate((70, 55, 63)):
        top = 6 + i * 8
        if 32 <= x < 32 + length and top <= y < top + 3:
            return (0, 0, 189) if i != 1 else (128, 128, 128)
    return (255, 255, 255)


def half_circle_pixel(x, y):
    # The left half of a disc whose centre lies on the right edge.
    d = math.hypot(x + 0.5 - 26, y + 0.5 - 27.5)
    if d < 24:
        return (0, 0, 189) if d > 20 else (220, 228, 245)
    return (255, 255, 255)


if __name__ == '__main__':
    make_icon('resources/icons/vantrix.ico')
    bmp24('resources/images/logo.bmp', 101, 30, logo_pixel)
    bmp24('resources/images/halfcircle.bmp', 26, 55, half_circle_pixel)
