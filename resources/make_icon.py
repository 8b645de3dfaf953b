#!/usr/bin/env python3
"""Draws the program's icon, a red desk telephone in the 16 standard colours,
at several sizes: PNG files for the desktop and a Windows .ico (16 and 32
pixels, 4 bits per pixel).

Usage: make_icon.py OUT_DIR
"""
import math
import os
import struct
import sys
import zlib

PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, SILVER, GREY, RED, WHITE = 0, 1, 7, 8, 9, 15
SAMPLES = 6


def rounded_box(x, y, left, top, right, bottom, radius):
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2 and left <= x <= right and top <= y <= bottom


def body(x, y):
    # A trapezoid, wider at the foot, with rounded top corners.
    if not 0.44 <= y <= 0.9:
        return False
    half = 0.27 + (y - 0.44) / 0.46 * 0.17
    return abs(x - 0.5) <= half and rounded_box(x, y, 0.06, 0.44, 0.94, 0.9, 0.07)


def handset(x, y):
    bar = rounded_box(x, y, 0.08, 0.12, 0.92, 0.27, 0.07)
    left_cup = rounded_box(x, y, 0.05, 0.16, 0.3, 0.4, 0.08)
    right_cup = rounded_box(x, y, 0.7, 0.16, 0.95, 0.4, 0.08)
    return bar or left_cup or right_cup


def cradle(x, y):
    return rounded_box(x, y, 0.36, 0.33, 0.64, 0.46, 0.03)


def colour_at(x, y):
    """The palette index of the drawing at (x, y) in the unit square, or None."""
    dx, dy = x - 0.5, y - 0.66
    r = math.hypot(dx, dy)
    if body(x, y) and r <= 0.05:
        return BLACK
    if body(x, y) and r <= 0.17:
        # Finger holes around the dial.
        angle = math.atan2(dy, dx)
        nearest = round(angle / (math.pi / 5)) * (math.pi / 5)
        hx, hy = 0.5 + 0.115 * math.cos(nearest), 0.66 + 0.115 * math.sin(nearest)
        if math.hypot(x - hx, y - hy) <= 0.032 and not -0.8 < angle < 0.5:
            return GREY
        return WHITE
    if handset(x, y) or body(x, y):
        return RED
    if cradle(x, y):
        return MAROON
    return None


def render(size):
    """Rows of palette indices, None where transparent."""
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            votes = {}
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at((px + (sx + 0.5) / SAMPLES) / size, (py + (sy + 0.5) / SAMPLES) / size)
                    votes[c] = votes.get(c, 0) + 1
            row.append(max(votes, key=votes.get))
        pixels.append(row)
    # A dark outline where red meets the transparent background gives the
    # shape an edge; at 16 pixels it would eat the handset, so only the foot
    # gets a shadow there.
    outlined = [row[:] for row in pixels]
    if size <= 16:
        for px in range(size):
            for py in range(size - 1, -1, -1):
                if pixels[py][px] == RED:
                    outlined[py][px] = MAROON
                    break
        return outlined
    for py in range(size):
        for px in range(size):
            if pixels[py][px] != RED:
                continue
            for nx, ny in ((px - 1, py), (px + 1, py), (px, py - 1), (px, py + 1)):
                if not (0 <= nx < size and 0 <= ny < size) or pixels[ny][nx] is None:
                    outlined[py][px] = MAROON
    return outlined


def png(pixels):
    size = len(pixels)
    raw = b"".join(
        b"\0" + b"".join(bytes(PALETTE[c]) + b"\xff" if c is not None else b"\0\0\0\0" for c in row)
        for row in pixels)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def ico_image(pixels):
    size = len(pixels)
    colour_stride = ((size * 4 + 31) // 32) * 4
    mask_stride = ((size + 31) // 32) * 4
    colour_rows, mask_rows = [], []
    for row in reversed(pixels):
        packed = bytearray(colour_stride)
        mask = bytearray(mask_stride)
        for px, c in enumerate(row):
            index = 0 if c is None else c
            packed[px // 2] |= index << (4 if px % 2 == 0 else 0)
            if c is None:
                mask[px // 8] |= 0x80 >> (px % 8)
        colour_rows.append(bytes(packed))
        mask_rows.append(bytes(mask))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         (colour_stride + mask_stride) * size, 0, 0, 16, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return header + table + b"".join(colour_rows) + b"".join(mask_rows)


def ico(images):
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, data = b"", b""
    for size, blob in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 16, 0, 1, 4, len(blob), offset + len(data))
        data += blob
    return directory + entries + data


if __name__ == "__main__":
    out = sys.argv[1]
    # 192 and 512: the sizes an installable web app names in its manifest.
    drawn = {size: render(size) for size in (16, 32, 48, 64, 192, 512)}
    for size, pixels in drawn.items():
        with open(os.path.join(out, f"convqvr-{size}.png"), "wb") as f:
            f.write(png(pixels))
    with open(os.path.join(out, "convqvr.ico"), "wb") as f:
        f.write(ico([(32, ico_image(drawn[32])), (16, ico_image(drawn[16]))]))
