#!/usr/bin/env python3
"""Draws the plugin's icons and writes them as classic .ico files (BMP images with an AND mask).

    python3 tools/generate/make_icons.py resources/icons [--preview <sheet.png>]

Writes amainicon.ico (the library's own icon: 32, 24 and 16 px at 8 and 32 bpp) and one icon
per event type (16 px at 4, 8 and 32 bpp): information.ico, error.ico, warning.ico,
audit_success.ico, audit_failed.ico, and the two levels only channel events have, critical.ico
and verbose.ico; and the record viewer's button images at their own size
(4, 8 and 32 bpp) and twice that (32 bpp): arrowup.ico and arrowdown.ico (9 x 11 px),
copypages.ico (16 x 13 px). --preview also writes an enlarged PNG sheet of every
image to look at (over a checkerboard where transparent). The output is deterministic: running
it again gives the same bytes.

The pictures are drawn as shapes on a supersampled canvas. The 32-bpp images keep the smoothed
edges as alpha. The palette images map each pixel to the nearest palette colour, and the AND
mask cuts away pixels not more than half covered. The 4-bpp images are drawn in flat colours
and sampled once per pixel: shading and smoothing only produce colours the 16-colour palette
does not have, which would come out as speckles.
"""
import argparse
import math
import os
import struct
import sys
import zlib

# The Windows default 16-colour (VGA) palette, in the order DIB palettes use it.
VGA_PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]


def _fixed_256():
    """The 8-bpp palette: the 16 VGA colours, a 6x6x6 colour cube and 24 further greys."""
    colours = list(VGA_PALETTE)
    levels = [0x00, 0x33, 0x66, 0x99, 0xCC, 0xFF]
    colours += [(r, g, b) for r in levels for g in levels for b in levels]
    colours += [(v, v, v) for v in (8 + 10 * i for i in range(24))]
    assert len(colours) == 256
    return colours


PALETTE_256 = _fixed_256()


# --- drawing ------------------------------------------------------------------------------


class Canvas:
    """An RGBA canvas of width x height pixels (square unless a height is given), sampled
    ss x ss times per pixel. Coordinates are in pixels, (0, 0) the top-left corner of the top-left
    pixel."""

    def __init__(self, size, ss, height=None):
        self.size = size
        self.width = size
        self.height = size if height is None else height
        self.ss = ss
        n = size * ss
        self.n = n
        self.rows = self.height * ss
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(n * self.rows)]  # premultiplied

    def _fill(self, inside, colour, alpha=1.0, box=None):
        """Composites `colour` over every sample whose centre satisfies inside(x, y)."""
        r, g, b = (c / 255.0 for c in colour)
        x0, y0, x1, y1 = box if box else (0, 0, self.width, self.height)
        ss = self.ss
        i0 = max(0, int(math.floor(x0 * ss)))
        i1 = min(self.n, int(math.ceil(x1 * ss)))
        j0 = max(0, int(math.floor(y0 * ss)))
        j1 = min(self.rows, int(math.ceil(y1 * ss)))
        for j in range(j0, j1):
            y = (j + 0.5) / ss
            row = j * self.n
            for i in range(i0, i1):
                x = (i + 0.5) / ss
                if inside(x, y):
                    p = self.px[row + i]
                    keep = 1.0 - alpha
                    p[0] = r * alpha + p[0] * keep
                    p[1] = g * alpha + p[1] * keep
                    p[2] = b * alpha + p[2] * keep
                    p[3] = alpha + p[3] * keep

    def circle(self, cx, cy, radius, colour, alpha=1.0):
        r2 = radius * radius
        self._fill(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r2, colour, alpha,
                   (cx - radius, cy - radius, cx + radius, cy + radius))

    def ring(self, cx, cy, outer, inner, colour, alpha=1.0, where=None):
        o2, i2 = outer * outer, inner * inner

        def inside(x, y):
            d = (x - cx) ** 2 + (y - cy) ** 2
            return i2 <= d <= o2 and (where is None or where(x, y))

        self._fill(inside, colour, alpha, (cx - outer, cy - outer, cx + outer, cy + outer))

    def rect(self, x0, y0, x1, y1, colour, alpha=1.0, radius=0.0):
        def inside(x, y):
            if not (x0 <= x <= x1 and y0 <= y <= y1):
                return False
            if radius <= 0:
                return True
            # Rounded corners: outside the corner circles only within the corner squares.
            dx = max(x0 + radius - x, 0, x - (x1 - radius))
            dy = max(y0 + radius - y, 0, y - (y1 - radius))
            return dx * dx + dy * dy <= radius * radius

        self._fill(inside, colour, alpha, (x0, y0, x1, y1))

    def polygon(self, points, colour, alpha=1.0):
        def inside(x, y):
            result = False
            j = len(points) - 1
            for i, (xi, yi) in enumerate(points):
                xj, yj = points[j]
                if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    result = not result
                j = i
            return result

        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        self._fill(inside, colour, alpha, (min(xs), min(ys), max(xs), max(ys)))

    def line(self, points, width, colour, alpha=1.0):
        """A polyline with round caps and joins."""
        h = width / 2.0
        segments = list(zip(points, points[1:]))

        def inside(x, y):
            for (ax, ay), (bx, by) in segments:
                dx, dy = bx - ax, by - ay
                length2 = dx * dx + dy * dy
                t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy)
                                                          / length2))
                px, py = ax + t * dx - x, ay + t * dy - y
                if px * px + py * py <= h * h:
                    return True
            return False

        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        self._fill(inside, colour, alpha, (min(xs) - h, min(ys) - h, max(xs) + h, max(ys) + h))

    def pixels(self):
        """Rows of straight (not premultiplied) RGBA pixels, 0..255, top row first."""
        ss, n = self.ss, self.n
        count = ss * ss
        rows = []
        for py in range(self.height):
            row = []
            for px in range(self.width):
                acc = [0.0, 0.0, 0.0, 0.0]
                for j in range(py * ss, py * ss + ss):
                    for i in range(px * ss, px * ss + ss):
                        p = self.px[j * n + i]
                        for k in range(4):
                            acc[k] += p[k]
                a = acc[3] / count
                if a <= 0:
                    row.append((0, 0, 0, 0))
                else:
                    row.append(tuple(min(255, int(round(acc[k] / acc[3] * 255)))
                                     for k in range(3)) + (min(255, int(round(a * 255))),))
            rows.append(row)
        return rows


# --- the pictures -------------------------------------------------------------------------
# Each takes the canvas and whether it may use shading (8 and 32 bpp) or must keep to the flat
# colours of the 16-colour palette. The event-type pictures are laid out on the 16-pixel grid with
# edges on whole pixels, so that every depth stays crisp.

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)


def _disc(c, radius, edge, flat, light, dark, rich):
    """A disc filling the 16-pixel grid, with a one-pixel rim; shaded, it is lit from the top
    left."""
    c.circle(8, 8, radius, edge)
    if not rich:
        c.circle(8, 8, radius - 1, flat)
        return
    steps = 6
    for k in range(steps):
        t = k / (steps - 1)
        colour = tuple(int(round(dark[i] + (light[i] - dark[i]) * t)) for i in range(3))
        c.circle(8 - 1.6 * t, 8 - 1.6 * t, (radius - 1) * (1 - 0.55 * t), colour)


def draw_information(c, rich):
    _disc(c, 7.5, (0, 0, 128), (0, 0, 255), (70, 140, 255), (0, 50, 200), rich)
    c.rect(7, 3, 9, 5, WHITE, radius=0.9 if rich else 0)  # the dot
    c.rect(7, 6, 9, 13, WHITE)  # the stem
    c.rect(6, 6, 7, 7, WHITE)  # serifs
    c.rect(6, 12, 10, 13, WHITE)


def draw_error(c, rich):
    _disc(c, 7.5, (128, 0, 0), (255, 0, 0), (255, 90, 70), (200, 0, 0), rich)
    c.line([(5, 5), (11, 11)], 2.2, WHITE)
    c.line([(11, 5), (5, 11)], 2.2, WHITE)


def draw_warning(c, rich):
    outer = [(8, 0.5), (15.7, 14.8), (0.3, 14.8)]
    inner = [(8, 2.6), (14.0, 13.8), (2.0, 13.8)]
    c.polygon(outer, (128, 96, 0) if rich else BLACK)
    if rich:
        c.polygon(inner, (255, 200, 0))
        c.polygon([(8, 2.6), (11.5, 9.2), (4.5, 9.2)], (255, 232, 80))
    else:
        c.polygon(inner, (255, 255, 0))
    c.rect(7, 5, 9, 10, BLACK)
    c.rect(7, 11, 9, 13, BLACK)


def draw_critical(c, rich):
    """A stop sign: an octagon in dark red with a white exclamation mark."""
    r = 7.6
    k = r * math.tan(math.pi / 8)
    octagon = [(8 - k, 8 - r), (8 + k, 8 - r), (8 + r, 8 - k), (8 + r, 8 + k),
               (8 + k, 8 + r), (8 - k, 8 + r), (8 - r, 8 + k), (8 - r, 8 - k)]
    c.polygon(octagon, (96, 0, 0) if rich else (128, 0, 0))
    if rich:
        inset = [(8 + (x - 8) * 0.84, 8 + (y - 8) * 0.84) for x, y in octagon]
        c.polygon(inset, (190, 10, 20))
    else:
        c.polygon([(8 + (x - 8) * 0.84, 8 + (y - 8) * 0.84) for x, y in octagon], (255, 0, 0))
    c.rect(7, 3, 9, 10, WHITE)  # the stroke
    c.rect(7, 11, 9, 13, WHITE)  # the dot


def draw_verbose(c, rich):
    """A grey disc with three dots: more detail than anyone usually wants."""
    _disc(c, 7.5, (64, 64, 64), (128, 128, 128), (200, 200, 205), (110, 110, 118), rich)
    for x in (4, 7, 10):
        c.rect(x, 7, x + 2, 9, WHITE)


def _key(c, rich):
    gold = (230, 180, 0) if rich else (255, 255, 0)
    edge = (128, 88, 0) if rich else (128, 128, 0)
    # The bow: a ring with a hole, then the blade to the right with two bits.
    c.circle(4.5, 5.5, 4.0, edge)
    c.circle(4.5, 5.5, 3.0, gold)
    c.circle(3.5, 5.5, 1.2, edge)
    c.rect(7.5, 4, 16, 8, edge)
    c.rect(7.5, 5, 15, 7, gold)
    c.rect(11, 7, 13, 10, edge)
    c.rect(13, 7, 16, 11, edge)
    c.rect(14, 7, 15, 10, gold)
    c.rect(11, 7, 12, 9, gold)
    if rich:
        c.rect(8, 5, 15, 6, (255, 230, 120))


def _padlock(c, rich):
    body = (230, 180, 0) if rich else (255, 255, 0)
    edge = (128, 88, 0) if rich else (128, 128, 0)
    steel = (120, 120, 130) if rich else (128, 128, 128)
    # The shackle: a half ring over the body.
    c.ring(7, 6.5, 5.0, 2.5, steel, where=lambda x, y: y <= 7.5)
    c.rect(2, 6, 4.5, 8, steel)
    c.rect(9.5, 6, 12, 8, steel)
    if rich:
        c.ring(7, 6.5, 4.2, 3.4, (190, 190, 200), where=lambda x, y: y <= 6.5 and x <= 9)
    c.rect(1, 7, 13, 16, edge, radius=1.0 if rich else 0)
    c.rect(2, 8, 12, 15, body)
    if rich:
        c.rect(2, 8, 12, 9, (255, 230, 120))
    c.rect(6, 10, 8, 12, BLACK)  # the keyhole
    c.rect(6, 12, 7, 14, BLACK)


def draw_audit_success(c, rich):
    _key(c, rich)
    # The check mark, outlined in white so it stands out against the key.
    points = [(3, 11.5), (6, 14.3), (12.5, 8.5)] if rich else [(3, 11), (6, 14), (12, 8)]
    c.line(points, 4.2, WHITE)
    c.line(points, 2.2, (0, 150, 0) if rich else (0, 128, 0))


def draw_audit_failed(c, rich):
    _padlock(c, rich)
    # The cross, outlined in white so it stands out against the padlock.
    a, b = [(10, 9.5), (15, 14.5)], [(15, 9.5), (10, 14.5)]
    c.line(a, 4.0, WHITE)
    c.line(b, 4.0, WHITE)
    red = (220, 0, 0) if rich else (255, 0, 0)
    c.line(a, 2.0, red)
    c.line(b, 2.0, red)


def draw_main(c, rich):
    """A log page with lines of text and a magnifying glass over its lower right. Drawn at 8 and
    32 bpp only, so always shaded; laid out per size on that size's pixel grid."""
    s = c.size
    k = s / 32.0

    def g(v):  # onto the pixel grid
        return round(v * k)

    page_edge = (90, 90, 100)
    fold = g(7) if s > 16 else 4
    left, top, right, bottom = g(4), 0 if s == 16 else g(1), g(26), s - (1 if s > 16 else 0)
    c.polygon([(left, top), (right - fold, top), (right, top + fold), (right, bottom),
               (left, bottom)], page_edge)
    c.polygon([(left + 1, top + 1), (right - fold - 0.4, top + 1), (right - 1, top + fold + 0.4),
               (right - 1, bottom - 1), (left + 1, bottom - 1)], WHITE)
    c.polygon([(right - fold, top), (right - fold, top + fold), (right, top + fold)],
              page_edge)
    c.polygon([(right - fold + 1, top + 2), (right - fold + 1, top + fold - 1),
               (right - 2, top + fold - 1)], (220, 220, 228))
    # Lines of text, each a record; the first a heading.
    ink = (40, 80, 170)
    grey = (150, 160, 180)
    pitch = 2 if s == 16 else (3 if s == 24 else 4)
    y = top + (4 if s == 16 else g(8))
    x0 = left + (2 if s == 16 else g(3))
    lengths = [0.55, 0.8, 0.7, 0.85, 0.6, 0.75]
    row = 0
    while y + 1 <= bottom - 2:
        width = (right - 2 - x0) * lengths[row % len(lengths)]
        thick = 2 if (s == 32 and row == 0) else 1
        c.rect(x0, y, x0 + round(width), y + thick, ink if row == 0 else grey)
        y += pitch
        row += 1
    # The magnifying glass.
    cx, cy = s * 0.60, s * 0.60
    radius = s * 0.25
    rim = max(1.5, s / 12.0)
    c.circle(cx, cy, radius - rim, (150, 200, 255), alpha=0.45)  # the glass shows the page
    c.ring(cx, cy, radius, radius - rim, (20, 20, 30))
    c.ring(cx, cy, radius - rim, radius - rim - s / 16.0, WHITE, alpha=0.7,
           where=lambda x, y: x < cx and y < cy)
    reach = radius / math.sqrt(2)
    handle_w = max(2.0, s / 8.0)
    c.line([(cx + reach, cy + reach), (s - handle_w / 2, s - handle_w / 2)], handle_w,
           (90, 50, 20))


def _arrow(c, rich, up):
    """A 9 x 11 arrow (scaled for the larger size): a head over the full width and a stem a
    third as wide, in the near-black of the system's own glyphs."""
    k = c.width / 9.0
    ink = (32, 32, 40) if rich else BLACK
    if up:
        c.polygon([(4.5 * k, 0), (9 * k, 5 * k), (0, 5 * k)], ink)
        c.rect(3 * k, 5 * k, 6 * k, 11 * k, ink)
    else:
        c.polygon([(4.5 * k, 11 * k), (9 * k, 6 * k), (0, 6 * k)], ink)
        c.rect(3 * k, 0, 6 * k, 6 * k, ink)


def draw_arrow_up(c, rich):
    _arrow(c, rich, True)


def draw_arrow_down(c, rich):
    _arrow(c, rich, False)


def draw_copy_pages(c, rich):
    """Two overlapping pages, 16 x 13 (scaled for the larger size): the one behind at the top
    left, the one in front at the bottom right with lines of text."""
    k = c.width / 16.0
    edge = (60, 60, 70) if rich else BLACK
    shade = (232, 232, 238) if rich else (192, 192, 192)
    ink = (40, 80, 170) if rich else (0, 0, 128)

    def page(x0, y0, x1, y1, fill):
        c.rect(x0 * k, y0 * k, x1 * k, y1 * k, edge)
        c.rect((x0 + 1) * k, (y0 + 1) * k, (x1 - 1) * k, (y1 - 1) * k, fill)

    page(0, 0, 10, 9, shade)
    page(5, 3, 16, 13, WHITE)
    for y, length in ((5, 7), (7, 5), (9, 7)):
        c.rect(7 * k, y * k, (7 + length) * k, (y + 1) * k, ink)


# --- encoding -----------------------------------------------------------------------------


def nearest(palette, colour):
    best, index = None, 0
    for i, p in enumerate(palette):
        d = (p[0] - colour[0]) ** 2 + (p[1] - colour[1]) ** 2 + (p[2] - colour[2]) ** 2
        if best is None or d < best:
            best, index = d, i
    return index


def dimensions(size):
    """(width, height) of a format's size: a number for square images, else a pair."""
    return (size, size) if isinstance(size, int) else size


def render(draw, size, depth):
    # Point sampling for 4 bpp, see the module comment.
    width, height = dimensions(size)
    canvas = Canvas(width, 1 if depth == 4 else 4, height)
    draw(canvas, depth >= 8)
    return canvas.pixels()


def covered(pixel, depth):
    """Whether the mask keeps the pixel. Palette images keep pixels more than half covered:
    at exactly half, shapes touching the grid's edge grow one-pixel bumps."""
    return pixel[3] > (128 if depth < 32 else 0)


def encode_bmp(rows, depth):
    """The image as an icon resource stores it: BITMAPINFOHEADER (height doubled for the mask),
    palette, XOR bitmap and AND mask, both bottom-up with rows padded to four bytes."""
    width, height = len(rows[0]), len(rows)
    opaque = [[covered(p, depth) for p in row] for row in rows]

    xor = bytearray()
    stride = (width * depth + 31) // 32 * 4
    palette = {4: VGA_PALETTE, 8: PALETTE_256}.get(depth)
    for y in reversed(range(height)):
        line = bytearray()
        if depth == 32:
            for x, p in enumerate(rows[y]):
                # Transparent pixels black, so the AND/XOR pair leaves the screen as it was.
                line += bytes((p[2], p[1], p[0], p[3])) if opaque[y][x] else b"\0\0\0\0"
        else:
            indices = [nearest(palette, p) if opaque[y][x] else 0 for x, p in enumerate(rows[y])]
            if depth == 8:
                line += bytes(indices)
            else:
                for x in range(0, width, 2):
                    line.append((indices[x] << 4) | (indices[x + 1] if x + 1 < width else 0))
        line += b"\0" * (stride - len(line))
        xor += line

    mask = bytearray()
    mask_stride = (width + 31) // 32 * 4
    for y in reversed(range(height)):
        line = bytearray(mask_stride)
        for x in range(width):
            if not opaque[y][x]:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line

    colours = bytearray()
    for r, g, b in palette or []:
        colours += bytes((b, g, r, 0))
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, depth, 0, len(xor) + len(mask),
                         0, 0, 0, 0)
    return bytes(header + colours + xor + mask)


def encode_ico(images):
    """images: [(size, depth, bmp bytes)] -> the .ico file."""
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, depth, data in images:
        width, height = dimensions(size)
        colour_count = 1 << depth if depth < 8 else 0
        out += struct.pack("<BBBBHHII", width % 256, height % 256, colour_count, 0, 1, depth,
                           len(data), offset)
        offset += len(data)
    for _, _, data in images:
        out += data
    return bytes(out)


def write_png(path, pixels):
    """pixels: rows of RGB tuples."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for p in row:
            raw += bytes(p)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", len(pixels[0]), len(pixels), 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def preview_sheet(rendered, scale=8, gap=8):
    """rendered: one list of images (rows of RGBA) per icon -> an enlarged sheet, one icon per
    line, over a checkerboard so that transparency shows."""
    width = max(sum(len(img[0]) * scale + gap for img in line) for line in rendered) + gap
    height = sum(max(len(img) for img in line) * scale + gap for line in rendered) + gap
    sheet = [[(255, 255, 255)] * width for _ in range(height)]
    top = gap
    for line in rendered:
        left = gap
        for img in line:
            for y in range(len(img) * scale):
                for x in range(len(img[0]) * scale):
                    r, g, b, a = img[y // scale][x // scale]
                    check = 200 if ((x // 4) + (y // 4)) % 2 else 235
                    sheet[top + y][left + x] = tuple(
                        int(round(v * a / 255 + check * (1 - a / 255))) for v in (r, g, b))
            left += len(img[0]) * scale + gap
        top += max(len(img) for img in line) * scale + gap
    return sheet


def decoded(rows, depth):
    """What the encoded image shows: palette colours and the 1-bit mask for palette depths."""
    if depth == 32:
        return rows
    palette = VGA_PALETTE if depth == 4 else PALETTE_256
    return [[palette[nearest(palette, p)] + (255,) if covered(p, depth) else (0, 0, 0, 0)
             for p in row]
            for row in rows]


ICONS = [
    # file name, picture, [(size, bits per pixel)] in directory order
    ("amainicon.ico", draw_main, [(32, 8), (24, 8), (16, 8), (32, 32), (24, 32), (16, 32)]),
    ("information.ico", draw_information, [(16, 4), (16, 8), (16, 32)]),
    ("error.ico", draw_error, [(16, 4), (16, 8), (16, 32)]),
    ("warning.ico", draw_warning, [(16, 4), (16, 8), (16, 32)]),
    ("audit_success.ico", draw_audit_success, [(16, 4), (16, 8), (16, 32)]),
    ("audit_failed.ico", draw_audit_failed, [(16, 4), (16, 8), (16, 32)]),
    ("critical.ico", draw_critical, [(16, 4), (16, 8), (16, 32)]),
    ("verbose.ico", draw_verbose, [(16, 4), (16, 8), (16, 32)]),
    # The record viewer's buttons: their own size, and twice that for 192 DPI.
    ("arrowup.ico", draw_arrow_up, [((9, 11), 4), ((9, 11), 8), ((9, 11), 32), ((18, 22), 32)]),
    ("arrowdown.ico", draw_arrow_down,
     [((9, 11), 4), ((9, 11), 8), ((9, 11), 32), ((18, 22), 32)]),
    ("copypages.ico", draw_copy_pages,
     [((16, 13), 4), ((16, 13), 8), ((16, 13), 32), ((32, 26), 32)]),
]


def main():
    parser = argparse.ArgumentParser(description="Draws the plugin's icons as .ico files.")
    parser.add_argument("folder", help="where the .ico files go (resources/icons)")
    parser.add_argument("--preview", help="also write an enlarged PNG sheet of every image")
    args = parser.parse_args()
    os.makedirs(args.folder, exist_ok=True)
    shown = []
    for name, draw, formats in ICONS:
        images = []
        shown.append([])
        for size, depth in formats:
            rows = render(draw, size, depth)
            images.append((size, depth, encode_bmp(rows, depth)))
            shown[-1].append(decoded(rows, depth))
        with open(os.path.join(args.folder, name), "wb") as f:
            f.write(encode_ico(images))
        print("%s: %s" % (name, ", ".join("%dx%d@%d" % (dimensions(s) + (d,)) for s, d in formats)))
    if args.preview:
        write_png(args.preview, preview_sheet(shown))
    return 0


if __name__ == "__main__":
    sys.exit(main())
