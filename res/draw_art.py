#!/usr/bin/env python3
"""Draws the shell's pictures: the watermark (bitmap 130, 418x60, 256
colours), the side picture (bitmap 135, 95x200, 16 colours) and the three
frames of the install page's animated icon (140-142, 32x32, 16 colours).
The bitmaps are written packed (see pack()), as the shell loads them.
Usage: draw_art.py OUTDIR"""
import math
import struct
import sys
import zlib


def bmp(width, height, bpp, palette, pixel):
    """A bottom-up palette BMP; pixel(x, y) gives the palette index."""
    row_bits = width * bpp
    stride = ((row_bits + 31) // 32) * 4
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray(stride)
        for x in range(width):
            i = pixel(x, y)
            if bpp == 8:
                row[x] = i
            else:
                shift = 4 if x % 2 == 0 else 0
                row[x // 2] |= (i & 15) << shift
        rows.append(bytes(row))
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    pal += b"\0" * (4 * (2 ** bpp) - len(pal))
    data = b"".join(rows)
    offset = 14 + 40 + len(pal)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bpp, 0, len(data), 2835, 2835,
                       2 ** bpp, 0)
    return header + info + pal + data


def watermark():
    # A blue band fading to white, with a row of lighter squares.
    palette = []
    for i in range(256):
        t = i / 255
        palette.append((int(20 + 235 * t), int(60 + 195 * t), int(140 + 115 * t)))

    def px(x, y):
        base = int(255 * x / 417)
        if 10 <= y < 50 and (x // 30) % 2 == 0 and x < 200:
            base = min(255, base + 60)
        return base

    return bmp(418, 60, 8, palette, px)


def side():
    palette = [(0, 0, 0), (0, 0, 128), (0, 64, 160), (16, 96, 192), (48, 128, 208),
               (96, 160, 224), (160, 200, 240), (255, 255, 255), (255, 204, 0), (192, 128, 0),
               (128, 128, 128), (192, 192, 192), (0, 128, 0), (0, 192, 64), (128, 0, 0),
               (224, 224, 224)]

    def px(x, y):
        band = 1 + min(5, y * 6 // 200)
        # a box (the product) and a disc (the installer) on the gradient
        if 20 <= x < 75 and 60 <= y < 110:
            if x in (20, 74) or y in (60, 109):
                return 9
            return 8
        if (x - 47) ** 2 + (y - 150) ** 2 < 22 ** 2:
            r2 = (x - 47) ** 2 + (y - 150) ** 2
            return 7 if r2 < 5 ** 2 else (11 if r2 < 18 ** 2 else 10)
        return band

    return bmp(95, 200, 4, palette, px)


def pack(data):
    """The shell's packed form of a file: its length (4 bytes, little-endian)
    and the file as one zlib stream."""
    return struct.pack("<I", len(data)) + zlib.compress(data, 9)


def icon(frame):
    # 32x32, 16 colours and a mask: a disc whose lit third turns by frame.
    # Every pixel is opaque or clear, so the mask draws it as alpha would.
    size = 32
    palette = [(0, 0, 0), (255, 255, 255), (255, 160, 0), (30, 100, 200)]
    xor = bytearray()
    mask = bytearray()
    for y in range(size - 1, -1, -1):
        row = bytearray(size // 2)
        bits = 0
        for x in range(size):
            dx, dy = x - 15.5, y - 15.5
            r = math.hypot(dx, dy)
            if r > 14.5:
                i = 0
                bits |= 1 << (31 - x)
            elif r < 4:
                i = 1
            else:
                angle = (math.degrees(math.atan2(dy, dx)) + 360) % 360
                i = 2 if int(angle // 120) == frame else 3
            row[x // 2] |= i << (4 if x % 2 == 0 else 0)
        xor += row
        mask += struct.pack(">I", bits)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    pal += b"\0" * (4 * 16 - len(pal))
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(mask), 0, 0,
                       16, 0)
    image = info + pal + bytes(xor) + bytes(mask)
    head = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 6 + 16)
    return head + entry + image


def main():
    out = sys.argv[1]
    files = {"watermark130.bin": pack(watermark()), "side135.bin": pack(side())}
    for n in range(3):
        files["anim14%d.ico" % n] = icon(n)
    for name, data in files.items():
        with open("%s/%s" % (out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
