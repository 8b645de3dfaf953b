#!/usr/bin/env python3
"""Draws the window's background: a blue sky with white clouds, as an 8-bit
BMP or PNG with a 65-colour palette (13 shades of sky, each mixed with white in 5
steps), ordered-dithered so that the few colours read as smooth gradients.

Usage: make_sky.py OUT.bmp|OUT.png [SCALE [WIDTH HEIGHT]]
SCALE 2 draws the same sky at twice the size, for screens of twice the density.
WIDTH HEIGHT keep only that top-left corner (in pixels at SCALE 1), all that a
window of that size shows: the browser's page carries no more than that.
"""
import math
import struct
import sys
import zlib

WIDTH, HEIGHT = 640, 480
SKY_LEVELS, CLOUD_STEPS = 13, 5
TOP, HORIZON = (74, 136, 214), (176, 214, 246)
CLOUD_LIGHT, CLOUD_SHADE = (255, 255, 255), (214, 222, 236)
BAYER = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]


def lattice(ix, iy, octave):
    # A fixed hash: the same sky on every run and every machine.
    h = (ix * 374761393 + iy * 668265263 + octave * 2147483647) & 0xFFFFFFFF
    h = ((h ^ (h >> 13)) * 1274126177) & 0xFFFFFFFF
    return ((h ^ (h >> 16)) & 0xFFFF) / 65535.0


def smooth(t):
    return t * t * (3 - 2 * t)


def noise(x, y, octave):
    ix, iy = math.floor(x), math.floor(y)
    fx, fy = smooth(x - ix), smooth(y - iy)
    a, b = lattice(ix, iy, octave), lattice(ix + 1, iy, octave)
    c, d = lattice(ix, iy + 1, octave), lattice(ix + 1, iy + 1, octave)
    return (a + (b - a) * fx) * (1 - fy) + (c + (d - c) * fx) * fy


def cloudiness(x, y):
    # x, y in picture pixels at scale 1; clouds are wider than tall.
    total, amplitude, frequency = 0.0, 0.5, 1 / 90.0
    for octave in range(5):
        total += amplitude * noise(x * frequency, y * frequency * 1.8, octave)
        amplitude *= 0.5
        frequency *= 2.0
    return total


def mix(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def palette():
    colours = []
    for level in range(SKY_LEVELS):
        sky = mix(TOP, HORIZON, level / (SKY_LEVELS - 1))
        for step in range(CLOUD_STEPS):
            cloud = mix(CLOUD_SHADE, CLOUD_LIGHT, 0.5 + step / (2 * (CLOUD_STEPS - 1)))
            colours.append(mix(sky, cloud, step / (CLOUD_STEPS - 1)))
    return colours


def draw(scale):
    width, height = WIDTH * scale, HEIGHT * scale
    rows = []
    for py in range(height):
        row = bytearray(width)
        y = (py + 0.5) / scale
        for px in range(width):
            x = (px + 0.5) / scale
            threshold = (BAYER[py % 4][px % 4] + 0.5) / 16
            sky = (y / HEIGHT) ** 0.8 * (SKY_LEVELS - 1)
            level = min(SKY_LEVELS - 1, int(sky + threshold))
            density = (cloudiness(x, y) - 0.47) * 4.0
            density = max(0.0, min(1.0, density))
            step = min(CLOUD_STEPS - 1, int(density * (CLOUD_STEPS - 1) + threshold))
            row[px] = level * CLOUD_STEPS + step
        rows.append(bytes(row))
    return width, height, rows


def rle8(row):
    """A row as BMP's 8-bit run-length code: runs of three or more as a count
    and a colour, what lies between them as it is (to a 16-bit boundary)."""
    out, x, width = bytearray(), 0, len(row)

    def run_at(at):
        n = 1
        while at + n < width and row[at + n] == row[at] and n < 255:
            n += 1
        return n

    while x < width:
        start = x
        while x < width and run_at(x) < 3 and x - start < 255:
            x += 1
        literal = row[start:x]
        if len(literal) >= 3:
            out += bytes([0, len(literal)]) + literal + b"\0" * (len(literal) & 1)
        else:
            for value in literal:
                out += bytes([1, value])
        if x < width and x - start < 255:
            n = run_at(x)
            out += bytes([n, row[x]])
            x += n
    return bytes(out + b"\0\0")


def write_bmp(path, width, height, rows, colours):
    # Run-length coded, as BMP allows: the window's program carries it, and
    # it is the largest part of that program.
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in colours)
    offset = 14 + 40 + len(table)
    pixels = b"".join(rle8(row) for row in reversed(rows))[:-2] + b"\0\1"
    size = offset + len(pixels)
    with open(path, "wb") as out:
        out.write(struct.pack("<2sIHHI", b"BM", size, 0, 0, offset))
        out.write(struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 1, len(pixels),
                              3780, 3780, len(colours), len(colours)))
        out.write(table)
        out.write(pixels)


def write_png(path, width, height, rows, colours):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", width, height, 8, 3, 0, 0, 0)
    table = b"".join(bytes(c) for c in colours)
    pixels = zlib.compress(b"".join(b"\0" + row for row in rows), 9)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"PLTE", table)
                  + chunk(b"IDAT", pixels) + chunk(b"IEND", b""))


if __name__ == "__main__":
    scale = int(sys.argv[2]) if len(sys.argv) > 2 else 1
    width, height, rows = draw(scale)
    if len(sys.argv) > 4:
        width, height = int(sys.argv[3]) * scale, int(sys.argv[4]) * scale
        rows = [row[:width] for row in rows[:height]]
    write = write_png if sys.argv[1].endswith(".png") else write_bmp
    write(sys.argv[1], width, height, rows, palette())
