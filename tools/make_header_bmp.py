#!/usr/bin/env python3
"""Draws the dashboard's header bitmap: an emblem and the name "Vandrel" on black.

Writes a 500 x 41 Windows bitmap, 8 bits per pixel, uncompressed, bottom-up, with a
full 256-entry colour table, so the pixel data starts at byte 1078 (the dashboard reads
it from there). Everything is drawn here from a small bitmap font; the output is the
same on every run.

Usage: tools/make_header_bmp.py [OUT.bmp]   (default: resources/header.bmp)
"""
import math
import struct
import sys
from pathlib import Path

WIDTH, HEIGHT = 500, 41

# 5 x 7 glyphs, '#' lit. Only the letters of the name are needed.
GLYPHS = {
    "V": ["#...#", "#...#", "#...#", "#...#", ".#.#.", ".#.#.", "..#.."],
    "a": [".....", ".....", ".###.", "....#", ".####", "#...#", ".####"],
    "n": [".....", ".....", "####.", "#...#", "#...#", "#...#", "#...#"],
    "d": ["....#", "....#", ".####", "#...#", "#...#", "#...#", ".####"],
    "r": [".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."],
    "e": [".....", ".....", ".###.", "#...#", "#####", "#....", ".####"],
    "l": [".##..", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
}

# Colour table layout: 0 black, 1-64 the lettering ramp (lavender to the frame's
# purple), 65-128 the emblem's cyan ramp, 129-255 a grey ramp nothing uses yet.
LETTER_BASE, LETTER_COUNT = 1, 64
CYAN_BASE, CYAN_COUNT = 65, 64


def lerp(a, b, t):
    return round(a + (b - a) * t)


def palette():
    table = [(0, 0, 0)]
    for i in range(LETTER_COUNT):
        t = i / (LETTER_COUNT - 1)
        table.append((lerp(225, 153, t), lerp(205, 102, t), 255))
    for i in range(CYAN_COUNT):
        t = i / (CYAN_COUNT - 1)
        table.append((lerp(20, 160, t), lerp(90, 255, t), lerp(110, 255, t)))
    while len(table) < 256:
        g = lerp(0, 255, (len(table) - 129) / 126)
        table.append((g, g, g))
    return table


def draw(pixels):
    def put(x, y, index):
        if 0 <= x < WIDTH and 0 <= y < HEIGHT:
            pixels[y][x] = index

    # Emblem: a ring with a received pulse running through it and a bright centre.
    cx, cy, radius = 21, 20, 17.5
    for y in range(HEIGHT):
        for x in range(42):
            d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
            if radius - 2.2 <= d <= radius:
                shade = int((y / (HEIGHT - 1)) * (LETTER_COUNT - 1))
                put(x, y, LETTER_BASE + shade)
    def wave(x):
        u = (x - cx) / (radius - 3)
        envelope = math.exp(-3.0 * u * u)
        return round(cy - 9.0 * envelope * math.sin(u * 3.2 * math.pi)), envelope

    # Each column joins its wave point to the next one's, so the trace has no gaps.
    for x in range(int(cx - radius + 3), int(cx + radius - 2)):
        y1, envelope = wave(x)
        y2, _ = wave(x + 1)
        brightness = CYAN_BASE + max(int(envelope * (CYAN_COUNT - 1)), 20)
        for y in range(min(y1, y2) - 1, max(y1, y2) + 1):
            put(x, y, brightness)
    for y in range(cy - 2, cy + 2):
        for x in range(cx - 2, cx + 2):
            if math.hypot(x + 0.5 - cx, y + 0.5 - cy) <= 2.0:
                put(x, y, CYAN_BASE + CYAN_COUNT - 1)

    # The name, each font pixel a 4 x 4 block, shaded from top to bottom.
    scale, left, top = 4, 52, 6
    x0 = left
    for ch in "Vandrel":
        glyph = GLYPHS[ch]
        for gy, row in enumerate(glyph):
            for gx, cell in enumerate(row):
                if cell != "#":
                    continue
                for dy in range(scale):
                    y = top + gy * scale + dy
                    shade = int((y - top) / (7 * scale - 1) * (LETTER_COUNT - 1))
                    for dx in range(scale):
                        put(x0 + gx * scale + dx, y, LETTER_BASE + shade)
        x0 += (5 + 1) * scale

    # A short spectrum under the name: the thing the saver is about.
    base_y, bars_left = 37, left
    for i in range(x0 - scale - bars_left):
        x = bars_left + i
        h = 1 + int(2.5 * (1 + math.sin(i * 0.37)) * (0.5 + 0.5 * math.sin(i * 0.051)))
        if 70 <= i <= 74:
            h = 4
        for y in range(base_y - h, base_y):
            put(x, y, CYAN_BASE + 24 + 8 * (base_y - y))


def encode(pixels, table):
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 0, WIDTH * HEIGHT, 2835, 2835, 256, 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in table)
    stride = (WIDTH + 3) // 4 * 4
    rows = b"".join(bytes(pixels[y]) + bytes(stride - WIDTH) for y in range(HEIGHT - 1, -1, -1))
    offset = 14 + len(info) + len(colours)
    assert offset == 1078
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    return header + info + colours + rows


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "resources" / "header.bmp"
    pixels = [[0] * WIDTH for _ in range(HEIGHT)]
    draw(pixels)
    out.write_bytes(encode(pixels, palette()))


if __name__ == "__main__":
    main()
