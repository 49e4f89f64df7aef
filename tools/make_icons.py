#!/usr/bin/python3
"""Draws the program's pictures and writes them as .ico files.

Run from anywhere:  /usr/bin/python3 tools/make_icons.py
Standard library only, deterministic: the same script always writes the same bytes,
so the committed pictures can be regenerated and diffed.

Shapes are signed distance functions (negative inside, in pixels), sampled at pixel
centres. The 256-colour pictures blend edges between shapes; against the transparent
background they stay hard, because the AND mask is one bit per pixel. The 16-colour
pictures are hard everywhere, with only palette colours.

Each icon also holds PNG images of twice and four times its size (the window icon
eight times too) for screens scaled by 2 and more; the 32- and 16-pixel images stay
first and unchanged, for readers that know only those.
"""

import math
import os
import struct
import sys
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# The classic 16-colour palette, in the order Windows uses it.
CLASSIC16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER, GREY, RED, LIME, YELLOW, \
    BLUE, FUCHSIA, AQUA, WHITE = CLASSIC16


def hexrgb(s):
    s = s.lstrip('#')
    return tuple(int(s[i:i + 2], 16) for i in (0, 2, 4))


# ---------------------------------------------------------------- shapes (SDFs)

def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ellipse(cx, cy, rx, ry):
    # Not exact, but close enough near the edge, which is all that is sampled.
    return lambda x, y: (math.hypot((x - cx) / rx, (y - cy) / ry) - 1.0) * min(rx, ry)


def box(x0, y0, x1, y1, r=0.0):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

    def d(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - r
    return d


def capsule(ax, ay, bx, by, r):
    dx, dy = bx - ax, by - ay
    ll = dx * dx + dy * dy or 1e-9

    def d(x, y):
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / ll))
        return math.hypot(x - ax - t * dx, y - ay - t * dy) - r
    return d


def polygon(pts):
    n = len(pts)

    def d(x, y):
        best = float('inf')
        inside = False
        for i in range(n):
            ax, ay = pts[i]
            bx, by = pts[i - 1]
            ex, ey = bx - ax, by - ay
            wx, wy = x - ax, y - ay
            t = max(0.0, min(1.0, (wx * ex + wy * ey) / (ex * ex + ey * ey)))
            best = min(best, math.hypot(wx - t * ex, wy - t * ey))
            if (ay > y) != (by > y) and x < ax + (y - ay) * ex / ey:
                inside = not inside
        return -best if inside else best
    return d


def star(cx, cy, r_out, r_in, points=5, turn=-90.0):
    pts = []
    for i in range(points * 2):
        a = math.radians(turn + i * 180.0 / points)
        r = r_out if i % 2 == 0 else r_in
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return polygon(pts)


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def intersect(*shapes):
    return lambda x, y: max(s(x, y) for s in shapes)


def minus(a, b):
    return lambda x, y: max(a(x, y), -b(x, y))


# Gradients go in a few steps: smooth enough at 32 pixels and they keep the palette small.
GRADIENT_STEPS = 10


def _step(t, steps):
    t = max(0.0, min(1.0, t))
    return round(t * steps) / steps if steps else t


def grad_steps(size):
    """The large PNG images have no palette to keep small, and steps would show as bands."""
    return GRADIENT_STEPS if size <= 32 else 0


def vgrad(top, bottom, y0, y1, steps=GRADIENT_STEPS):
    return lambda x, y: mix(top, bottom, _step((y - y0) / (y1 - y0), steps))


def rgrad(inner, outer, cx, cy, r, steps=GRADIENT_STEPS):
    return lambda x, y: mix(inner, outer, _step(math.hypot(x - cx, y - cy) / r, steps))


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


# ---------------------------------------------------------------- canvas

class Canvas:
    """A square of pixels, each None (transparent) or an (r, g, b) tuple."""

    def __init__(self, size, smooth, grid=None):
        self.size = size
        self.smooth = smooth
        # Shapes are given on a grid of this many units; larger canvases scale them up.
        self.k = size / (grid or size)
        self.px = [[None] * size for _ in range(size)]

    def paint(self, shape, fill, outline=None, width=1.0):
        """Fills shape; with outline, its inner edge band of width pixels gets that colour.

        Hard mode draws the band as every inside pixel within width steps of an outside
        one, so a 1-pixel outline is a clean pixel line instead of a sampled ring."""
        n, k = self.size, self.k
        d = [[shape((x + 0.5) / k, (y + 0.5) / k) * k for x in range(n)] for y in range(n)]
        width *= k
        reach = int(round(width))
        for y in range(n):
            for x in range(n):
                dist = d[y][x]
                if self.smooth:
                    cover = max(0.0, min(1.0, 0.5 - dist))
                else:
                    cover = 1.0 if dist < 0 else 0.0
                if cover <= 0.0:
                    continue
                colour = fill((x + 0.5) / k, (y + 0.5) / k) if callable(fill) else fill
                if outline is not None:
                    if self.smooth:
                        colour = mix(outline, colour, max(0.0, min(1.0, 0.5 - (dist + width))))
                    elif self._near_outside(d, x, y, reach):
                        colour = outline
                self._put(x, y, colour, cover)

    def _near_outside(self, d, x, y, reach):
        n = self.size
        for dy in range(-reach, reach + 1):
            for dx in range(-reach, reach + 1):
                if abs(dx) + abs(dy) > reach:
                    continue
                nx, ny = x + dx, y + dy
                if not (0 <= nx < n and 0 <= ny < n) or d[ny][nx] >= 0:
                    return True
        return False

    def _put(self, x, y, colour, cover):
        under = self.px[y][x]
        if under is None:
            if cover >= 0.5:
                self.px[y][x] = colour
        else:
            # Few blend steps keep the palette small.
            self.px[y][x] = mix(under, colour, round(cover * 8) / 8)

    def dot(self, x, y, colour):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.px[y][x] = colour

    def line(self, x0, y0, x1, y1, colour):
        """A 1-pixel Bresenham line between pixel centres; thin lines at 16 pixels need
        exact pixels, which sampling a thin shape does not give."""
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x1 > x0 else -1), (1 if y1 > y0 else -1)
        err = dx + dy
        while True:
            self.dot(x0, y0, colour)
            if x0 == x1 and y0 == y1:
                return
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy


# ---------------------------------------------------------------- .ico writing

def _palette_for(canvas, bpp):
    used = []
    seen = set()
    for row in canvas.px:
        for c in row:
            if c is not None and c not in seen:
                seen.add(c)
                used.append(c)
    if bpp == 4:
        bad = [c for c in used if c not in CLASSIC16]
        if bad:
            raise ValueError('16-colour picture uses non-palette colours %r' % bad[:4])
        return list(CLASSIC16)
    if len(used) > 255:
        _reduce(canvas, 255)
        return _palette_for(canvas, bpp)
    # Index 0 is black: transparent pixels point at it, as Windows expects.
    palette = [(0, 0, 0)] + sorted(c for c in used if c != (0, 0, 0))
    return palette + [(0, 0, 0)] * (256 - len(palette))


def _reduce(canvas, limit):
    """Keeps the most used colours and moves the rarest (blended edges) to their nearest."""
    count = {}
    for row in canvas.px:
        for c in row:
            if c is not None:
                count[c] = count.get(c, 0) + 1
    keep = sorted(count, key=lambda c: (-count[c], c))[:limit]

    def nearest(c):
        return min(keep, key=lambda k: sum((a - b) ** 2 for a, b in zip(c, k)))
    for row in canvas.px:
        for x, c in enumerate(row):
            if c is not None and c not in keep:
                row[x] = nearest(c)


def _dib(canvas, bpp):
    n = canvas.size
    palette = _palette_for(canvas, bpp)
    index = {}
    for i, c in enumerate(palette):
        index.setdefault(c, i)
    header = struct.pack('<IiiHHIIiiII', 40, n, n * 2, 1, bpp, 0, 0, 0, 0, 0, 0)
    pal = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in palette)
    xor_stride = ((n * bpp + 31) // 32) * 4
    and_stride = ((n + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(n)):  # DIB rows run bottom-up
        row = canvas.px[y]
        idx = [0 if c is None else index[c] for c in row]
        if bpp == 8:
            line = bytearray(idx)
        else:
            line = bytearray((idx[i] << 4) | (idx[i + 1] if i + 1 < n else 0)
                             for i in range(0, n, 2))
        xor += line + bytes(xor_stride - len(line))
        bits = bytearray(and_stride)
        for x, c in enumerate(row):
            if c is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pal + bytes(xor) + bytes(mask)


def ico_bytes(images, large=()):
    """images: list of (canvas, bpp), written as DIBs; large: list of (canvas, factor),
    written after them as 32-bit PNG images of the canvas shrunk by factor."""
    entries = [(c.size, 16 if bpp == 4 else 0, bpp, _dib(c, bpp)) for c, bpp in images]
    entries += [(c.size // f, 0, 32, png_bytes(c, f)) for c, f in large]
    out = struct.pack('<HHH', 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for n, colours, bpp, blob in entries:
        # Colours 0 means 256 or more; a size of 256 is written as 0.
        out += struct.pack('<BBBBHHII', n % 256, n % 256, colours, 0, 1, bpp, len(blob), offset)
        offset += len(blob)
    return out + b''.join(blob for *_, blob in entries)


def write_ico(rel, images, large=()):
    path = os.path.join(ROOT, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(ico_bytes(images, large))
    print('wrote', rel)


# ---------------------------------------------------------------- 256-colour pictures

def cloud_shape(s=1.0, ox=0.0, oy=0.0):
    """A puffy cloud with a flat base, drawn on a 32-pixel grid scaled by s."""
    def p(v, o):
        return v * s + o
    return union(
        circle(p(10, ox), p(19, oy), 5.5 * s),
        circle(p(16.5, ox), p(13.5, oy), 7.5 * s),
        circle(p(23, ox), p(17.5, oy), 6 * s),
        box(p(4, ox), p(17, oy), p(29, ox), p(25, oy), 4 * s),
    )


def drop_shape(cx, tip_y, r):
    """A raindrop: a round bottom under a pointed tip."""
    cy = tip_y + r * 2.3
    return union(circle(cx, cy, r),
                 polygon([(cx, tip_y), (cx + r * 0.92, cy - r * 0.4), (cx - r * 0.92, cy - r * 0.4)]))


def snowflake_shape(cx, cy, arm, r, branch, at):
    parts = [circle(cx, cy, r * 1.9)]
    for k in range(6):
        a = math.radians(90 + 60 * k)
        ux, uy = math.cos(a), -math.sin(a)
        ex, ey = cx + ux * arm, cy + uy * arm
        parts.append(capsule(cx, cy, ex, ey, r))
        bx, by = cx + ux * arm * at, cy + uy * arm * at
        for side in (-1, 1):
            b = a + side * math.radians(50)
            parts.append(capsule(bx, by, bx + math.cos(b) * branch, by - math.sin(b) * branch, r))
    return union(*parts)


def draw_sun(size=32):
    c = Canvas(size, smooth=True, grid=32)
    steps = grad_steps(size)
    ray_fill, ray_line = hexrgb('#FFB21E'), hexrgb('#D9700A')
    for k in range(8):
        a = math.radians(22.5 + 45 * k)
        ux, uy = math.cos(a), math.sin(a)
        # Tapered rays: a thin triangle reads sharper than a stick at this size.
        tip = (16 + ux * 15.6, 16 + uy * 15.6)
        base = 10.6
        px, py = -uy * 2.1, ux * 2.1
        tri = polygon([tip, (16 + ux * base + px, 16 + uy * base + py),
                       (16 + ux * base - px, 16 + uy * base - py)])
        c.paint(tri, ray_fill, ray_line, 1.1)
    disc = circle(16, 16, 9.2)
    c.paint(disc, rgrad(hexrgb('#FFF27A'), hexrgb('#FFC928'), 13.5, 13, 12, steps), hexrgb('#D9700A'), 1.2)
    c.paint(ellipse(12.8, 12.6, 2.6, 1.7), hexrgb('#FFFBD6'))
    return c


def draw_cloud(size=32):
    c = Canvas(size, smooth=True, grid=32)
    c.paint(cloud_shape(oy=0.5), vgrad(hexrgb('#FFFFFF'), hexrgb('#DCE3EC'), 12, 26, grad_steps(size)),
            hexrgb('#6F7B8A'), 1.25)
    return c


def draw_rain(size=32):
    c = Canvas(size, smooth=True, grid=32)
    steps = grad_steps(size)
    c.paint(cloud_shape(0.82, 2.9, -3.4), vgrad(hexrgb('#F4F7FA'), hexrgb('#BFC9D6'), 6, 18, steps),
            hexrgb('#5E6A7A'), 1.2)
    blue, line = hexrgb('#3C9BF0'), hexrgb('#1B5FB0')
    for cx, tip in ((9.5, 18.2), (16.5, 21.2), (23.5, 18.2)):
        c.paint(drop_shape(cx, tip, 2.6), vgrad(hexrgb('#9AD2FF'), blue, tip + 2, tip + 8, steps), line, 1.1)
    return c


def draw_snow(size=32):
    c = Canvas(size, smooth=True, grid=32)
    c.paint(snowflake_shape(16, 16, 13.6, 1.45, 4.6, 0.58), hexrgb('#A8E2FF'), hexrgb('#2C7CC8'), 1.0)
    return c


BOLT32 = [(17.5, 1.0), (26.5, 1.0), (20.0, 11.5), (26.5, 11.5), (10.0, 31.0), (14.5, 17.0), (6.5, 17.0)]


def draw_thunder(size=32):
    c = Canvas(size, smooth=True, grid=32)
    c.paint(polygon(BOLT32), vgrad(hexrgb('#FFF35C'), hexrgb('#FFC400'), 2, 30, grad_steps(size)),
            hexrgb('#3B2F12'), 1.3)
    return c


def draw_window(size=32):
    c = Canvas(size, smooth=True, grid=32)
    outline = hexrgb('#B8457A')
    # Pages peeking out right and below the cover.
    c.paint(box(7, 3, 29, 28, 2), hexrgb('#FFFDF3'), hexrgb('#B89A8E'), 1.0)
    for y in (7, 11, 15, 19, 23):
        c.paint(box(26.5, y - 0.5, 28, y + 0.5), hexrgb('#E5D8CA'))
    # Ribbon bookmark hanging out of the pages.
    c.paint(polygon([(17.5, 20), (23.5, 20), (23.5, 31.8), (20.5, 28.6), (17.5, 31.8)]),
            hexrgb('#A58AF0'), hexrgb('#5A3EA6'), 1.0)
    cover_grad = vgrad(hexrgb('#FFC6DB'), hexrgb('#F7A3C4'), 1, 26, grad_steps(size))

    def cover_fill(x, y):
        if x < 7.5:
            return hexrgb('#EE89B1')  # spine
        if x < 8.5:
            return hexrgb('#DA6C9D')  # crease
        return cover_grad(x, y)
    c.paint(box(3, 1, 26, 26, 2.5), cover_fill, outline, 1.2)
    # Title label.
    c.paint(box(10.5, 4, 23, 9.5, 1.2), hexrgb('#FFFFFF'), outline, 1.0)
    c.paint(box(12.5, 6.3, 21, 7.2), hexrgb('#E7A9C2'))
    # A small flower under the label.
    fx, fy = 16.75, 17
    petals = union(*(circle(fx + 3.3 * math.cos(math.radians(-90 + 72 * k)),
                            fy + 3.3 * math.sin(math.radians(-90 + 72 * k)), 2.55) for k in range(5)))
    c.paint(petals, hexrgb('#FFFFFF'), outline, 1.0)
    c.paint(circle(fx, fy, 2.1), hexrgb('#FFD23F'), hexrgb('#E08A1E'), 1.0)
    return c


def draw_logo(size=32):
    c = Canvas(size, smooth=True, grid=32)
    c.paint(circle(16, 16, 15.4), rgrad(hexrgb('#7FE0D2'), hexrgb('#2FA3B5'), 12, 11, 18, grad_steps(size)),
            hexrgb('#1F6A80'), 1.3)
    c.paint(minus(circle(16, 16, 13.2), circle(16, 16, 12.4)), hexrgb('#E6FBF7'))
    m = union(capsule(9.5, 23, 9.5, 12.5, 2.0), capsule(9.5, 12.5, 16, 19.5, 2.0),
              capsule(16, 19.5, 22.5, 12.5, 2.0), capsule(22.5, 12.5, 22.5, 23, 2.0))
    c.paint(lambda x, y: m(x - 0.9, y - 1.1), hexrgb('#1F6A80'))  # drop shadow
    c.paint(m, hexrgb('#FFFFFF'))
    c.paint(star(16, 7.4, 4.3, 1.9), hexrgb('#FFE04A'), hexrgb('#C77A00'), 0.9)
    return c


# ---------------------------------------------------------------- 16-colour button pictures

def sun_rays(cx, cy, inner, outer, half_width):
    rays = []
    for k in range(8):
        a = math.radians(45 * k)
        ux, uy = math.cos(a), math.sin(a)
        px, py = -uy * half_width, ux * half_width
        rays.append(polygon([(cx + ux * outer, cy + uy * outer),
                             (cx + ux * inner + px, cy + uy * inner + py),
                             (cx + ux * inner - px, cy + uy * inner - py)]))
    return union(*rays)


def cloud16(oy=0.0):
    """Cloud for 16 pixels: fewer, more separate puffs, so the bumps survive."""
    return union(circle(4.0, 9.0 + oy, 2.5), circle(8.0, 6.5 + oy, 3.5), circle(12.0, 8.5 + oy, 2.8),
                 box(1.0, 9.0 + oy, 15.0, 13.0 + oy, 2.0))


def button_sun(n):
    c = Canvas(n, smooth=False, grid=32 if n >= 32 else None)
    if n >= 32:
        c.paint(sun_rays(16, 16, 10.5, 15.6, 2.6), YELLOW, RED)
        c.paint(circle(16, 16, 9.0), YELLOW, RED)
        c.paint(ellipse(12.8, 12.8, 2.4, 1.6), WHITE)
    else:
        c.paint(circle(8, 8, 4.6), YELLOW, RED)
        c.dot(6, 6, WHITE)
        # Rays as exact pixels, mirrored eight ways round the centre.
        for x, y in ((7, 0), (7, 1), (2, 2), (3, 3)):
            for px, py in ((x, y), (y, x)):
                for qx, qy in ((px, py), (15 - px, py), (px, 15 - py), (15 - px, 15 - py)):
                    c.dot(qx, qy, RED)
    return c


def button_cloud(n):
    c = Canvas(n, smooth=False, grid=32 if n >= 32 else None)
    if n >= 32:
        c.paint(cloud_shape(oy=0.5), lambda x, y: WHITE if y < 21 else SILVER, GREY)
    else:
        c.paint(cloud16(), lambda x, y: WHITE if y < 11 else SILVER, GREY)
    return c


def button_rain(n):
    c = Canvas(n, smooth=False, grid=32 if n >= 32 else None)
    if n >= 32:
        c.paint(cloud_shape(0.82, 2.9, -3.4), lambda x, y: WHITE if y < 13 else SILVER, GREY)
        for cx, tip in ((9.5, 18.2), (16.5, 21.2), (23.5, 18.2)):
            c.paint(drop_shape(cx, tip, 2.6), BLUE, NAVY)
    else:
        c.paint(cloud16(-3.0), lambda x, y: WHITE if y < 8 else SILVER, GREY)
        for x, y in ((5, 11), (9, 12), (13, 11)):
            c.line(x, y, x - 2, y + 2, BLUE)
    return c


def button_snow(n):
    c = Canvas(n, smooth=False, grid=32 if n >= 32 else None)
    if n >= 32:
        c.paint(snowflake_shape(16, 16, 13.6, 1.45, 4.6, 0.58), AQUA, BLUE)
    else:
        # Exact pixel lines round pixel (7, 7): one upright arm, two at slope 1/2.
        c.line(7, 0, 7, 14, TEAL)
        c.line(1, 4, 13, 10, TEAL)
        c.line(1, 10, 13, 4, TEAL)
        for sy in (1, -1):
            y = 7 - 4 * sy
            c.line(7, y, 5, y - 2 * sy, TEAL)
            c.line(7, y, 9, y - 2 * sy, TEAL)
            for sx in (1, -1):
                bx, by = 7 - 4 * sx, 7 - 2 * sy
                c.line(bx - sx, by + sy, bx - 2 * sx, by + sy, TEAL)
                c.line(bx, by - sy, bx, by - 2 * sy, TEAL)
        c.dot(7, 7, AQUA)
    return c


def button_thunder(n):
    c = Canvas(n, smooth=False, grid=32 if n >= 32 else None)
    if n >= 32:
        c.paint(polygon(BOLT32), YELLOW, BLACK)
    else:
        # Wider than half the big bolt, or the outline would leave no yellow.
        c.paint(polygon([(8.0, 0.2), (14.8, 0.2), (10.4, 5.6), (14.6, 5.6), (4.0, 15.9),
                         (6.6, 8.4), (2.2, 8.4)]), YELLOW, BLACK)
    return c


# ---------------------------------------------------------------- .png writing

def png_bytes(canvas, factor):
    """An RGBA PNG of canvas shrunk by factor; each pixel averages a factor x factor
    block, so edges get real partial transparency instead of the icon's 1-bit mask."""
    n = canvas.size // factor
    raw = bytearray()
    for y in range(n):
        raw.append(0)  # no row filter
        for x in range(n):
            block = [canvas.px[y * factor + j][x * factor + i]
                     for j in range(factor) for i in range(factor)]
            solid = [c for c in block if c is not None]
            if not solid:
                raw += bytes(4)
                continue
            rgb = [int(round(sum(c[i] for c in solid) / len(solid))) for i in range(3)]
            raw += bytes(rgb + [int(round(255 * len(solid) / len(block)))])

    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body))
    header = struct.pack('>IIBBBBB', n, n, 8, 6, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header)
            + chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))


def write_png(rel, canvas, factor):
    path = os.path.join(ROOT, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(png_bytes(canvas, factor))
    print('wrote', rel)


# ---------------------------------------------------------------- output

def main():
    # Large images are drawn at 512 pixels and averaged down, for soft edges.
    window = draw_window(512)
    write_ico('resources/embedded/window.ico', [(draw_window(), 8)], [(window, 8), (window, 4), (window, 2)])
    logo = draw_logo(512)
    write_ico('resources/embedded/logo.ico', [(draw_logo(), 8)], [(logo, 8), (logo, 4)])
    weather = [('はれ', draw_sun), ('くもり', draw_cloud), ('あめ', draw_rain),
               ('ゆき', draw_snow), ('かみなり', draw_thunder)]
    for name, draw in weather:
        big = draw(512)
        write_ico('resources/weather/%s.ico' % name, [(draw(), 8)], [(big, 8), (big, 4)])
    buttons = [('sun', button_sun), ('cloud', button_cloud), ('rain', button_rain),
               ('snow', button_snow), ('thunder', button_thunder)]
    for name, draw in buttons:
        # The classic 16-colour look, hard edges and palette colours, at every size.
        write_ico('resources/embedded/button_%s.ico' % name, [(draw(32), 4), (draw(16), 4)],
                  [(draw(64), 1), (draw(128), 1)])
    # The launcher's icon: the window icon at 128 pixels.
    write_png('resources/launcher/merrow-nikki.png', window, 4)
    return 0


if __name__ == '__main__':
    sys.exit(main())
