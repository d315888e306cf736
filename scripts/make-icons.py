#!/usr/bin/env python3
"""Draws the tool-bar pictures and the application icon of Reelwright as PNG files.

Each picture is a list of filled shapes painted in order, sampled 4 x 4 times per pixel for
smooth edges. Run it again after changing a drawing:  scripts/make-icons.py src/gui/icons
The application icon is drawn in every size the desktop's icon theme installs.
"""
import math
import struct
import sys
import zlib

SS = 4  # samples per pixel along each axis


def polygon(points):
    def inside(x, y):
        result = False
        n = len(points)
        for i in range(n):
            x1, y1 = points[i]
            x2, y2 = points[(i + 1) % n]
            if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
                result = not result
        return result
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r_out, r_in):
    return lambda x, y: r_in * r_in < (x - cx) ** 2 + (y - cy) ** 2 <= r_out * r_out


def rect(x0, y0, x1, y1, radius=0.0):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        if radius <= 0:
            return True
        cx = min(max(x, x0 + radius), x1 - radius)
        cy = min(max(y, y0 + radius), y1 - radius)
        return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius
    return inside


def line(xa, ya, xb, yb, width):
    half = width / 2.0
    dx, dy = xb - xa, yb - ya
    length2 = dx * dx + dy * dy

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - xa) * dx + (y - ya) * dy) / length2))
        px, py = xa + t * dx, ya + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= half * half
    return inside


def difference(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def render(size, layers, scale=1.0):
    pixels = [[(0.0, 0.0, 0.0, 0.0)] * size for _ in range(size)]
    for shape, colour in layers:
        r, g, b, a = colour
        for py in range(size):
            for px in range(size):
                hits = 0
                for sy in range(SS):
                    for sx in range(SS):
                        x = (px + (sx + 0.5) / SS) / scale
                        y = (py + (sy + 0.5) / SS) / scale
                        if shape(x, y):
                            hits += 1
                if not hits:
                    continue
                cover = a * hits / (SS * SS)
                dr, dg, db, da = pixels[py][px]
                out_a = cover + da * (1 - cover)
                if out_a <= 0:
                    continue
                mix = lambda s, d: (s * cover + d * da * (1 - cover)) / out_a
                pixels[py][px] = (mix(r, dr), mix(g, dg), mix(b, db), out_a)
    return pixels


def write_png(path, pixels):
    size = len(pixels)
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for r, g, b, a in row:
            raw += bytes((round(r), round(g), round(b), round(a * 255)))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


OUTLINE = (60, 60, 70, 1.0)
PAPER = (250, 250, 250, 1.0)
GREEN = (40, 150, 60, 1.0)
BLUE = (40, 100, 200, 1.0)
RED = (200, 50, 50, 1.0)
FILM = (55, 55, 65, 1.0)
HOLE = (235, 235, 235, 1.0)
AMBER = (235, 150, 30, 1.0)


def sheet():
    outer = polygon([(4, 2), (15, 2), (20, 7), (20, 22), (4, 22)])
    inner = polygon([(5, 3), (14.5, 3), (19, 7.5), (19, 21), (5, 21)])
    fold = polygon([(14.5, 2.5), (14.5, 7.5), (19.5, 7.5)])
    return [(outer, OUTLINE), (inner, PAPER), (fold, OUTLINE)]


def film_strip(x0, y0, x1, y1):
    layers = [(rect(x0, y0, x1, y1, 1.0), FILM)]
    x = x0 + 1.5
    while x + 1.5 <= x1 - 0.5:
        layers.append((rect(x, y0 + 1, x + 1.5, y0 + 2.5), HOLE))
        layers.append((rect(x, y1 - 2.5, x + 1.5, y1 - 1), HOLE))
        x += 3
    layers.append((rect(x0 + 1, y0 + 3.5, x1 - 1, y1 - 3.5), (120, 170, 220, 1.0)))
    return layers


def add_files():
    plus = union(rect(15, 11, 18, 22), rect(11, 15, 22, 18))
    badge = circle(16.5, 16.5, 6.8)
    return sheet() + [(badge, PAPER), (plus, GREEN)]


def play():
    # A plain outlined triangle: it plays one file and should not look like the main command.
    outer = polygon([(6, 4), (20, 12), (6, 20)])
    inner = polygon([(7.6, 6.8), (16.8, 12), (7.6, 17.2)])
    return [(outer, OUTLINE), (inner, PAPER)]


def arrow(up):
    pts = [(12, 2), (21, 12), (15.5, 12), (15.5, 22), (8.5, 22), (8.5, 12), (3, 12)]
    if not up:
        pts = [(x, 24 - y) for x, y in pts]
    return [(polygon(pts), BLUE)]


def join_files():
    layers = film_strip(1, 2, 11, 11) + film_strip(13, 2, 23, 11) + film_strip(4, 14, 20, 23)
    layers.append((polygon([(7.5, 8.5), (16.5, 8.5), (12, 14.5)]), AMBER))
    return layers


def clear():
    cross = union(line(5, 5, 19, 19, 3.6), line(19, 5, 5, 19, 3.6))
    return [(cross, RED)]


def reel():
    body = difference(circle(12, 12, 11), union(
        circle(12, 5.5, 2.6), circle(12, 18.5, 2.6), circle(5.5, 12, 2.6),
        circle(18.5, 12, 2.6), circle(12, 12, 1.3)))
    return [(body, FILM), (ring(12, 12, 11, 10), OUTLINE)]


ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "."
    pictures = {
        "addfiles": add_files(), "play": play(), "moveup": arrow(True),
        "movedown": arrow(False), "joinfiles": join_files(), "clear": clear(),
    }
    for name, layers in pictures.items():
        write_png(f"{out}/{name}.png", render(24, layers))
    # The application icon in the sizes of the desktop's icon theme (hicolor); the window uses
    # 32 and 64 from the program's resources.
    for size in ICON_SIZES:
        write_png(f"{out}/reelwright-{size}.png", render(size, reel(), size / 24.0))


if __name__ == "__main__":
    main()
