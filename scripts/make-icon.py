#!/usr/bin/env python3
"""Draws the launcher's icon: one 32x32 image, 32 bits per pixel, in an .ico.

Run it to regenerate launcher/OrvelLauncher.ico; the result is committed so
that building needs no Python.
"""
import math
import struct
import sys

SIZE = 32


def pixel(x, y):
    """RGBA of the pixel whose centre is at (x + 0.5, y + 0.5)."""
    cx, cy = x + 0.5 - SIZE / 2, y + 0.5 - SIZE / 2
    r = math.hypot(cx, cy)
    # A rounded dark tile ...
    edge = max(abs(cx), abs(cy))
    if edge > 15.5 or (abs(cx) > 11.5 and abs(cy) > 11.5 and math.hypot(abs(cx) - 11.5, abs(cy) - 11.5) > 4):
        return (0, 0, 0, 0)
    colour = (24, 28, 38, 255)
    # ... an amber ring, lighter towards the top ...
    if 8.5 <= r <= 12.0:
        t = (cy + 12) / 24
        colour = (int(255 - 40 * t), int(190 - 90 * t), int(40 + 10 * t), 255)
    # ... and a slash through it, the switch between two choices.
    if abs(cx + cy) < 1.6 and r < 8.5:
        colour = (235, 240, 250, 255)
    return colour


def ico_bytes():
    rows = []
    for y in reversed(range(SIZE)):  # bottom-up, as the bitmap header says
        for x in range(SIZE):
            r, g, b, a = pixel(x, y)
            rows.append(struct.pack("<BBBB", b, g, r, a))
    xor = b"".join(rows)
    mask = bytes(SIZE * SIZE // 8)  # all opaque; alpha does the masking
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "launcher/OrvelLauncher.ico"
    with open(out, "wb") as f:
        f.write(ico_bytes())
