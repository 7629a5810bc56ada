#!/usr/bin/env python3
"""Draws the setup program's icon and writes it as a Windows .ico file.

The icon is a blue rounded square with a white dictation microphone. It is rendered in 48, 32
and 16 pixels, each as a 256-colour image (palette and 1-bit mask) and as a 32-bit image with an
alpha channel. Only the standard library is used, so anyone can regenerate the committed file:

    python3 setup/icon/make_icon.py setup/app/TovaroCitrixVCClientSetup.ico
"""
import struct
import sys

SIZES = (48, 32, 16)
SUPERSAMPLE = 4


def rounded_rect(x, y, x0, y0, x1, y1, r):
    """True when (x, y) lies inside the rectangle with rounded corners of radius r."""
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r and x0 <= x <= x1 and y0 <= y <= y1


def shape(u, v):
    """Colour (r, g, b, a) at the point (u, v) of the unit square, a in 0..1."""
    if not rounded_rect(u, v, 0.03, 0.03, 0.97, 0.97, 0.18):
        return (0, 0, 0, 0.0)
    # Background: blue, lighter at the top.
    top, bottom = (64, 140, 230), (16, 64, 160)
    bg = tuple(int(top[i] + (bottom[i] - top[i]) * v) for i in range(3))
    white = (255, 255, 255)
    # Microphone head: a capsule.
    if rounded_rect(u, v, 0.38, 0.14, 0.62, 0.58, 0.12):
        # Grille lines on the head, darker stripes.
        if 0.40 < u < 0.60 and 0.20 < v < 0.52 and int((v - 0.20) / 0.08) % 2 == 1:
            return (200, 215, 235, 1.0)
        return white + (1.0,)
    # Holder: a U around the lower half of the head.
    dx, dy = u - 0.5, v - 0.46
    dist = (dx * dx + dy * dy) ** 0.5
    if v > 0.46 and 0.20 <= dist <= 0.26:
        return white + (1.0,)
    # Stem and foot.
    if 0.47 <= u <= 0.53 and 0.70 <= v <= 0.82:
        return white + (1.0,)
    if rounded_rect(u, v, 0.32, 0.80, 0.68, 0.86, 0.03):
        return white + (1.0,)
    return bg + (1.0,)


def render(size):
    """Rows top to bottom of (r, g, b, a) with a in 0..255, antialiased by supersampling."""
    rows = []
    n = SUPERSAMPLE
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(n):
                for sx in range(n):
                    r, g, b, a = shape((x + (sx + 0.5) / n) / size, (y + (sy + 0.5) / n) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            alpha = acc[3] / (n * n)
            if acc[3] > 0:
                colour = [int(round(c / acc[3])) for c in acc[:3]]
            else:
                colour = [0, 0, 0]
            row.append((colour[0], colour[1], colour[2], int(round(alpha * 255))))
        rows.append(row)
    return rows


def palette():
    """A fixed 256-colour palette: the 6x6x6 colour cube and 40 greys."""
    colours = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    colours += [(int(i * 255 / 39),) * 3 for i in range(40)]
    return colours


def nearest(colours, rgb, cache):
    if rgb not in cache:
        cache[rgb] = min(range(len(colours)),
                         key=lambda i: sum((colours[i][k] - rgb[k]) ** 2 for k in range(3)))
    return cache[rgb]


def mask_rows(rows):
    """The 1-bit AND mask, bottom-up, rows padded to 4 bytes: 1 = transparent."""
    size = len(rows)
    stride = ((size + 31) // 32) * 4
    data = b""
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        data += bytes(bits)
    return data


def dib(rows, bits):
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0,
                         256 if bits == 8 else 0, 0)
    pixels = b""
    if bits == 32:
        for row in reversed(rows):
            for r, g, b, a in row:
                pixels += bytes((b, g, r, a))
        table = b""
    else:
        colours = palette()
        table = b"".join(bytes((b, g, r, 0)) for r, g, b in colours)
        cache = {}
        stride = (size + 3) // 4 * 4
        for row in reversed(rows):
            line = bytearray(stride)
            for x, (r, g, b, a) in enumerate(row):
                line[x] = nearest(colours, (r, g, b), cache) if a >= 128 else 0
            pixels += bytes(line)
    return header + table + pixels + mask_rows(rows)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py output.ico")
    images = []
    for size in SIZES:
        rows = render(size)
        for bits in (8, 32):
            images.append((size, bits, dib(rows, bits)))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, bits, data in images:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, bits, len(data), offset)
        offset += len(data)
    for _, _, data in images:
        out += data
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
