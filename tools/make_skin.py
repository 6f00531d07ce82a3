#!/usr/bin/python3
"""Draws the player's skin and writes it to resources/skin/.

Everything is rendered with signed-distance shapes on a supersampled grid and
box-filtered down, so edges are anti-aliased and gradients are smooth. Images
with alpha are written as 32-bit BGRA BMPs (straight alpha) by hand, because
PIL does not write those reliably. Run by hand with Debian's python3-pil and
python3-numpy:  /usr/bin/python3 tools/make_skin.py
The output is deterministic; the build only compiles the files in."""
import math
import os
import struct
import sys

import numpy as np
from PIL import Image, ImageDraw, ImageFont

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "resources", "skin")
FONTS = "/usr/share/fonts/truetype"


def hexc(s):
    s = s.lstrip("#")
    return np.array([int(s[i:i + 2], 16) for i in (0, 2, 4)], dtype=float)


# ---------------------------------------------------------------------------
# Distance functions (negative inside), coordinates in output pixels.

def sd_circle(X, Y, cx, cy, r):
    return np.hypot(X - cx, Y - cy) - r


def sd_rrect(X, Y, x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    qx = np.abs(X - cx) - ((x1 - x0) / 2 - r)
    qy = np.abs(Y - cy) - ((y1 - y0) / 2 - r)
    outside = np.hypot(np.maximum(qx, 0), np.maximum(qy, 0))
    return outside + np.minimum(np.maximum(qx, qy), 0) - r


def sd_segment(X, Y, ax, ay, bx, by, r):
    ex, ey = bx - ax, by - ay
    wx, wy = X - ax, Y - ay
    t = np.clip((wx * ex + wy * ey) / (ex * ex + ey * ey), 0, 1)
    return np.hypot(wx - ex * t, wy - ey * t) - r


def sd_polyline(X, Y, pts, r):
    d = None
    for (ax, ay), (bx, by) in zip(pts, pts[1:]):
        s = sd_segment(X, Y, ax, ay, bx, by, r)
        d = s if d is None else np.minimum(d, s)
    return d


def sd_polygon(X, Y, pts):
    d = np.full(X.shape, np.inf)
    sign = np.ones(X.shape)
    n = len(pts)
    for i in range(n):
        ax, ay = pts[i]
        bx, by = pts[i - 1]
        ex, ey = bx - ax, by - ay
        wx, wy = X - ax, Y - ay
        t = np.clip((wx * ex + wy * ey) / (ex * ex + ey * ey), 0, 1)
        d = np.minimum(d, (wx - ex * t) ** 2 + (wy - ey * t) ** 2)
        c1 = Y >= ay
        c2 = Y < by
        c3 = ex * wy > ey * wx
        flip = (c1 & c2 & c3) | (~c1 & ~c2 & ~c3)
        sign = np.where(flip, -sign, sign)
    return sign * np.sqrt(d)


def sd_arc(X, Y, cx, cy, r, half, axis, w):
    """Arc of radius r, half-angle `half` either side of direction `axis`
    (radians, screen coordinates), stroke half-width w, round ends."""
    ux, uy = math.cos(axis), math.sin(axis)
    px, py = X - cx, Y - cy
    along = px * ux + py * uy
    perp = np.abs(-px * uy + py * ux)
    s, c = math.sin(half), math.cos(half)
    end = np.hypot(perp - s * r, along - c * r)
    ring = np.abs(np.hypot(px, py) - r)
    return np.where(c * perp > s * along, end, ring) - w


def smoothstep(e0, e1, x):
    t = np.clip((x - e0) / (e1 - e0), 0, 1)
    return t * t * (3 - 2 * t)


def blur(m, sigma):
    """Separable gaussian blur of a 2-D array (sigma in array pixels)."""
    if sigma <= 0:
        return m
    r = int(math.ceil(sigma * 3))
    k = np.exp(-0.5 * (np.arange(-r, r + 1) / sigma) ** 2)
    k /= k.sum()
    out = m
    for axis in (0, 1):
        a = np.moveaxis(out, axis, 0)
        p = np.pad(a, [(r, r)] + [(0, 0)] * (a.ndim - 1))
        acc = np.zeros_like(a)
        n = a.shape[0]
        for i, wgt in enumerate(k):
            acc += wgt * p[i:i + n]
        out = np.moveaxis(acc, 0, axis)
    return out


# ---------------------------------------------------------------------------
# Supersampled RGBA canvas (premultiplied while painting).

class Canvas:
    def __init__(self, w, h, ss=4, bg=None):
        self.w, self.h, self.ss = w, h, ss
        H, W = h * ss, w * ss
        self.rgb = np.zeros((H, W, 3))
        self.a = np.zeros((H, W))
        xs = (np.arange(W) + 0.5) / ss
        ys = (np.arange(H) + 0.5) / ss
        self.X, self.Y = np.meshgrid(xs, ys)
        if bg is not None:
            self.paint(np.ones((H, W)), bg)

    def cov(self, sdf, soft=0.0):
        """Coverage of sdf < 0, anti-aliased over one sub-sample (or `soft` px)."""
        width = max(1.0 / self.ss, soft)
        return np.clip(0.5 - sdf / width, 0, 1)

    def blur(self, m, px):
        return blur(m, px * self.ss)

    def paint(self, cov, colour, opacity=1.0):
        c = np.asarray(colour, dtype=float)
        if c.ndim == 1:
            c = c[None, None, :]
        k = np.clip(cov * opacity, 0, 1)
        self.rgb = self.rgb * (1 - k)[..., None] + c * k[..., None]
        self.a = self.a * (1 - k) + k

    def vgrad(self, stops):
        """Vertical gradient through (y, colour) stops."""
        return gradient(self.Y, stops)

    def text_mask(self, text, face, size, x, y, anchor="ls", spacing=0.0):
        s = self.ss
        img = Image.new("L", (self.w * s, self.h * s), 0)
        d = ImageDraw.Draw(img)
        f = ImageFont.truetype(os.path.join(FONTS, face), int(round(size * s)))
        if spacing:
            # letter-spaced: lay glyphs out one by one
            total = sum(f.getlength(ch) for ch in text) + spacing * s * (len(text) - 1)
            if anchor[0] == "m":
                cx = x * s - total / 2
            else:
                cx = x * s
            for ch in text:
                d.text((cx, y * s), ch, font=f, fill=255, anchor="l" + anchor[1])
                cx += f.getlength(ch) + spacing * s
        else:
            d.text((x * s, y * s), text, font=f, fill=255, anchor=anchor)
        return np.asarray(img, dtype=float) / 255.0

    def result(self):
        """Box-filter down; returns straight-alpha RGBA uint8 (h, w, 4)."""
        s, h, w = self.ss, self.h, self.w
        rgb = self.rgb.reshape(h, s, w, s, 3).mean(axis=(1, 3))
        a = self.a.reshape(h, s, w, s).mean(axis=(1, 3))
        safe = np.where(a > 1e-6, a, 1.0)
        straight = np.where(a[..., None] > 1e-6, rgb / safe[..., None], 0)
        out = np.zeros((h, w, 4), dtype=np.uint8)
        out[..., :3] = np.clip(np.round(straight), 0, 255).astype(np.uint8)
        out[..., 3] = np.clip(np.round(a * 255), 0, 255).astype(np.uint8)
        out[out[..., 3] == 0, :3] = 0
        return out

    def opaque(self, bg):
        """Flattened onto a solid colour; returns RGB uint8 (h, w, 3)."""
        rgba = self.result().astype(float)
        a = rgba[..., 3:4] / 255.0
        rgb = rgba[..., :3] * a + np.asarray(bg, float)[None, None, :] * (1 - a)
        return np.clip(np.round(rgb), 0, 255).astype(np.uint8)


def gradient(t_field, stops):
    ts = np.array([p for p, _ in stops], dtype=float)
    cols = np.array([c for _, c in stops], dtype=float)
    out = np.empty(t_field.shape + (3,))
    for ch in range(3):
        out[..., ch] = np.interp(t_field, ts, cols[:, ch])
    return out


def hsv(hue, sat, val):
    """Vectorised HSV to RGB (hue 0..1)."""
    h6 = (np.asarray(hue, float) % 1.0) * 6
    rgb = np.stack([np.clip(np.abs(h6 - 3) - 1, 0, 1),
                    np.clip(2 - np.abs(h6 - 2), 0, 1),
                    np.clip(2 - np.abs(h6 - 4), 0, 1)], axis=-1)
    return val * (1 - sat + sat * rgb)


def mix(a, b, t):
    t = np.asarray(t, dtype=float)
    if t.ndim:
        t = t[..., None]
    return np.asarray(a, float) * (1 - t) + np.asarray(b, float) * t


WHITE = hexc("ffffff")
BLACK = hexc("000000")


# ---------------------------------------------------------------------------
# Shaded primitives shared by several images.

def glossy_sphere(c, cx, cy, r, base, dark, light_rim, spec=1.0, outline=None):
    """A glass/enamel sphere: lit body, darker rim, soft bottom glow and a
    crisp highlight on top."""
    X, Y = c.X, c.Y
    nx, ny = (X - cx) / r, (Y - cy) / r
    rr = np.clip(nx * nx + ny * ny, 0, 1)
    nz = np.sqrt(1 - rr)
    lx, ly, lz = -0.35, -0.6, 0.72
    ln = math.sqrt(lx * lx + ly * ly + lz * lz)
    diff = np.clip((nx * lx + ny * ly + nz * lz) / ln, 0, 1)
    body = mix(dark, base, 0.25 + 0.75 * diff)
    # light scattered through the bottom of the ball
    glow = smoothstep(0.0, 0.9, ny) * smoothstep(0.45, 0.95, np.sqrt(rr))
    body = mix(body, light_rim, 0.55 * glow)
    if outline is not None:
        c.paint(c.cov(sd_circle(X, Y, cx, cy, r)), outline)
        c.paint(c.cov(sd_circle(X, Y, cx, cy, r - 0.8)), body)
    else:
        c.paint(c.cov(sd_circle(X, Y, cx, cy, r)), body)
    # crisp elliptical highlight
    ey = cy - 0.42 * r
    hl = np.hypot((X - cx) / (0.62 * r), (Y - ey) / (0.42 * r)) - 1
    fade = np.clip(1 - (Y - (ey - 0.42 * r)) / (0.84 * r), 0, 1) ** 1.2
    c.paint(c.cov(hl * 0.42 * r, soft=0.6), WHITE, 0.85 * spec * fade)
    # small hot spot
    hs = sd_circle(X, Y, cx - 0.28 * r, cy - 0.5 * r, 0.16 * r)
    c.paint(c.cov(hs, soft=0.7), WHITE, 0.7 * spec)


# ---------------------------------------------------------------------------
# 1. Transport strip

PANEL_W, PANEL_H = 480, 90
TILE0, TILE1 = 256, 266
RIGHT0 = 330
BUTTON_X = (26, 66, 106, 146, 186)
BUTTON_Y = 37
KNOB = (375.0, 53.0)
KNOB_R = 19.5


def draw_chevrons(c, mirror):
    def pts(x0):
        return [(x0 + 5.2, 7.6), (x0, 13.5), (x0 + 5.2, 19.4)]
    shapes = [pts(4.6), pts(11.2)]
    X = (PANEL_W - 2.0) - c.X if mirror else c.X
    d = np.minimum(sd_polyline(X, c.Y, shapes[0], 1.35),
                   sd_polyline(X, c.Y, shapes[1], 1.35))
    d_hl = np.minimum(sd_polyline(X, c.Y - 1.0, shapes[0], 1.35),
                      sd_polyline(X, c.Y - 1.0, shapes[1], 1.35))
    c.paint(c.cov(d_hl), WHITE, 0.75)
    fill = c.vgrad([(7, hexc("5b6d9a")), (19.5, hexc("27334f"))])
    c.paint(c.cov(d), fill)


def draw_panel():
    c = Canvas(PANEL_W, PANEL_H, ss=4)
    X, Y = c.X, c.Y
    everything = np.ones(X.shape)

    # Brushed silver-blue body: horizontal grain only, so any column tiles.
    base = c.vgrad([(0, hexc("eef1f8")), (3, hexc("e1e5f0")), (40, hexc("cdd3e4")),
                    (88, hexc("aab3cb")), (90, hexc("a3acc5"))])
    rng = np.random.default_rng(20240611)
    grain_rows = rng.normal(0, 1, PANEL_H * c.ss)
    grain_rows = np.convolve(grain_rows, [0.25, 0.5, 0.25], mode="same") * 2.2
    base = base + grain_rows[:, None, None]
    c.paint(everything, base)
    # hairline top edge against the video area, with a light line under it
    c.paint(c.cov(Y - 1.0), hexc("6f7894"))
    c.paint(c.cov(np.abs(Y - 1.5) - 0.5), WHITE, 0.85)
    c.paint(c.cov(89.0 - Y), hexc("7d86a2"), 0.9)

    # Seek groove between the skip arrows.
    gx0, gx1, gy0, gy1 = 28.5, PANEL_W - 28.5, 9.0, 19.0
    c.paint(c.cov(sd_rrect(X, Y - 1.0, gx0, gy0, gx1, gy1, 5)), WHITE, 0.8)
    c.paint(c.cov(sd_rrect(X, Y, gx0, gy0, gx1, gy1, 5)), hexc("5d6887"))
    groove = c.vgrad([(gy0, hexc("151c30")), (gy0 + 3, hexc("222c47")),
                      (gy1, hexc("3c4a72"))])
    c.paint(c.cov(sd_rrect(X, Y, gx0 + 1, gy0 + 1, gx1 - 1, gy1 - 1, 4)), groove)
    # faint reflection along the bottom of the channel
    c.paint(c.cov(np.abs(Y - (gy1 - 2.2)) - 0.5, soft=0.8)
            * c.cov(sd_rrect(X, Y, gx0 + 3, gy0, gx1 - 3, gy1, 4)),
            hexc("8fa8e0"), 0.35)

    draw_chevrons(c, mirror=False)
    draw_chevrons(c, mirror=True)

    # Button bed: a raised light panel with a socket under each button.
    bx0, by0, bx1, by1 = 8.0, 30.0, 237.0, 76.0
    sh = c.blur(c.cov(sd_rrect(X, Y - 1.5, bx0, by0, bx1, by1, 14)), 1.6)
    c.paint(sh, hexc("2a3350"), 0.35)
    c.paint(c.cov(sd_rrect(X, Y, bx0, by0, bx1, by1, 14)), hexc("7f89a8"))
    bed = c.vgrad([(by0, hexc("fbfcff")), (by0 + 12, hexc("eef1f8")),
                   (by1, hexc("cfd5e6"))])
    c.paint(c.cov(sd_rrect(X, Y, bx0 + 1, by0 + 1, bx1 - 1, by1 - 1, 13)), bed)
    # soft inner highlight along the top rim
    rim = c.cov(sd_rrect(X, Y, bx0 + 1, by0 + 1, bx1 - 1, by1 - 1, 13)) \
        * (1 - c.cov(sd_rrect(X, Y - 1.0, bx0 + 1, by0 + 1, bx1 - 1, by1 - 1, 13)))
    c.paint(rim, WHITE, 0.9)
    for bx in BUTTON_X:
        cx, cy = bx + 16.0, BUTTON_Y + 16.0
        well = c.vgrad([(cy - 18, hexc("8a94b0")), (cy + 18, hexc("ffffff"))])
        c.paint(c.cov(sd_circle(X, Y, cx, cy, 18.2)), well)
        c.paint(c.cov(sd_circle(X, Y, cx, cy, 16.4)), hexc("4a5578"))
        # shadow the button casts into its socket
        c.paint(c.blur(c.cov(sd_circle(X, Y - 1.2, cx, cy, 15.6)), 1.0), hexc("141a2c"), 0.6)

    # Time box: dark glass, inset, stretching through the tiled columns; its
    # rounded ends lie outside columns 255-330, so a 480-wide strip is unchanged.
    tx0, ty0, tx1, ty1 = 250.0, 27.0, PANEL_W - 142.0, 80.0
    c.paint(c.cov(sd_rrect(X - 0.5, Y - 1.0, tx0, ty0, tx1, ty1, 6)), WHITE, 0.85)
    c.paint(c.cov(sd_rrect(X, Y, tx0, ty0, tx1, ty1, 6)), hexc("3b4462"))
    box = c.vgrad([(ty0, hexc("03060d")), (ty0 + 8, hexc("0a1020")),
                   (ty1, hexc("16203a"))])
    inner = c.cov(sd_rrect(X, Y, tx0 + 1, ty0 + 1, tx1 - 1, ty1 - 1, 5))
    c.paint(inner, box)
    # glass reflection over the upper half
    refl = c.cov(sd_rrect(X, Y, tx0 + 2, ty0 + 2, tx1 - 2, ty0 + 22, 4))
    c.paint(refl * np.clip(1 - (Y - ty0) / 22, 0, 1) ** 1.5, hexc("6f88c0"), 0.16)
    # bevel: lit bottom edge, shaded top edge
    c.paint(inner * (1 - c.cov(sd_rrect(X, Y + 1.0, tx0 + 1, ty0 + 1, tx1 - 1, ty1 - 1, 5))),
            hexc("4a5f94"), 0.7)
    c.paint(inner * (1 - c.cov(sd_rrect(X, Y - 1.5, tx0 + 1, ty0 + 1, tx1 - 1, ty1 - 1, 5))),
            BLACK, 0.55)

    # Volume knob.
    kx, ky = KNOB
    # travel end ticks, lower left and lower right
    for sgn in (-1, 1):
        ux, uy = sgn * math.sqrt(0.5), math.sqrt(0.5)
        seg = sd_segment(X, Y, kx + ux * 24.0, ky + uy * 24.0,
                         kx + ux * 28.0, ky + uy * 28.0, 0.85)
        seg_hl = sd_segment(X, Y - 1.0, kx + ux * 24.0, ky + uy * 24.0,
                            kx + ux * 28.0, ky + uy * 28.0, 0.85)
        c.paint(c.cov(seg_hl), WHITE, 0.8)
        c.paint(c.cov(seg), hexc("3e4a6c"))
    # recessed collar
    collar = c.vgrad([(ky - 23, hexc("8b94ae")), (ky + 23, hexc("f4f6fb"))])
    c.paint(c.cov(sd_circle(X, Y, kx, ky, 22.6)), collar)
    c.paint(c.cov(sd_circle(X, Y, kx, ky, 21.2)), hexc("4c5677"))
    c.paint(c.blur(c.cov(sd_circle(X, Y - 1.8, kx, ky, KNOB_R)), 1.2), hexc("0c1020"), 0.65)
    # chamfered rim, lit from the top left
    ang = np.arctan2(Y - ky, X - kx)
    lit = 0.5 + 0.5 * np.cos(ang - math.radians(-125))
    rim_col = mix(hexc("6d7488"), hexc("ffffff"), lit)
    c.paint(c.cov(sd_circle(X, Y, kx, ky, KNOB_R)), rim_col)
    # brushed face: conic sheen plus fine concentric grain
    rr = np.hypot(X - kx, Y - ky)
    sheen = 0.55 * np.cos(2 * (ang - math.radians(-60))) + 0.2 * np.cos(4 * ang + 0.7)
    grain = rng.normal(0, 1, 400)
    grain = np.convolve(grain, [0.2, 0.6, 0.2], mode="same")
    g = np.interp(rr * 16.0, np.arange(400), grain)
    lum = 196 + 34 * sheen + 5 * g
    face = np.stack([lum - 6, lum - 2, lum + 6], axis=-1)
    c.paint(c.cov(sd_circle(X, Y, kx, ky, KNOB_R - 2.0)), face)
    # thin dark line between rim and face
    c.paint(c.cov(np.abs(rr - (KNOB_R - 2.0)) - 0.35), hexc("5a6380"), 0.45)

    # Perforated grille behind the mute icon.
    gcx, gcy = 422.5, 34.5
    for j in range(9):
        for i in range(12):
            px, py = 405.5 + 3.0 * i, 22.5 + 3.0 * j
            e = math.hypot((px - gcx) / 19.0, (py - gcy) / 14.0)
            if e >= 1.0:
                continue
            fade = 1 - smoothstep(0.55, 1.0, np.array(e))
            c.paint(c.cov(sd_circle(X, Y, px, py + 0.7, 0.85)), WHITE, 0.8 * fade)
            c.paint(c.cov(sd_circle(X, Y, px, py, 0.85)), hexc("4f5a7c"), 0.85 * fade)

    # Maker's mark: a small tile with a play notch, then the name.
    lx0, ly0 = 404.0, 70.0
    tile = sd_rrect(X, Y, lx0, ly0, lx0 + 12, ly0 + 12, 3)
    c.paint(c.cov(sd_rrect(X, Y - 1.0, lx0, ly0, lx0 + 12, ly0 + 12, 3)), WHITE, 0.7)
    t = np.clip(((X - lx0) + (Y - ly0)) / 24, 0, 1)
    c.paint(c.cov(tile), mix(hexc("4a6ccc"), hexc("8a5ab8"), t), 0.85)
    c.paint(c.cov(tile) * np.clip(1 - (Y - ly0) / 6, 0, 1), WHITE, 0.3)
    tri = sd_polygon(X, Y, [(lx0 + 4.4, ly0 + 3.0), (lx0 + 9.4, ly0 + 6.0), (lx0 + 4.4, ly0 + 9.0)])
    c.paint(c.cov(tri), WHITE, 0.95)
    word = c.text_mask("quorva", "dejavu/DejaVuSans-Bold.ttf", 10.5, lx0 + 15.5, ly0 + 9.5,
                       spacing=0.4)
    word_hl = np.roll(word, c.ss, axis=0)
    c.paint(word_hl, WHITE, 0.75)
    c.paint(word, hexc("5f6a8c"))

    rgb = c.opaque(hexc("000000"))
    # The tiled columns must be exactly uniform row by row.
    for x in range(TILE0 + 1, TILE1 + 1):
        assert np.max(np.abs(rgb[:, x].astype(int) - rgb[:, TILE0].astype(int))) <= 1, x
    rgb[:, TILE0 + 1:TILE1 + 1] = rgb[:, TILE0:TILE0 + 1]
    return rgb


# ---------------------------------------------------------------------------
# 2. Playlist edge

PLAYLIST_BG = (0xE8, 0xE6, 0xF4)


def draw_playlist_edge():
    w, h = 8, 50
    row = [PLAYLIST_BG, PLAYLIST_BG, (0xE5, 0xE3, 0xF2), (0xE2, 0xE0, 0xF0),
           (0xDF, 0xDC, 0xEE), (0xDB, 0xD8, 0xEB), (0xD6, 0xD2, 0xE8), (0xB9, 0xB4, 0xD4)]
    img = np.array([row] * h, dtype=np.uint8)
    dark, mid, light = (0x8A, 0x84, 0xB2), (0xA6, 0xA1, 0xC8), (0xFF, 0xFF, 0xFF)
    for k in range(5):
        y = 16 + 4 * k
        img[y + 1, 4] = light
        img[y + 2, 3] = light
        img[y + 2, 4] = light
        img[y, 2] = mid
        img[y, 3] = dark
        img[y + 1, 2] = dark
        img[y + 1, 3] = mid
    return img


# ---------------------------------------------------------------------------
# 3. Splash

def draw_splash():
    w, h, s = 320, 240, 3
    W, H = w * s, h * s
    xs = (np.arange(W) + 0.5) / s
    ys = (np.arange(H) + 0.5) / s
    X, Y = np.meshgrid(xs, ys)
    acc = np.zeros((H, W, 3))

    # deep blue haze behind the title
    haze = np.exp(-(((X - 160) / 120) ** 2 + ((Y - 112) / 60) ** 2))
    acc += haze[..., None] * hexc("0d1a3c")[None, None, :]

    # flowing ribbons of light
    edge_fade = smoothstep(0, 70, X) * smoothstep(0, 70, w - X)
    for i in range(9):
        img = Image.new("L", (W, H), 0)
        d = ImageDraw.Draw(img)
        ph = 0.55 * i
        amp = 18 + 3.5 * i
        pts = []
        for k in range(0, 341 * 2):
            x = -10 + k * 0.5
            y = (150 + 2.2 * i
                 + amp * math.sin(2 * math.pi * x / 230 + ph)
                 + 9 * math.sin(2 * math.pi * x / 97 - 0.8 * ph + 1.1))
            pts.append((x * s, y * s))
        d.line(pts, fill=255, width=max(1, int(round((0.9 + 0.15 * (i % 3)) * s))))
        m = np.asarray(img, dtype=float) / 255.0
        hue = (0.50 + 0.035 * i + 0.22 * X / w) % 1.0
        cols = hsv(hue, 0.75, 255.0)
        strength = (0.55 + 0.45 * math.sin(i * 1.7 + 0.3) ** 2) * edge_fade
        glow = blur(m, 3.5 * s) * 4.0
        acc += cols * ((m * 0.75 + glow * 0.55) * strength)[..., None]

    acc = 255 * (1 - np.exp(-acc / 255 * 1.15)) / (1 - math.exp(-1.15 * 1.4))

    # title with a soft glow
    canvas_font = ImageFont.truetype(os.path.join(FONTS, "dejavu/DejaVuSans-Bold.ttf"), 58 * s)
    img = Image.new("L", (W, H), 0)
    ImageDraw.Draw(img).text((160 * s, 108 * s), "Quorva", font=canvas_font, fill=255, anchor="ms")
    title = np.asarray(img, dtype=float) / 255.0
    glow_wide = blur(title, 10 * s)
    glow_near = blur(title, 3 * s)
    acc += glow_wide[..., None] * hexc("2f7dff")[None, None, :] * 1.6
    acc += glow_near[..., None] * hexc("6fb8ff")[None, None, :] * 1.0
    fill = gradient(Y, [(66, hexc("ffffff")), (95, hexc("e6f0ff")), (108, hexc("a8c8ff"))])
    acc = acc * (1 - title[..., None]) + fill * title[..., None]

    sub_font = ImageFont.truetype(os.path.join(FONTS, "dejavu/DejaVuSans.ttf"), 17 * s)
    img = Image.new("L", (W, H), 0)
    d = ImageDraw.Draw(img)
    text = "MEDIA PLAYER"
    gap = 3.2 * s
    total = sum(sub_font.getlength(ch) for ch in text) + gap * (len(text) - 1)
    cx = 160 * s - total / 2
    for ch in text:
        d.text((cx, 136 * s), ch, font=sub_font, fill=255, anchor="ls")
        cx += sub_font.getlength(ch) + gap
    sub = np.asarray(img, dtype=float) / 255.0
    acc += blur(sub, 2.5 * s)[..., None] * hexc("2f6fe0")[None, None, :] * 0.9
    acc = acc * (1 - sub[..., None]) + hexc("c6dafc")[None, None, :] * sub[..., None]

    # black at the borders so it melts into the video area
    border = smoothstep(2, 26, X) * smoothstep(2, 26, w - X) * \
        smoothstep(2, 22, Y) * smoothstep(2, 22, h - Y)
    acc *= border[..., None]
    out = acc.reshape(h, s, w, s, 3).mean(axis=(1, 3))
    out = np.clip(np.round(out), 0, 255).astype(np.uint8)
    return out


# ---------------------------------------------------------------------------
# 4. Disc

def draw_disc():
    c = Canvas(100, 100, ss=4)
    X, Y = c.X, c.Y
    cx, cy = 50.0, 50.0
    rr = np.hypot(X - cx, Y - cy)
    ang = np.arctan2(Y - cy, X - cx)
    R = 48.0
    annulus = c.cov(sd_circle(X, Y, cx, cy, R)) * (1 - c.cov(sd_circle(X, Y, cx, cy, 7.5)))

    # mirror band: cool silver with a bright diagonal reflection
    lum = 178 + 52 * np.cos(2 * (ang - math.radians(-40))) ** 3 \
        + 14 * np.cos(2 * (ang - math.radians(10)))
    silver = np.stack([lum - 4, lum, lum + 8], axis=-1)
    # rainbow diffraction: spectral bands running outwards, in two narrow
    # opposite sectors either side of the reflection
    band = (rr - 17.0) / 30.0
    hue = (0.02 + 0.85 * band + 0.06 * np.sin(2 * ang)) % 1.0
    rainbow = hsv(hue, 0.85, 250.0)
    lobe = np.cos(ang - math.radians(35)) ** 2
    amount = 0.55 * lobe ** 6 + 0.12 * lobe
    amount = amount * smoothstep(17, 22, rr) * (1 - smoothstep(44, 47.5, rr))
    data = mix(silver, rainbow, amount)
    # fine tracks
    rng = np.random.default_rng(7)
    tracks = np.interp(rr * 4, np.arange(220), rng.normal(0, 1, 220))
    data = data + (3.5 * tracks)[..., None]
    c.paint(annulus, data)

    # outer rim
    rim = c.cov(sd_circle(X, Y, cx, cy, R)) * (1 - c.cov(sd_circle(X, Y, cx, cy, R - 1.3)))
    rim_lit = 0.5 + 0.5 * np.cos(ang - math.radians(-120))
    c.paint(rim, mix(hexc("8e96a8"), hexc("f4f6fa"), rim_lit))
    c.paint(c.cov(np.abs(rr - R) - 0.3), hexc("6d7588"), 0.6)

    # clear hub with the stacking ring
    hub = c.cov(sd_circle(X, Y, cx, cy, 17.0)) * (1 - c.cov(sd_circle(X, Y, cx, cy, 7.5)))
    hub_col = mix(hexc("dfe3ea"), hexc("f7f8fb"), 0.5 + 0.5 * np.cos(ang - math.radians(-120)))
    c.paint(hub, hub_col)
    c.paint(c.cov(np.abs(rr - 17.0) - 0.45), hexc("9aa2b4"), 0.9)
    c.paint(c.cov(np.abs(rr - 12.5) - 0.9), hexc("c5cbd7"), 0.8)
    c.paint(c.cov(np.abs(rr - 11.8) - 0.25), WHITE, 0.8)
    c.paint(c.cov(np.abs(rr - 7.9) - 0.45), hexc("a7aebd"), 0.9)

    return c.opaque(hexc("ffffff"))


# ---------------------------------------------------------------------------
# 5/6. Ball and knob dot

def draw_ball():
    c = Canvas(16, 16, ss=8)
    glossy_sphere(c, 8.0, 8.0, 7.3, base=hexc("ff9a1e"), dark=hexc("b24a00"),
                  light_rim=hexc("ffd36a"), outline=hexc("8a3a02"))
    return c.result()


def draw_knob_dot():
    c = Canvas(12, 12, ss=8)
    glossy_sphere(c, 6.0, 6.0, 5.3, base=hexc("8da2c8"), dark=hexc("3a4a6c"),
                  light_rim=hexc("c8d6f0"), spec=0.9, outline=hexc("2c3854"))
    return c.result()


# ---------------------------------------------------------------------------
# 7. Mute icon

def speaker(c, oy):
    X, Y = c.X, c.Y - oy
    body = [(2.0, 6.2), (6.2, 6.2), (11.2, 2.0), (11.2, 16.0), (6.2, 11.8), (2.0, 11.8)]
    d = sd_polygon(X, Y, body) - 0.35
    c.paint(c.blur(c.cov(sd_polygon(X, Y - 0.8, body) - 0.35), 0.6), hexc("0a1430"), 0.35)
    c.paint(c.cov(d - 0.9), hexc("163a7c"))
    fill = gradient(Y, [(2, hexc("8cc4ff")), (9, hexc("3f86e6")), (16, hexc("1f58b8"))])
    c.paint(c.cov(d + 0.1), fill)
    c.paint(c.cov(sd_polygon(X, Y, [(3, 6.8), (6.6, 6.8), (10.4, 3.6), (10.4, 7.0), (3, 8.6)])),
            WHITE, 0.35)
    return d


def draw_mute_icon():
    c = Canvas(22, 36, ss=8)
    X = c.X
    # rows 0-17: speaker with two sound waves
    speaker(c, 0.0)
    for r, op in ((4.6, 1.0), (8.2, 0.9)):
        a = sd_arc(X, c.Y, 10.4, 9.0, r, math.radians(48), 0.0, 0.85)
        c.paint(c.cov(a - 0.75), hexc("163a7c"), op)
        c.paint(c.cov(a), gradient(c.Y, [(0, hexc("7fbaff")), (18, hexc("2a6ad0"))]), op)
    # rows 18-35: the same speaker, crossed out
    speaker(c, 18.0)
    Y = c.Y - 18.0
    cx, cy, r = 14.6, 10.0, 6.4
    ring = np.abs(np.hypot(X - cx, Y - cy) - r) - 1.05
    c.paint(c.cov(sd_circle(X, Y, cx, cy, r)), WHITE, 0.22)
    d = math.sqrt(0.5)
    bar = sd_segment(X, Y, cx - r * d, cy - r * d, cx + r * d, cy + r * d, 1.05)
    sign = np.minimum(ring, bar)
    c.paint(c.cov(sign - 0.7), hexc("6a0a0a"), 0.9)
    c.paint(c.cov(sign), gradient(Y, [(1, hexc("ff6a5a")), (17, hexc("d01818"))]))
    return c.result()


# ---------------------------------------------------------------------------
# 8. Button faces

def draw_button_faces():
    c = Canvas(32, 96, ss=8)
    looks = [
        # rim, deep top, glowing bottom, gloss strength
        (hexc("1d2f52"), hexc("2c4677"), hexc("86a8dc"), 0.8),
        (hexc("0d3a86"), hexc("125fd6"), hexc("7ccaff"), 0.85),
        (hexc("7a3305"), hexc("c85a08"), hexc("ffc46a"), 0.55),
    ]
    for k, (rim, deep, bright, gloss) in enumerate(looks):
        oy = 32.0 * k
        X, Y = c.X, c.Y - oy
        cx = cy = 16.0
        inside = (Y >= 0) & (Y < 32)
        m = inside.astype(float)
        c.paint(c.cov(sd_circle(X, Y, cx, cy, 15.5)) * m, rim)
        t = np.clip((Y - 1.0) / 30.0, 0, 1) ** 1.6
        body = mix(deep, bright, t)
        # deeper at the edge, for a domed look
        edge = smoothstep(9.0, 14.5, np.hypot(X - cx, Y - cy))
        body = mix(body, deep * 0.75, 0.35 * edge * (1 - t))
        c.paint(c.cov(sd_circle(X, Y, cx, cy, 14.5)) * m, body)
        # light caught inside the bottom of the glass
        ring = c.cov(sd_circle(X, Y, cx, cy, 14.5)) * (1 - c.cov(sd_circle(X, Y - 1.2, cx, cy, 13.6), soft=0.8))
        c.paint(ring * m * smoothstep(14, 30, Y), bright, 0.8)
        # gloss cap
        gl = (np.hypot((X - cx) / 11.2, (Y - 9.6) / 7.4) - 1) * 7.4
        fade = np.clip(1 - (Y - 2.2) / 14.8, 0, 1) ** 1.3
        c.paint(c.cov(gl, soft=0.5) * m, WHITE, gloss * (0.12 + 0.78 * fade))
    return c.result()


# ---------------------------------------------------------------------------
# 9. Button icons

def icon_shapes(k, X, Y):
    cx = 16.0
    if k == 0:    # play
        return sd_polygon(X, Y, [(12.6, 9.8), (22.4, 16.0), (12.6, 22.2)]) - 0.6
    if k == 1:    # pause
        return np.minimum(sd_rrect(X, Y, 10.8, 9.8, 14.6, 22.2, 0.9),
                          sd_rrect(X, Y, 17.4, 9.8, 21.2, 22.2, 0.9))
    if k == 2:    # stop
        return sd_rrect(X, Y, 10.5, 10.5, 21.5, 21.5, 1.6)
    if k in (3, 4):   # previous / next track
        Xm = X if k == 3 else 2 * cx - X
        bar = sd_rrect(Xm, Y, 9.4, 10.2, 11.6, 21.8, 0.6)
        t1 = sd_polygon(Xm, Y, [(12.6, 16.0), (17.6, 10.6), (17.6, 21.4)]) - 0.45
        t2 = sd_polygon(Xm, Y, [(17.6, 16.0), (22.6, 10.6), (22.6, 21.4)]) - 0.45
        return np.minimum(bar, np.minimum(t1, t2))
    # repeat: two arcs chasing each other
    def half(Xp, Yp):
        r, w = 5.6, 1.05
        arc = sd_arc(Xp, Yp, cx, 16.0, r, math.radians(62), -math.pi / 2, w)
        phi = math.radians(72)
        ex, ey = cx + r * math.sin(phi), 16.0 - r * math.cos(phi)
        tx, ty = math.cos(phi), math.sin(phi)
        nx, ny = -ty, tx
        head = sd_polygon(Xp, Yp, [(ex + tx * 3.6, ey + ty * 3.6),
                                   (ex - tx * 0.6 + nx * 3.2, ey - ty * 0.6 + ny * 3.2),
                                   (ex - tx * 0.6 - nx * 3.2, ey - ty * 0.6 - ny * 3.2)]) - 0.3
        return np.minimum(arc, head)
    return np.minimum(half(X, Y), half(2 * cx - X, 32.0 - Y))


def draw_button_icons():
    c = Canvas(32, 192, ss=8)
    for k in range(6):
        oy = 32.0 * k
        X, Y = c.X, c.Y - oy
        m = ((Y >= 0) & (Y < 32)).astype(float)
        d = icon_shapes(k, X, Y)
        shadow = c.blur(c.cov(icon_shapes(k, X, Y - 1.0) - 0.4) * m, 0.9)
        c.paint(shadow, hexc("06102a"), 0.6)
        fill = gradient(Y, [(9, hexc("ffffff")), (23, hexc("e2eaf8"))])
        c.paint(c.cov(d) * m, fill)
    return c.result()


# ---------------------------------------------------------------------------
# 10. Hand cursor

CURSOR_HOTSPOT = (4, 6)


def hand_shape(X, Y):
    finger = sd_segment(X, Y, 4.5, 6.6, 4.5, 19.0, 2.5)
    k1 = sd_segment(X, Y, 9.2, 15.2, 9.2, 20.0, 2.3)
    k2 = sd_segment(X, Y, 13.8, 16.0, 13.8, 20.5, 2.25)
    k3 = sd_segment(X, Y, 18.2, 17.4, 18.2, 21.0, 2.1)
    palm = sd_polygon(X, Y, [(2.0, 17.0), (20.3, 18.5), (20.3, 24.5), (17.2, 29.2),
                             (7.8, 29.2), (2.2, 23.8)]) - 1.0
    thumb = sd_segment(X, Y, 7.2, 24.2, 2.0, 20.0, 1.9)
    return np.minimum.reduce([finger, k1, k2, k3, palm, thumb])


def draw_hand():
    c = Canvas(32, 32, ss=8)
    X, Y = c.X, c.Y
    hand = hand_shape(X, Y)
    # soft shadow down-right, then the black outline, then the white hand
    c.paint(c.blur(c.cov(hand_shape(X - 1.0, Y - 1.0) - 1.2), 0.9), BLACK, 0.35)
    c.paint(c.cov(hand - 1.15), BLACK)
    shade = mix(hexc("ffffff"), hexc("d3d9e6"), smoothstep(5, 21, X) * 0.85)
    c.paint(c.cov(hand + 0.05), shade)
    # creases between the folded fingers and along the thumb
    crease = hexc("3a3f4c")
    for x0, y0, y1 in ((6.9, 15.4, 18.6), (11.5, 15.8, 19.2), (16.0, 17.0, 20.0)):
        c.paint(c.cov(sd_segment(X, Y, x0, y0, x0, y1, 0.45)), crease, 0.85)
    c.paint(c.cov(sd_segment(X, Y, 5.6, 21.6, 8.6, 24.0, 0.42)), crease, 0.7)
    return c.result()


# ---------------------------------------------------------------------------
# File writers

def _bmp_headers(w, h, bpp, image_size, colours=0):
    offset = 14 + 40 + 4 * colours
    file_header = struct.pack("<2sIHHI", b"BM", offset + image_size, 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, bpp, 0, image_size, 2835, 2835,
                       colours, 0)
    return file_header + info


def write_bmp24(path, rgb):
    h, w, _ = rgb.shape
    stride = (w * 3 + 3) & ~3
    rows = []
    for y in range(h - 1, -1, -1):
        rows.append(rgb[y, :, ::-1].tobytes() + b"\0" * (stride - w * 3))
    data = b"".join(rows)
    with open(path, "wb") as f:
        f.write(_bmp_headers(w, h, 24, len(data)) + data)


def write_bmp32(path, rgba):
    h, w, _ = rgba.shape
    bgra = rgba[:, :, [2, 1, 0, 3]]
    data = b"".join(bgra[y].tobytes() for y in range(h - 1, -1, -1))
    with open(path, "wb") as f:
        f.write(_bmp_headers(w, h, 32, len(data)) + data)


def write_bmp8(path, rgb):
    h, w, _ = rgb.shape
    palette = []
    index = {}
    # top-left first so index 0 is the window background
    for y in range(h):
        for x in range(w):
            key = tuple(int(v) for v in rgb[y, x])
            if key not in index:
                index[key] = len(palette)
                palette.append(key)
    assert len(palette) <= 256, len(palette)
    stride = (w + 3) & ~3
    rows = []
    for y in range(h - 1, -1, -1):
        rows.append(bytes(index[tuple(int(v) for v in rgb[y, x])] for x in range(w))
                    + b"\0" * (stride - w))
    data = b"".join(rows)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    with open(path, "wb") as f:
        f.write(_bmp_headers(w, h, 8, len(data), len(palette)) + table + data)


def write_cur(path, rgba, hotspot):
    h, w, _ = rgba.shape
    bgra = rgba[:, :, [2, 1, 0, 3]]
    xor = b"".join(bgra[y].tobytes() for y in range(h - 1, -1, -1))
    mask_stride = ((w + 31) // 32) * 4
    and_rows = []
    for y in range(h - 1, -1, -1):
        bits = bytearray(mask_stride)
        for x in range(w):
            if rgba[y, x, 3] == 0:      # 1 = leave the screen alone
                bits[x // 8] |= 0x80 >> (x % 8)
        and_rows.append(bytes(bits))
    andmask = b"".join(and_rows)
    info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(andmask),
                       0, 0, 0, 0)
    image = info + xor + andmask
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", w, h, 0, 0, hotspot[0], hotspot[1], len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(directory + entry + image)


# ---------------------------------------------------------------------------
# Reading back, to check what was written

def read_bmp(path):
    """Returns (bit count, RGBA uint8 array) for the BMPs written above."""
    with open(path, "rb") as f:
        data = f.read()
    magic, size, _, _, offset = struct.unpack_from("<2sIHHI", data, 0)
    assert magic == b"BM" and size == len(data), path
    (hsize, w, h, planes, bpp, comp, isize, _, _, used, _) = \
        struct.unpack_from("<IiiHHIIiiII", data, 14)
    assert hsize == 40 and planes == 1 and comp == 0 and h > 0, path
    out = np.zeros((h, w, 4), dtype=np.uint8)
    if bpp == 8:
        n = used or 256
        pal = np.frombuffer(data, np.uint8, n * 4, 54).reshape(n, 4)
        stride = (w + 3) & ~3
        for y in range(h):
            idx = np.frombuffer(data, np.uint8, w, offset + (h - 1 - y) * stride)
            out[y, :, :3] = pal[idx][:, [2, 1, 0]]
        out[..., 3] = 255
    elif bpp == 24:
        stride = (w * 3 + 3) & ~3
        for y in range(h):
            row = np.frombuffer(data, np.uint8, w * 3, offset + (h - 1 - y) * stride)
            out[y, :, :3] = row.reshape(w, 3)[:, ::-1]
        out[..., 3] = 255
    elif bpp == 32:
        for y in range(h):
            row = np.frombuffer(data, np.uint8, w * 4, offset + (h - 1 - y) * w * 4)
            out[y] = row.reshape(w, 4)[:, [2, 1, 0, 3]]
    else:
        raise ValueError(path)
    return bpp, out


def read_cur(path):
    with open(path, "rb") as f:
        data = f.read()
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    assert (reserved, kind, count) == (0, 2, 1), path
    w, h, _, _, hx, hy, size, offset = struct.unpack_from("<BBBBHHII", data, 6)
    (hsize, bw, bh, planes, bpp) = struct.unpack_from("<IiiHH", data, offset)
    assert hsize == 40 and bw == w and bh == 2 * h and planes == 1, path
    assert offset + size == len(data) == offset + 40 + w * h * 4 + h * 4, path
    return (w, h, bpp, (hx, hy))


EXPECTED = {
    "controls_panel.bmp": (480, 90, 24),
    "playlist_edge.bmp": (8, 50, 8),
    "splash.bmp": (320, 240, 24),
    "disc.bmp": (100, 100, 24),
    "ball.bmp": (16, 16, 32),
    "knob_dot.bmp": (12, 12, 32),
    "mute_icon.bmp": (22, 36, 32),
    "button_faces.bmp": (32, 96, 32),
    "button_icons.bmp": (32, 192, 32),
}


def check():
    for name, (w, h, bpp) in EXPECTED.items():
        got_bpp, img = read_bmp(os.path.join(OUT, name))
        assert (img.shape[1], img.shape[0], got_bpp) == (w, h, bpp), (name, img.shape, got_bpp)
        print("%-20s %3d x %3d  %2d-bit" % (name, w, h, bpp))
    _, edge = read_bmp(os.path.join(OUT, "playlist_edge.bmp"))
    assert tuple(edge[0, 0, :3]) == PLAYLIST_BG
    assert (edge[0] == edge[1]).all()
    _, disc = read_bmp(os.path.join(OUT, "disc.bmp"))
    assert tuple(disc[0, 0, :3]) == (255, 255, 255) and tuple(disc[50, 50, :3]) == (255, 255, 255)
    _, panel = read_bmp(os.path.join(OUT, "controls_panel.bmp"))
    assert (panel[:, TILE0:TILE1 + 1] == panel[:, TILE0:TILE0 + 1]).all()
    _, splash = read_bmp(os.path.join(OUT, "splash.bmp"))
    splash = splash[..., :3]
    assert not splash[0].any() and not splash[-1].any() \
        and not splash[:, 0].any() and not splash[:, -1].any()
    w, h, bpp, hot = read_cur(os.path.join(OUT, "hand.cur"))
    assert (w, h, bpp, hot) == (32, 32, 32, CURSOR_HOTSPOT)
    print("%-20s %3d x %3d  %2d-bit  hot spot %s" % ("hand.cur", w, h, bpp, hot))


def main():
    os.makedirs(OUT, exist_ok=True)
    p = lambda name: os.path.join(OUT, name)
    write_bmp24(p("controls_panel.bmp"), draw_panel())
    write_bmp8(p("playlist_edge.bmp"), draw_playlist_edge())
    write_bmp24(p("splash.bmp"), draw_splash())
    write_bmp24(p("disc.bmp"), draw_disc())
    write_bmp32(p("ball.bmp"), draw_ball())
    write_bmp32(p("knob_dot.bmp"), draw_knob_dot())
    write_bmp32(p("mute_icon.bmp"), draw_mute_icon())
    write_bmp32(p("button_faces.bmp"), draw_button_faces())
    write_bmp32(p("button_icons.bmp"), draw_button_icons())
    write_cur(p("hand.cur"), draw_hand(), CURSOR_HOTSPOT)
    check()


if __name__ == "__main__":
    sys.exit(main())
