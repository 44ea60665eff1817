#!/usr/bin/env python3
"""make_icon.py <out.ico>: draws the updater's icon (a white Q with a downward arrow on a blue
tile with rounded corners) at 16, 32 and 48 pixels and writes it as a Windows icon file of
32-bit images with alpha, with the Python standard library only. Each pixel is the coverage of
4 by 4 samples, so the edges are smooth at every size."""
import struct
import sys

SIZES = (48, 32, 16)
SAMPLES = 4
TOP = (0x4A, 0x90, 0xE2)
BOTTOM = (0x1C, 0x4A, 0x9A)
WHITE = (0xFF, 0xFF, 0xFF)


def in_tile(x, y):
    """The tile: the unit square with corners rounded by a fifth of its side."""
    r = 0.2
    cx = min(max(x, r), 1 - r)
    cy = min(max(y, r), 1 - r)
    return 0 <= x <= 1 and 0 <= y <= 1 and (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_mark(x, y):
    """The Q's ring, its tail, and the arrow in its middle."""
    d2 = (x - 0.47) ** 2 + (y - 0.47) ** 2
    if 0.21 ** 2 <= d2 <= 0.32 ** 2:
        return True
    # The tail: a band along the diagonal out of the ring's lower right.
    u, v = x - 0.62, y - 0.62
    if 0 <= u + v <= 0.42 and abs(u - v) <= 0.085:
        return True
    # The arrow: a shaft and a head pointing down.
    if 0.43 <= x <= 0.51 and 0.32 <= y <= 0.50:
        return True
    return 0.48 <= y <= 0.62 and abs(x - 0.47) <= (0.62 - y) * 0.95


def draw(size):
    """Rows top first of (b, g, r, a)."""
    rows = []
    n = SAMPLES * SAMPLES
    for py in range(size):
        row = []
        for px in range(size):
            tile = mark = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / size
                    y = (py + (sy + 0.5) / SAMPLES) / size
                    if in_tile(x, y):
                        tile += 1
                        if in_mark(x, y):
                            mark += 1
            t = (py + 0.5) / size
            base = [TOP[i] + (BOTTOM[i] - TOP[i]) * t for i in range(3)]
            share = mark / tile if tile else 0.0
            r, g, b = (round(base[i] + (WHITE[i] - base[i]) * share) for i in range(3))
            row.append((b, g, r, round(255 * tile / n)))
        rows.append(row)
    return rows


def image_record(size):
    """One icon image: its header, the colour rows bottom first, then the AND mask."""
    rows = draw(size)
    mask_stride = ((size + 31) // 32) * 4
    colour = b"".join(bytes(c for pixel in row for c in pixel) for row in reversed(rows))
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, pixel in enumerate(row):
            if pixel[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return header + colour + bytes(mask)


def main():
    if len(sys.argv) != 2:
        raise SystemExit("usage: make_icon.py <out.ico>")
    images = [image_record(s) for s in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(sys.argv[1], "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main()
