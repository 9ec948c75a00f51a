#!/usr/bin/env python3
"""Draws Quorvex's pictures and writes them as PNG files beside this script.

    quorvex-32.png        the window and application icon: a yellow key lying
                          across a document page, in the 16 colours of the
                          classic VGA palette
    quorvex-<N>.png       the same picture for the icon theme (48 to 256),
                          smooth edges, same colours
    encrypt.png           16 x 16 button glyph: a closed padlock
    decrypt.png           16 x 16 button glyph: an open padlock
    browse.png            16 x 16 button glyph: an open folder

Every picture is a list of shapes in a square of `units` units, painted in
order (a later shape covers an earlier one) and sampled several times per
pixel. The small pictures are then snapped to the 16-colour palette, so they
stay crisp on a button; the background is transparent.

Needs nothing beyond Python 3. Run it again after changing a shape:
    python3 share/icons/draw-icons.py
"""

import math
import os
import struct
import zlib

# The 16 colours of the classic VGA palette.
BLACK, MAROON, GREEN, OLIVE = (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0)
NAVY, PURPLE, TEAL, SILVER = (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192)
GRAY, RED, LIME, YELLOW = (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0)
BLUE, FUCHSIA, AQUA, WHITE = (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)
PALETTE = [BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER,
           GRAY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE]


# --- shapes: each answers whether a point (in units) lies inside it --------

def polygon(points, colour):
    def inside(x, y):
        crossings = False
        for (x1, y1), (x2, y2) in zip(points, points[1:] + points[:1]):
            if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
                crossings = not crossings
        return crossings
    return inside, colour


def rectangle(left, top, right, bottom, colour):
    return polygon([(left, top), (right, top), (right, bottom), (left, bottom)], colour)


def ring(cx, cy, inner, outer, colour, keep=lambda x, y: True):
    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        return inner <= d <= outer and keep(x, y)
    return inside, colour


def stroke(x1, y1, x2, y2, width, colour):
    """A line with round ends."""
    def inside(x, y):
        dx, dy = x2 - x1, y2 - y1
        t = max(0.0, min(1.0, ((x - x1) * dx + (y - y1) * dy) / (dx * dx + dy * dy)))
        return math.hypot(x - x1 - t * dx, y - y1 - t * dy) <= width / 2
    return inside, colour


def outline(points, width, colour, closed=True):
    edges = zip(points, points[1:] + points[:1] if closed else points[1:])
    return [stroke(a[0], a[1], b[0], b[1], width, colour) for a, b in edges]


# --- the pictures ----------------------------------------------------------

def document_with_key():
    """32 units: a dog-eared page and a yellow key lying across it."""
    page = [(5, 2), (18, 2), (24, 8), (24, 29.5), (5, 29.5)]
    fold = [(18, 2), (18, 8), (24, 8)]
    shapes = [polygon(page, WHITE), polygon(fold, SILVER)]
    for y in (11, 14, 17):
        shapes.append(rectangle(8, y, 21, y + 1, GRAY))
    shapes.append(rectangle(8, 5, 15, 6, GRAY))
    shapes += outline(page, 1.2, BLACK) + outline(fold, 1.0, BLACK, closed=False)

    # The key: a round bow low on the left, the shank rising to the right,
    # two bits hanging below its tip.
    bow_x, bow_y, tip_x, tip_y = 9.5, 22.5, 29, 11.5
    length = math.hypot(tip_x - bow_x, tip_y - bow_y)
    ux, uy = (tip_x - bow_x) / length, (tip_y - bow_y) / length   # along the shank
    nx, ny = uy, -ux                                               # across, downwards

    def along(t, s):
        return (bow_x + ux * t - nx * s, bow_y + uy * t - ny * s)

    # Each bit: where it starts and ends along the shank, and how far it
    # reaches below the shank's middle line.
    bits = ((length - 6.6, length - 4.2, 4.6), (length - 3.2, length - 0.6, 3.6))

    def bit_shape(start, end, depth, margin, colour):
        return polygon([along(start - margin, 0), along(end + margin, 0),
                        along(end + margin, -depth - margin), along(start - margin, -depth - margin)], colour)

    shank_start = along(4.5, 0)
    shapes.append(stroke(shank_start[0], shank_start[1], tip_x, tip_y, 4.4, BLACK))
    shapes += [bit_shape(start, end, depth, 0.9, BLACK) for start, end, depth in bits]
    shapes.append(ring(bow_x, bow_y, 1.6, 6.1, BLACK))
    shapes.append(stroke(shank_start[0], shank_start[1], tip_x - ux * 0.6, tip_y - uy * 0.6, 2.4, YELLOW))
    shapes += [bit_shape(start, end, depth, -0.3, YELLOW) for start, end, depth in bits]
    shapes.append(ring(bow_x, bow_y, 2.6, 5.1, YELLOW))
    # A touch of shade on the lower half of the bow gives it some body.
    shapes.append(ring(bow_x, bow_y, 2.6, 5.1, OLIVE, keep=lambda x, y: y - bow_y > 2.2 - (x - bow_x) * 0.3))
    return 32, shapes


def padlock(open_shackle):
    """16 units: a padlock, its shackle closed or lifted out of the body."""
    if open_shackle:
        body_left, arch_x, arch_y = 1.5, 11.0, 4.6
    else:
        body_left, arch_x, arch_y = 3.0, 8.0, 5.6
    body = (body_left, 7.5, body_left + 10.5, 15.0)
    above_centre = (lambda x, y: y <= arch_y)
    shapes = [
        ring(arch_x, arch_y, 1.6, 4.4, BLACK, keep=above_centre),
        rectangle(arch_x - 4.4, arch_y, arch_x - 1.6, 8.0, BLACK),
    ]
    if open_shackle:
        shapes.append(rectangle(arch_x + 1.6, arch_y, arch_x + 4.4, arch_y + 2.2, BLACK))
    else:
        shapes.append(rectangle(arch_x + 1.6, arch_y, arch_x + 4.4, 8.0, BLACK))
    shapes += [
        ring(arch_x, arch_y, 2.4, 3.6, GRAY, keep=above_centre),
        rectangle(arch_x - 3.6, arch_y - 0.1, arch_x - 2.4, 8.0, GRAY),
        rectangle(arch_x + 2.4, arch_y - 0.1, arch_x + 3.6,
                  arch_y + 1.4 if open_shackle else 8.0, GRAY),
        rectangle(*body, BLACK),
        rectangle(body[0] + 1, body[1] + 1, body[2] - 1, body[3] - 1, YELLOW),
        rectangle(body[0] + 1, body[3] - 2.5, body[2] - 1, body[3] - 1, OLIVE),
        ring(body_left + 5.25, 10.3, 0, 1.3, BLACK),
        rectangle(body_left + 4.75, 10.3, body_left + 5.75, 13.0, BLACK),
    ]
    return 16, shapes


def open_folder():
    """16 units: an open folder, its front flap tilted towards the viewer."""
    back = [(0.8, 3.0), (5.5, 3.0), (6.8, 4.5), (13.2, 4.5), (13.2, 14.2), (0.8, 14.2)]
    front = [(3.6, 7.4), (15.4, 7.4), (12.8, 14.2), (0.8, 14.2)]
    shapes = [polygon(back, OLIVE)] + outline(back, 1.0, BLACK)
    shapes.append(rectangle(1.8, 5.4, 12.2, 7.0, WHITE))
    shapes += [polygon(front, YELLOW)] + outline(front, 1.0, BLACK)
    return 16, shapes


# --- rendering and PNG output ----------------------------------------------

def render(picture, size, samples, snap_to_palette):
    units, shapes = picture
    scale = units / size
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            red = green = blue = covered = 0
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) * scale
                    y = (py + (sy + 0.5) / samples) * scale
                    colour = None
                    for inside, shape_colour in shapes:
                        if inside(x, y):
                            colour = shape_colour
                    if colour is not None:
                        red, green, blue, covered = red + colour[0], green + colour[1], blue + colour[2], covered + 1
            if covered == 0:
                row += bytes((0, 0, 0, 0))
                continue
            average = (red / covered, green / covered, blue / covered)
            coverage = covered / (samples * samples)
            if snap_to_palette:
                if coverage < 0.5:
                    row += bytes((0, 0, 0, 0))
                    continue
                nearest = min(PALETTE, key=lambda c: sum((a - b) ** 2 for a, b in zip(c, average)))
                row += bytes(nearest) + b"\xff"
            else:
                row += bytes(round(c) for c in average) + bytes((round(255 * coverage),))
        rows.append(bytes(row))
    return rows


def write_png(path, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    height, width = len(rows), len(rows[0]) // 4
    raw = b"".join(b"\x00" + row for row in rows)
    png = (b"\x89PNG\r\n\x1a\n"
           + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(raw, 9))
           + chunk(b"IEND", b""))
    with open(path, "wb") as file:
        file.write(png)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    outputs = [
        ("quorvex-32.png", document_with_key(), 32, 4, True),
        ("encrypt.png", padlock(open_shackle=False), 16, 4, True),
        ("decrypt.png", padlock(open_shackle=True), 16, 4, True),
        ("browse.png", open_folder(), 16, 4, True),
    ]
    outputs += [("quorvex-%d.png" % size, document_with_key(), size, 3, False) for size in (48, 64, 128, 256)]
    for name, picture, size, samples, snap in outputs:
        write_png(os.path.join(here, name), render(picture, size, samples, snap))
        print("wrote", name)


if __name__ == "__main__":
    main()
