#!/usr/bin/env python3
"""Draws the program's pictures (splash, tab icons, window icons, cursors) as PNG files in this folder.

Plain Python (zlib) so it runs anywhere; run it again after changing a drawing and commit the PNGs.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def png(path, w, h, pixels, alpha=False):
    rows = b""
    for y in range(h):
        rows += b"\x00"
        for x in range(w):
            p = pixels[y][x]
            rows += bytes(p if alpha else p[:3])
    def chunk(kind, data):
        c = struct.pack(">I", len(data)) + kind + data
        return c + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    head = struct.pack(">IIBBBBB", w, h, 8, 6 if alpha else 2, 0, 0, 0)
    with open(os.path.join(HERE, path), "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def canvas(w, h, colour):
    return [[list(colour) for _ in range(w)] for _ in range(h)]


def put(img, x, y, colour):
    if 0 <= y < len(img) and 0 <= x < len(img[0]):
        img[y][x] = list(colour)


def line(img, x0, y0, x1, y1, colour, width=1):
    steps = int(max(abs(x1 - x0), abs(y1 - y0)) * 2) + 1
    for i in range(steps + 1):
        t = i / steps
        x, y = x0 + (x1 - x0) * t, y0 + (y1 - y0) * t
        for dx in range(width):
            for dy in range(width):
                put(img, int(round(x)) + dx, int(round(y)) + dy, colour)


def rect(img, x0, y0, x1, y1, colour):
    for y in range(y0, y1):
        for x in range(x0, x1):
            put(img, x, y, colour)


def disc(img, cx, cy, r, colour):
    for y in range(int(cy - r - 1), int(cy + r + 2)):
        for x in range(int(cx - r - 1), int(cx + r + 2)):
            if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                put(img, x, y, colour)


def wave(img, x0, x1, cy, amp, periods, colour, width=1):
    prev = None
    for x in range(x0, x1 + 1):
        y = cy - amp * math.sin((x - x0) / (x1 - x0) * periods * 2 * math.pi)
        if prev:
            line(img, prev[0], prev[1], x, y, colour, width)
        prev = (x, y)


# A 5 x 7 pixel font for the few letters the tab icons use.
FONT = {
    "V": ["10001", "10001", "10001", "10001", "01010", "01010", "00100"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "?": ["01110", "10001", "00001", "00110", "00100", "00000", "00100"],
    "i": ["00100", "00000", "01100", "00100", "00100", "00100", "01110"],
}


def letter(img, ch, x0, y0, scale, colour):
    for row, bits in enumerate(FONT[ch]):
        for col, bit in enumerate(bits):
            if bit == "1":
                rect(img, x0 + col * scale, y0 + row * scale, x0 + (col + 1) * scale, y0 + (row + 1) * scale, colour)


MAGENTA = (255, 0, 255, 255)


def tab_icons(selected):
    img = canvas(240, 24, MAGENTA)
    face = (38, 11, 132, 255) if selected else (90, 90, 96, 255)
    ink = (255, 255, 255, 255) if selected else (235, 235, 235, 255)
    for i in range(10):
        x0 = i * 24
        disc(img, x0 + 12, 12, 11, face)
        if i == 0:
            wave(img, x0 + 4, x0 + 20, 12, 5, 1.5, ink, 2)
        elif i in (1, 2, 3, 4, 5, 7, 8):
            ch = {1: "V", 2: "A", 3: "R", 4: "M", 5: "S", 7: "?", 8: "i"}[i]
            letter(img, ch, x0 + 7, 5, 2, ink)
        elif i == 6:
            for k, hgt in enumerate((6, 10, 4, 12, 8)):
                rect(img, x0 + 5 + k * 3, 18 - hgt, x0 + 7 + k * 3, 18, ink)
        elif i == 9:
            for dx in (0, 7):
                for dy in (0, 7):
                    rect(img, x0 + 6 + dx, 6 + dy, x0 + 11 + dx, 11 + dy, ink)
    return img


def splash():
    w, h = 381, 270
    img = canvas(w, h, (0, 0, 0, 255))
    for y in range(h):
        shade = int(20 + 40 * y / h)
        for x in range(w):
            img[y][x] = [shade // 3, shade // 3, shade + 30, 255]
    grid = (50, 60, 110, 255)
    for x in range(20, 362, 34):
        line(img, x, 20, x, 172, grid)
    for y in range(20, 173, 19):
        line(img, 20, y, 361, y, grid)
    wave(img, 20, 361, 96, 50, 2.5, (255, 230, 60, 255), 2)
    wave(img, 20, 361, 96, 25, 5, (80, 220, 255, 255), 1)
    return img


def window_icon(size):
    img = canvas(size, size, (0, 0, 0, 0))
    r = size / 2 - 0.5
    disc(img, size / 2, size / 2, r, (38, 11, 132, 255))
    wave(img, size // 6, size - size // 6, size / 2, size / 4, 1.5, (255, 230, 60, 255), max(1, size // 12))
    return img


# ---- cursors: 32 x 32, a white shape with a black outline on transparent ----------------------

def inside_polygon(x, y, points):
    hit = False
    n = len(points)
    for i in range(n):
        (x0, y0), (x1, y1) = points[i], points[(i + 1) % n]
        if (y0 > y) != (y1 > y) and x < x0 + (y - y0) * (x1 - x0) / (y1 - y0):
            hit = not hit
    return hit


def cursor(shapes):
    """shapes: functions (x, y) -> bool; the union is white, its rim black, the rest clear."""
    size = 32
    mask = [[any(f(x + 0.5, y + 0.5) for f in shapes) for x in range(size)] for y in range(size)]
    img = canvas(size, size, (0, 0, 0, 0))
    for y in range(size):
        for x in range(size):
            if mask[y][x]:
                img[y][x] = [255, 255, 255, 255]
            elif any(0 <= y + dy < size and 0 <= x + dx < size and mask[y + dy][x + dx]
                     for dx in (-1, 0, 1) for dy in (-1, 0, 1)):
                img[y][x] = [0, 0, 0, 255]
    return img


def polygon(points):
    return lambda x, y: inside_polygon(x, y, points)


def box(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def round_dot(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


ARROW = [(1, 1), (1, 19), (5, 15), (8, 22), (11, 21), (8, 14), (14, 14)]
H_ARROWS = [(2, 16), (9, 9), (9, 14), (23, 14), (23, 9), (30, 16), (23, 23), (23, 18), (9, 18), (9, 23)]
V_ARROWS = [(y, x) for (x, y) in H_ARROWS]

CURSORS = {
    # the shared default of the toolkit windows: an arrow
    145: [polygon(ARROW)],
    # left-right thumb
    143: [polygon(H_ARROWS)],
    # up-down thumb
    144: [polygon(V_ARROWS)],
    # over a button: a pointing hand
    146: [box(12, 4, 17, 18), round_dot(14.5, 4, 2.5), box(17, 10, 21, 18), box(21, 12, 25, 18),
          box(8, 16, 25, 27), round_dot(16.5, 26, 8.5), box(5, 15, 9, 22)],
    # time line and check box: an arrow with a small box
    187: [polygon(ARROW), box(15, 19, 24, 28)],
    # time-line thumb: left-right arrows across a bar
    191: [polygon(H_ARROWS), box(14, 4, 18, 28)],
}


png("tabs_selected.png", 240, 24, tab_icons(True))
png("tabs_normal.png", 240, 24, tab_icons(False))
png("splash.png", 381, 270, splash())
png("icon16.png", 16, 16, window_icon(16), alpha=True)
png("icon32.png", 32, 32, window_icon(32), alpha=True)
for number, shapes in CURSORS.items():
    png("cursor%d.png" % number, 32, 32, cursor(shapes), alpha=True)
