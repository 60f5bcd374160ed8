#!/usr/bin/env python3
"""Draws launcher/OrvelLauncher.ico, which is committed so that building needs no Python: one 32x32 image of
32 bits per pixel, a rounded dark tile, an amber ring lighter towards the top, and a slash through it, the
switch between two choices. Usage: scripts/make-icon.py [OUTPUT]
"""
import math, struct, sys

SIZE = 32


def pixel(x, y):
    """(B, G, R, A) of the pixel whose centre is at (x + 0.5, y + 0.5)."""
    cx, cy = x + 0.5 - SIZE / 2, y + 0.5 - SIZE / 2
    r, t = math.hypot(cx, cy), (cy + 12) / 24
    ax, ay = abs(cx), abs(cy)
    if max(ax, ay) > 15.5 or (min(ax, ay) > 11.5 and math.hypot(ax - 11.5, ay - 11.5) > 4):
        return 0, 0, 0, 0
    if abs(cx + cy) < 1.6 and r < 8.5:
        return 250, 240, 235, 255
    return (int(40 + 10 * t), int(190 - 90 * t), int(255 - 40 * t), 255) if 8.5 <= r <= 12.0 else (38, 28, 24, 255)


# Rows bottom-up, as the bitmap header says; the mask is all opaque, alpha does the masking.
image = b"".join(struct.pack("<BBBB", *pixel(x, y)) for y in reversed(range(SIZE)) for x in range(SIZE))
image = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(image) + SIZE * SIZE // 8, 0, 0, 0, 0) + \
    image + bytes(SIZE * SIZE // 8)
with open(sys.argv[1] if len(sys.argv) > 1 else "launcher/OrvelLauncher.ico", "wb") as icon:
    icon.write(struct.pack("<HHHBBBBHHII", 0, 1, 1, SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16) + image)
