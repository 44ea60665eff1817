#!/usr/bin/env python3
"""xwd2png.py <in.xwd> <out.png>: converts a TrueColor X window dump (as xwd writes it) to a
PNG, with the Python standard library only."""
import struct
import sys
import zlib


def shift_of(mask):
    shift = 0
    while mask and not mask & 1:
        mask >>= 1
        shift += 1
    return shift, mask


def read_xwd(data):
    fields = struct.unpack(">25I", data[:100])
    header_size, _version, _format, _depth, width, height = fields[:6]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    masks = fields[14:17]
    ncolors = fields[19]
    start = header_size + ncolors * 12
    if bits_per_pixel not in (24, 32):
        raise SystemExit("xwd2png: only 24- and 32-bit dumps are read")
    step = bits_per_pixel // 8
    order = "<" if byte_order == 0 else ">"
    shifts = [shift_of(m) for m in masks]
    rows = []
    for y in range(height):
        line = data[start + y * bytes_per_line: start + y * bytes_per_line + width * step]
        out = bytearray(width * 3)
        for x in range(width):
            raw = line[x * step: x * step + step]
            value = struct.unpack(order + "I", raw if step == 4 else (raw + b"\0" if order == "<" else b"\0" + raw))[0]
            for c, (shift, mask) in enumerate(shifts):
                out[x * 3 + c] = ((value >> shift) & mask) * 255 // (mask or 1)
        rows.append(bytes(out))
    return width, height, rows


def write_png(path, width, height, rows):
    def chunk(tag, body):
        return struct.pack(">I", len(body)) + tag + body + struct.pack(">I", zlib.crc32(tag + body) & 0xFFFFFFFF)
    raw = b"".join(b"\0" + row for row in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        raise SystemExit("usage: xwd2png.py <in.xwd> <out.png>")
    with open(sys.argv[1], "rb") as f:
        w, h, rows = read_xwd(f.read())
    write_png(sys.argv[2], w, h, rows)
