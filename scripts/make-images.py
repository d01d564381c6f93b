#!/usr/bin/env python3
"""Draws Kalorix's image resources with the standard library only.

    ui/res/banner.png   wordmark banner, 436 x 120, transparent (resource 201)
    ui/res/app.png      application icon, 256 x 256 (resource 202)
    ui/res/app.ico      application icon, 16 ... 256 pixels (icon resource 101)

Every shape is a signed-distance function evaluated per pixel, so edges are
anti-aliased at any size without supersampling. Run from anywhere:

    python3 scripts/make-images.py
"""
import math
import os
import struct
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "ui", "res")


def rgb(hex_value):
    return ((hex_value >> 16) & 255) / 255.0, ((hex_value >> 8) & 255) / 255.0, (hex_value & 255) / 255.0


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(x + (y - x) * t for x, y in zip(a, b))


class Canvas:
    """Straight-alpha RGBA floats, composited with "over"."""

    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(w * h)]

    def over(self, x, y, color, alpha):
        if alpha <= 0.0:
            return
        p = self.px[y * self.w + x]
        a = alpha + p[3] * (1.0 - alpha)
        if a <= 0.0:
            return
        for i in range(3):
            p[i] = (color[i] * alpha + p[i] * p[3] * (1.0 - alpha)) / a
        p[3] = a

    def fill(self, sdf, paint, bounds=None, soft=1.0):
        """Covers pixels where sdf < 0 (distance in pixels), 1-pixel soft edge."""
        x0, y0, x1, y1 = bounds if bounds else (0, 0, self.w, self.h)
        x0, y0 = max(0, int(x0)), max(0, int(y0))
        x1, y1 = min(self.w, int(math.ceil(x1))), min(self.h, int(math.ceil(y1)))
        for y in range(y0, y1):
            for x in range(x0, x1):
                cx, cy = x + 0.5, y + 0.5
                d = sdf(cx, cy)
                cover = max(0.0, min(1.0, 0.5 - d / soft))
                if cover > 0.0:
                    color, alpha = paint(cx, cy)
                    self.over(x, y, color, alpha * cover)

    def rgba_bytes(self, flip=False, bgra=False):
        rows = range(self.h - 1, -1, -1) if flip else range(self.h)
        out = bytearray()
        for y in rows:
            for x in range(self.w):
                r, g, b, a = self.px[y * self.w + x]
                c = [int(round(v * 255)) for v in (r, g, b, a)]
                out += bytes((c[2], c[1], c[0], c[3]) if bgra else c)
        return bytes(out)


# ---- distance functions (pixels) ----

def sd_round_rect(px, py, x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r
    qx, qy = abs(px - cx) - hx, abs(py - cy) - hy
    return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - r


def sd_circle(px, py, cx, cy, r):
    return math.hypot(px - cx, py - cy) - r


def sd_segment(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    ll = dx * dx + dy * dy
    t = 0.0 if ll == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / ll))
    return math.hypot(px - ax - dx * t, py - ay - dy * t)


def sd_arc(px, py, cx, cy, r, a0, a1):
    """Distance to a circular arc from angle a0 to a1 (radians, y down, a0 < a1)."""
    ang = math.atan2(py - cy, px - cx)
    while ang < a0:
        ang += 2 * math.pi
    if ang <= a1:
        return abs(math.hypot(px - cx, py - cy) - r)
    e0 = (cx + r * math.cos(a0), cy + r * math.sin(a0))
    e1 = (cx + r * math.cos(a1), cy + r * math.sin(a1))
    return min(math.hypot(px - e0[0], py - e0[1]), math.hypot(px - e1[0], py - e1[1]))


# ---- the mark: a thermometer in a dark rounded square ----

BG_TOP = rgb(0x252D4A)
BG_BOTTOM = rgb(0x0E1014)
EDGE = rgb(0x39426A)
INK = rgb(0xE7E9EE)
ACCENT = rgb(0x5B8CFF)
AMBER = rgb(0xFFB547)
RED = rgb(0xFF5D5D)


def draw_mark(cv, ox, oy, n, background=True):
    """The application mark in the square (ox, oy, n x n)."""
    u = lambda v: v * n
    small = n <= 24
    m = u(0.03)
    radius = u(0.22)
    box = (ox + m, oy + m, ox + n - m, oy + n - m)

    if background:
        def bg_paint(x, y):
            t = ((x - ox) * 0.35 + (y - oy)) / (n * 1.35)
            return mix(BG_TOP, BG_BOTTOM, t), 1.0
        cv.fill(lambda x, y: sd_round_rect(x, y, *box, radius), bg_paint, box)
        if not small:
            # Thin lighter rim along the top-left.
            rim = max(1.0, u(0.008))
            def rim_paint(x, y):
                t = ((x - ox) + (y - oy)) / (2 * n)
                return EDGE, max(0.0, 0.9 - 1.6 * t)
            cv.fill(lambda x, y: abs(sd_round_rect(x, y, *box, radius)) - rim / 2, rim_paint, box)
        # Warm glow behind the bulb.
        gx, gy, gr = ox + u(0.47), oy + u(0.70), u(0.34)
        def glow(x, y):
            d = math.hypot(x - gx, y - gy) / gr
            return RED, 0.32 * max(0.0, 1.0 - d) ** 2
        cv.fill(lambda x, y: sd_round_rect(x, y, *box, radius), glow, box)

    cx = ox + u(0.5 if small else 0.44)
    tube_top, tube_bottom = oy + u(0.17), oy + u(0.62)
    half = u(0.095)
    bulb_y, bulb_r = oy + u(0.70), u(0.15)
    stroke = max(u(0.045), 1.35 if small else 0)

    def body(x, y):
        capsule = sd_segment(x, y, cx, tube_top + half, cx, tube_bottom) - half
        return min(capsule, sd_circle(x, y, cx, bulb_y, bulb_r))

    bounds = (cx - bulb_r - stroke * 2, tube_top - stroke * 2, cx + bulb_r + stroke * 2, bulb_y + bulb_r + stroke * 2)
    # Glass: a faint fill, then the outline.
    cv.fill(body, lambda x, y: (rgb(0x0E1014), 0.55), bounds)
    cv.fill(lambda x, y: abs(body(x, y)) - stroke / 2, lambda x, y: (INK, 1.0), bounds)

    # Mercury: column and bulb in a warm gradient.
    col_half = max(u(0.038), 0.9 if small else 0)
    col_top = oy + u(0.34)
    inner_r = u(0.085) if not small else max(u(0.085), 2.2)

    def mercury(x, y):
        column = sd_segment(x, y, cx, col_top, cx, bulb_y) - col_half
        return min(column, sd_circle(x, y, cx, bulb_y, inner_r))

    def mercury_paint(x, y):
        t = (y - col_top) / (bulb_y + inner_r - col_top)
        return mix(AMBER, RED, t), 1.0

    cv.fill(mercury, mercury_paint, bounds)

    if not small:
        # Scale ticks to the right of the tube, in the accent colour.
        tick = u(0.028)
        for i, ty in enumerate((0.24, 0.34, 0.44)):
            y = oy + u(ty)
            x0, x1 = cx + half + u(0.07), cx + half + u(0.07) + (u(0.09) if i != 1 else u(0.13))
            cv.fill(lambda px, py, y=y, x0=x0, x1=x1: sd_segment(px, py, x0, y, x1, y) - tick / 2,
                    lambda px, py: (ACCENT, 1.0),
                    (x0 - tick, y - tick, x1 + tick, y + tick))


# ---- wordmark "Kalorix" as stroked skeletons ----

def wordmark_glyphs(xh, cap, sw):
    """Skeleton primitives per letter, origin at the left of the baseline (y up is negative).

    Returns [(advance, [primitive...], dots)], primitives ("seg", ax, ay, bx, by) or
    ("arc", cx, cy, r, a0, a1); dots are (cx, cy, r) filled in the accent colour.
    """
    h = sw / 2
    r = xh / 2 - h               # bowl radius of a, o
    top = -(xh - h)              # skeleton top of x-height stems
    ctop = -(cap - h)
    base = -h
    glyphs = []
    # K
    kw = cap * 0.58
    glyphs.append((kw + h, [("seg", h, ctop, h, base),
                             ("seg", kw, ctop, h + sw * 0.25, -cap * 0.40),
                             ("seg", h + kw * 0.30, -cap * 0.50, kw, base)], []))
    # a (single storey: bowl and right stem)
    glyphs.append((2 * r + sw, [("arc", h + r, -xh / 2, r, 0, 2 * math.pi),
                                ("seg", h + 2 * r, top, h + 2 * r, base)], []))
    # l
    glyphs.append((sw, [("seg", h, ctop, h, base)], []))
    # o
    glyphs.append((2 * r + sw, [("arc", h + r, -xh / 2, r, 0, 2 * math.pi)], []))
    # r
    rr = r * 0.95
    glyphs.append((rr * 1.55 + sw, [("seg", h, top, h, base),
                                    ("arc", h + rr, -xh / 2, rr, math.pi, math.pi * 1.78)], []))
    # i (its dot is the warm accent)
    glyphs.append((sw, [("seg", h, top, h, base)], [(h, ctop + sw * 0.15, sw * 0.62)]))
    # x
    xw = xh * 0.78
    glyphs.append((xw + sw, [("seg", h, top, h + xw, base), ("seg", h + xw, top, h, base)], []))
    return glyphs


def draw_wordmark(cv, x, baseline, xh, cap, sw, track):
    glyphs = wordmark_glyphs(xh, cap, sw)
    prims, dots = [], []
    pen = x
    for advance, items, glyph_dots in glyphs:
        for p in items:
            if p[0] == "seg":
                prims.append(("seg", p[1] + pen, p[2] + baseline, p[3] + pen, p[4] + baseline))
            else:
                prims.append(("arc", p[1] + pen, p[2] + baseline, p[3], p[4], p[5]))
        for d in glyph_dots:
            dots.append((d[0] + pen, d[1] + baseline, d[2]))
        pen += advance + track
    width = pen - track - x

    def dist(px, py):
        best = 1e9
        for p in prims:
            if p[0] == "seg":
                d = sd_segment(px, py, p[1], p[2], p[3], p[4])
            else:
                d = sd_arc(px, py, p[1], p[2], p[3], p[4], p[5]) if p[5] - p[4] < 2 * math.pi - 1e-6 \
                    else abs(math.hypot(px - p[1], py - p[2]) - p[3])
            if d < best:
                best = d
        return best - sw / 2

    bounds = (x - sw, baseline - cap - sw, x + width + sw, baseline + sw)
    cv.fill(dist, lambda px, py: (INK, 1.0), bounds)
    for (dx, dy, dr) in dots:
        cv.fill(lambda px, py, dx=dx, dy=dy, dr=dr: sd_circle(px, py, dx, dy, dr),
                lambda px, py, dy=dy, dr=dr: (mix(AMBER, RED, (py - dy + dr) / (2 * dr)), 1.0),
                (dx - dr - 2, dy - dr - 2, dx + dr + 2, dy + dr + 2))
    return width


def wordmark_width(xh, cap, sw, track):
    glyphs = wordmark_glyphs(xh, cap, sw)
    return sum(g[0] for g in glyphs) + track * (len(glyphs) - 1)


# ---- file formats ----

def png_bytes(w, h, rgba):
    raw = bytearray()
    stride = w * 4
    for y in range(h):
        raw.append(0)
        raw += rgba[y * stride:(y + 1) * stride]

    def chunk(tag, data):
        body = tag + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def ico_bytes(canvases):
    """ICO with 32-bit DIB images below 256 pixels and a PNG image at 256."""
    images = []
    for cv in canvases:
        n = cv.w
        if n >= 256:
            images.append((n, png_bytes(n, n, cv.rgba_bytes())))
            continue
        header = struct.pack("<IiiHHIIiiII", 40, n, n * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        xor = cv.rgba_bytes(flip=True, bgra=True)
        mask_stride = ((n + 31) // 32) * 4
        mask = bytearray()
        for y in range(n - 1, -1, -1):
            row = bytearray(mask_stride)
            for x in range(n):
                if cv.px[y * n + x][3] < 0.5 / 255:
                    row[x // 8] |= 0x80 >> (x % 8)
            mask += row
        images.append((n, header + xor + bytes(mask)))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in images:
        dim = 0 if n >= 256 else n
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    return out


def write(name, data):
    os.makedirs(OUT, exist_ok=True)
    path = os.path.join(OUT, name)
    with open(path + ".tmp", "wb") as f:
        f.write(data)
    os.replace(path + ".tmp", path)
    print("wrote", os.path.relpath(path, ROOT), len(data), "bytes")


def main():
    icon = Canvas(256, 256)
    draw_mark(icon, 0, 0, 256)
    write("app.png", png_bytes(256, 256, icon.rgba_bytes()))

    sizes = [16, 20, 24, 32, 40, 48, 64, 256]
    canvases = []
    for n in sizes:
        if n == 256:
            canvases.append(icon)
            continue
        cv = Canvas(n, n)
        draw_mark(cv, 0, 0, n)
        canvases.append(cv)
    write("app.ico", ico_bytes(canvases))

    W, H = 436, 120
    banner = Canvas(W, H)
    mark = 104
    draw_mark(banner, 4, (H - mark) // 2, mark)
    left = 4 + mark + 22
    xh, cap, sw, track = 50.0, 70.0, 13.0, 7.0
    avail = W - left - 6
    scale = min(1.0, avail / wordmark_width(xh, cap, sw, track))
    xh, cap, sw, track = xh * scale, cap * scale, sw * scale, track * scale
    baseline = H / 2 + cap / 2
    draw_wordmark(banner, left, baseline, xh, cap, sw, track)
    write("banner.png", png_bytes(W, H, banner.rgba_bytes()))


if __name__ == "__main__":
    main()
