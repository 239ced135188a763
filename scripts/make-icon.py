#!/usr/bin/env python3
"""Draws the program icon (16 colours, 32x32 and 16x16) into src/res/vardix.ico.

The picture: a dark blue card with three white bars, the pieces of a code, and
a yellow caret, on a transparent background.
"""
import struct
import sys
from pathlib import Path

# The standard 16-colour VGA palette, as BGRX.
PALETTE = [
    (0, 0, 0),
    (128, 0, 0),
    (0, 128, 0),
    (128, 128, 0),
    (0, 0, 128),
    (128, 0, 128),
    (0, 128, 128),
    (192, 192, 192),
    (128, 128, 128),
    (255, 0, 0),
    (0, 255, 0),
    (255, 255, 0),
    (0, 0, 255),
    (255, 0, 255),
    (0, 255, 255),
    (255, 255, 255),
]
BLUE, WHITE, YELLOW, GREY, CLEAR = 4, 15, 11, 8, None


def draw(size):
    px = [[CLEAR] * size for _ in range(size)]
    s = size / 32.0

    def box(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                px[y][x] = colour

    box(1, 6, 31, 27, GREY)  # shadow edge
    box(0, 5, 30, 26, BLUE)  # card
    for x0 in (3, 12, 21):  # three pieces of the code
        box(x0, 13, x0 + 7, 18, WHITE)
    box(25, 9, 27, 22, YELLOW)  # caret
    return px


def image(size):
    px = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    xor_rows, and_rows = [], []
    for row in reversed(px):  # bitmaps are stored bottom-up
        nibbles = [0 if c is None else c for c in row]
        xor = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor_rows.append(xor + b"\0" * (-len(xor) % 4))
        bits = 0
        mask = bytearray()
        for i, c in enumerate(row):
            bits = (bits << 1) | (1 if c is None else 0)
            if i % 8 == 7:
                mask.append(bits)
                bits = 0
        and_rows.append(bytes(mask) + b"\0" * (-len(mask) % 4))
    return header + palette + b"".join(xor_rows) + b"".join(and_rows)


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent.parent / "src/res/vardix.ico")
    images = [(32, image(32)), (16, image(16))]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, blob in images:
        data += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    data += b"".join(blob for _, blob in images)
    out.write_bytes(data)


if __name__ == "__main__":
    main()
