#!/usr/bin/env python3
"""Builds res/Zelmar.ico (one 32x32, 16-colour image) from mainframe.txt.

The picture lives in a text file so that it can be reviewed and changed in a
diff; the generated .ico is committed and used by the build as it is.
Usage: make_ico.py [SOURCE.txt [OUTPUT.ico]]
"""
import os
import struct
import sys

SIZE = 32
# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00),
    (0x80, 0x80, 0x00), (0x00, 0x00, 0x80), (0x80, 0x00, 0x80),
    (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0), (0x80, 0x80, 0x80),
    (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF),
    (0xFF, 0xFF, 0xFF),
]
TRANSPARENT = "."


def read_pixels(path):
    """Returns SIZE rows of SIZE colour indices, None for transparent."""
    rows = []
    with open(path, encoding="ascii") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\r\n")
            if line.startswith("#"):
                continue
            if len(line) != SIZE:
                sys.exit(f"{path}:{number}: {len(line)} pixels, need {SIZE}")
            row = []
            for ch in line:
                if ch == TRANSPARENT:
                    row.append(None)
                elif ch in "0123456789ABCDEF":
                    row.append(int(ch, 16))
                else:
                    sys.exit(f"{path}:{number}: unknown pixel {ch!r}")
            rows.append(row)
    if len(rows) != SIZE:
        sys.exit(f"{path}: {len(rows)} rows, need {SIZE}")
    return rows


def image_bytes(rows):
    """The DIB of one icon image: header, palette, XOR bits, AND mask."""
    # Height is doubled: the XOR image and the AND mask are stacked.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0,
                         0, 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bottom-up, as every DIB
        for x in range(0, SIZE, 2):  # two pixels a byte, rows of 16 bytes
            hi = row[x] if row[x] is not None else 0
            lo = row[x + 1] if row[x + 1] is not None else 0
            xor.append(hi << 4 | lo)
        bits = 0
        for x in range(SIZE):  # one bit a pixel, 1 = transparent
            bits = bits << 1 | (row[x] is None)
        mask += bits.to_bytes(SIZE // 8, "big")
    return header + palette + bytes(xor) + bytes(mask)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    source = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        here, "mainframe.txt")
    output = sys.argv[2] if len(sys.argv) > 2 else os.path.join(
        here, "..", "Zelmar.ico")
    image = image_bytes(read_pixels(source))
    directory = struct.pack("<HHH", 0, 1, 1)
    # width, height, colours, reserved, planes, bits a pixel, size, offset
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image),
                        6 + 16)
    with open(output, "wb") as f:
        f.write(directory + entry + image)


if __name__ == "__main__":
    main()
