#!/usr/bin/env python3
"""xwd2png.py <in.xwd> <out.png> [--text-lines N]: converts a TrueColor X window dump (as xwd
writes it) to a PNG, with the Python standard library only. With --text-lines it also counts the
lines of dark text in the picture (bands of rows with dark pixels, each as high as a line of
small text) and fails when there are fewer than N."""
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


def text_lines(width, rows):
    """Bands of consecutive rows that each hold a few dark pixels, 5 to 24 rows high."""
    bands, run = 0, 0
    for row in rows + [bytes(width * 3)]:
        dark = sum(1 for x in range(width) if max(row[x * 3: x * 3 + 3]) < 80)
        if 2 <= dark < width // 2:
            run += 1
            continue
        if 5 <= run <= 24:
            bands += 1
        run = 0
    return bands


if __name__ == "__main__":
    args = sys.argv[1:]
    wanted = None
    if len(args) == 4 and args[2] == "--text-lines":
        wanted = int(args[3])
        args = args[:2]
    if len(args) != 2:
        raise SystemExit("usage: xwd2png.py <in.xwd> <out.png> [--text-lines N]")
    with open(args[0], "rb") as f:
        w, h, rows = read_xwd(f.read())
    write_png(args[1], w, h, rows)
    if wanted is not None:
        found = text_lines(w, rows)
        print(f"{found} lines of text")
        if found < wanted:
            raise SystemExit(f"xwd2png: {found} lines of text, fewer than {wanted}")
