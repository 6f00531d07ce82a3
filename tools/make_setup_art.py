#!/usr/bin/python3
"""Draws the installer's artwork and writes it to resources/setup/:

  background.jpg  1600 x 900 baseline JPEG, the full-screen backdrop behind
                  Setup's windows (shown letter-boxed, so it is drawn for 16:9)
  banner.bmp      320 x 70 24-bit BMP, the strip at the top of every page and
                  of the status window
  setup.ico       Setup's icon: the player's play tile with an install badge,
                  16, 32 and 64 pixels, 32-bit with alpha
  help/quorva.png 32 x 32 mark for the help pages' title bar, flattened onto
                  the bar's colour (older help viewers ignore PNG alpha)

The look follows the player's splash (glowing blue-violet-magenta ribbons on
black) and its icon tile. The shapes and writers come from make_skin.py.
Run by hand with Debian's python3-pil and python3-numpy:
    /usr/bin/python3 tools/make_setup_art.py [--preview PNG]
The output is deterministic; the build only compiles the files in."""
import io
import math
import os
import struct
import sys

import numpy as np
from PIL import Image, ImageDraw, ImageFont

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_skin import (BLACK, FONTS, WHITE, Canvas, blur, gradient, hexc, hsv,  # noqa: E402
                       mix, read_bmp, sd_polygon, sd_rrect,
                       smoothstep, write_bmp24)

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "resources", "setup")

BOLD = "dejavu/DejaVuSans-Bold.ttf"
BOOK = "dejavu/DejaVuSans.ttf"

# The player's tile colours (tools/make_icon.py): deep blue top left to violet.
TILE_A = hexc("2a5adc")
TILE_B = hexc("9628b4")


# ---------------------------------------------------------------------------
# Shared pieces

def ribbon_masks(w, h, s, curves, width):
    """Each curve is a function x -> y in output pixels; returns the list of
    anti-aliased line masks (h, w), drawn at s times the size and averaged down."""
    masks = []
    for f in curves:
        img = Image.new("L", (w * s, h * s), 0)
        d = ImageDraw.Draw(img)
        pts = [(x * s, f(x) * s) for x in np.arange(-20, w + 20, 1.0)]
        d.line(pts, fill=255, width=max(1, int(round(width * s))), joint="curve")
        m = np.asarray(img, dtype=float).reshape(h, s, w, s).mean(axis=(1, 3)) / 255.0
        masks.append(m)
    return masks


def text_mask(w, h, s, text, face, size, x, y, anchor="ls", spacing=0.0):
    """Coverage of `text` on a w x h grid, rendered at s times and averaged."""
    img = Image.new("L", (w * s, h * s), 0)
    d = ImageDraw.Draw(img)
    f = ImageFont.truetype(os.path.join(FONTS, face), int(round(size * s)))
    if spacing:
        total = sum(f.getlength(ch) for ch in text) + spacing * s * (len(text) - 1)
        cx = x * s - (total if anchor[0] == "r" else total / 2 if anchor[0] == "m" else 0)
        for ch in text:
            d.text((cx, y * s), ch, font=f, fill=255, anchor="l" + anchor[1])
            cx += f.getlength(ch) + spacing * s
    else:
        d.text((x * s, y * s), text, font=f, fill=255, anchor=anchor)
    return np.asarray(img, dtype=float).reshape(h, s, w, s).mean(axis=(1, 3)) / 255.0


def play_tile(c, x0, y0, size, gloss=0.32, shadow=0.0, tri_shift=(0.0, 0.0)):
    """The player's mark: rounded gradient tile with a white play triangle
    (moved by tri_shift, in tile sizes, when a badge covers part of it)."""
    X, Y = c.X, c.Y
    r = size * 0.22
    if shadow:
        sh = c.blur(c.cov(sd_rrect(X, Y - size * 0.05, x0, y0, x0 + size, y0 + size, r)),
                    size * 0.06)
        c.paint(sh, BLACK, shadow)
    tile = c.cov(sd_rrect(X, Y, x0, y0, x0 + size, y0 + size, r))
    t = np.clip(((X - x0) + (Y - y0)) / (2 * size), 0, 1)
    c.paint(tile, mix(TILE_A, TILE_B, t))
    # glossy band over the upper half
    k = np.clip(1 - (Y - y0) / (size * 0.48), 0, 1) * (Y < y0 + size * 0.48)
    c.paint(tile * k, WHITE, gloss)
    # faint light rim along the bottom
    rim = tile * (1 - c.cov(sd_rrect(X, Y + size * 0.03, x0, y0, x0 + size, y0 + size, r)))
    c.paint(rim, hexc("d8b8ff"), 0.35)
    sx, sy = x0 + tri_shift[0] * size, y0 + tri_shift[1] * size
    tri = sd_polygon(X, Y, [(sx + size * 0.38, sy + size * 0.27),
                            (sx + size * 0.74, sy + size * 0.50),
                            (sx + size * 0.38, sy + size * 0.73)]) - size * 0.015
    c.paint(c.cov(tri), hexc("fafaff"))


def tonemap(acc, gain):
    """Soft shoulder so bright glows saturate gracefully instead of clipping."""
    return 255.0 * (1 - np.exp(-np.maximum(acc, 0) / 255.0 * gain))


# ---------------------------------------------------------------------------
# 1. Background picture

BG_W, BG_H = 1600, 900


def background_curves():
    """Ribbons that rise from the lower left, pass well below the middle of the
    screen (where Setup's pages sit) and sweep up towards the right edge."""
    curves = []
    for i in range(11):
        ph = 0.47 * i
        amp = 26 + 4.0 * i

        def f(x, i=i, ph=ph, amp=amp):
            u = x / BG_W
            base = 800 - 150 * u * u + 3.0 * i
            return (base
                    + amp * math.sin(2 * math.pi * x / 1150 + ph)
                    + 14 * math.sin(2 * math.pi * x / 430 - 0.8 * ph + 1.1)
                    - 38 * math.exp(-((x - 1420) / 240) ** 2) * (1 + 0.1 * i))
        curves.append(f)
    return curves


def draw_background():
    w, h = BG_W, BG_H
    ys, xs = np.mgrid[0:h, 0:w].astype(float) + 0.5
    X, Y = xs, ys
    acc = np.zeros((h, w, 3))

    # Deep night gradient: near black at the top, indigo towards the bottom.
    acc += gradient(Y, [(0, hexc("04050c")), (420, hexc("080b1e")),
                        (760, hexc("120c2c")), (900, hexc("0c0820"))])

    # Soft light: a cool glow high on the left, a warm violet one low on the
    # right, and a faint halo where the installer's window stands.
    def glow(cx, cy, rx, ry, colour, k):
        g = np.exp(-(((X - cx) / rx) ** 2 + ((Y - cy) / ry) ** 2))
        return g[..., None] * hexc(colour)[None, None, :] * k
    acc += glow(360, 120, 640, 380, "1a3688", 0.22)
    acc += glow(1330, 840, 600, 300, "5e1a7e", 0.42)
    acc += glow(800, 450, 480, 300, "16204c", 0.26)
    # broad, very faint diagonal light beam from the top left
    beam = np.exp(-(((X * 0.55 - Y * 0.84) + 120) / 150) ** 2) * smoothstep(900, 0, Y + X * 0.3)
    acc += beam[..., None] * hexc("24346e")[None, None, :] * 0.2

    # Ribbons of light: crisp strands plus a wide glow, hue from blue on the
    # left through violet to magenta on the right, as on the player's splash.
    masks = ribbon_masks(w, h, 2, background_curves(), 1.3)
    edge = smoothstep(-40, 260, X) * smoothstep(-40, 160, w - X)
    lines = np.zeros((h, w, 3))
    for i, m in enumerate(masks):
        hue = (0.55 + 0.025 * i + 0.30 * X / w) % 1.0
        strength = (0.45 + 0.55 * math.sin(i * 1.7 + 0.3) ** 2) * edge
        lines += hsv(hue, 0.72, 255.0) * (m * strength)[..., None]
    acc += lines * 0.55
    acc += blur(lines, 5.0) * 2.4
    acc += blur(lines, 22.0) * 3.2

    # A second, much quieter group of strands crossing the top right corner.
    def top(i):
        def f(x):
            return (120 - 0.09 * (x - 900) + 4 * i
                    + (18 + 3 * i) * math.sin(2 * math.pi * x / 900 + 0.6 * i))
        return f
    tmasks = ribbon_masks(w, h, 2, [top(i) for i in range(5)], 1.0)
    tfade = smoothstep(820, 1250, X) * smoothstep(-40, 120, w - X)
    tl = np.zeros((h, w, 3))
    for i, m in enumerate(tmasks):
        hue = (0.60 + 0.03 * i + 0.12 * X / w) % 1.0
        tl += hsv(hue, 0.6, 255.0) * (m * tfade)[..., None]
    acc += tl * 0.22 + blur(tl, 8.0) * 1.0

    # Scattered motes of light near the ribbons, soft and out of focus.
    rng = np.random.default_rng(1600900)
    motes = np.zeros((h, w))
    for _ in range(70):
        mx = rng.uniform(40, w - 40)
        my = 780 - 150 * (mx / w) ** 2 + rng.normal(0, 70)
        if abs(mx - 800) < 330 and my < 660:
            continue
        r = rng.uniform(2.0, 9.0)
        a = rng.uniform(0.15, 0.6) * (0.5 if r > 6 else 1.0)
        x0, x1 = int(max(0, mx - 3 * r)), int(min(w, mx + 3 * r + 1))
        y0, y1 = int(max(0, my - 3 * r)), int(min(h, my + 3 * r + 1))
        if x0 >= x1 or y0 >= y1:
            continue
        d = np.hypot(X[y0:y1, x0:x1] - mx, Y[y0:y1, x0:x1] - my)
        motes[y0:y1, x0:x1] += a * np.clip(r + 0.7 - d, 0, 1) * (0.55 + 0.45 * smoothstep(r, 0, d))
    hue = (0.6 + 0.26 * X / w) % 1.0
    mcol = hsv(hue, 0.45, 255.0)
    acc += mcol * (blur(motes, 1.2) * 0.55 + blur(motes, 6.0) * 0.9)[..., None]

    acc = tonemap(acc, 1.25) / (1 - math.exp(-1.25 * 1.3))

    # Product name, top left: the play tile and the name, quiet but crisp.
    lx, ly, ls = 64.0, 58.0, 44.0
    c = Canvas(260, 120, ss=4)
    play_tile(c, 8.0, 8.0, ls, gloss=0.3, shadow=0.5)
    tile = c.result().astype(float) / 255.0
    sub = acc[int(ly) - 8:int(ly) - 8 + 120, int(lx) - 8:int(lx) - 8 + 260]
    a = tile[..., 3:4] * 0.92
    sub[:] = sub * (1 - a) + tile[..., :3] * 255.0 * a

    name = text_mask(w, h, 3, "Quorva", BOLD, 34, lx + ls + 18, ly + 27)
    name_glow = blur(name, 9.0)
    acc += name_glow[..., None] * hexc("2f6dff")[None, None, :] * 0.55
    fill = gradient(Y, [(ly, hexc("ffffff")), (ly + 30, hexc("c7d6ff"))])
    acc = mix(acc, fill, name * 0.94)
    sub_t = text_mask(w, h, 3, "MEDIA PLAYER", BOOK, 13.5, lx + ls + 20, ly + 44,
                      spacing=3.0)
    acc = mix(acc, hexc("9fb2ee"), sub_t * 0.85)

    # Maker, bottom right, barely there.
    maker = text_mask(w, h, 3, "OSTREL'S LAB", BOOK, 12, w - 60, h - 44, anchor="rs",
                      spacing=3.5)
    acc = mix(acc, hexc("8d86b8"), maker * 0.55)

    # Vignette, then a whisper of noise so the gradients do not band.
    v = np.hypot((X - w / 2) / (w * 0.62), (Y - h / 2) / (h * 0.70))
    acc *= (1 - 0.42 * smoothstep(0.55, 1.25, v))[..., None]
    acc += rng.normal(0, 0.9, (h, w, 1))
    return np.clip(np.round(acc), 0, 255).astype(np.uint8)


def write_jpeg(path, rgb):
    """Baseline JFIF, 4:4:4, no metadata: what the system's picture decoder
    (OleLoadPicture) reads without trouble."""
    buf = io.BytesIO()
    Image.fromarray(rgb, "RGB").save(buf, "JPEG", quality=92, subsampling=0,
                                     optimize=True, progressive=False, dpi=(96, 96))
    with open(path, "wb") as f:
        f.write(buf.getvalue())


# ---------------------------------------------------------------------------
# 2. Banner

BN_W, BN_H = 320, 70


def draw_banner():
    w, h, s = BN_W, BN_H, 4
    c = Canvas(w, h, ss=s)
    X, Y = c.X, c.Y
    everything = np.ones(X.shape)

    # dark ground, the same night blue as the backdrop, a little violet to the right
    ground = mix(gradient(Y, [(0, hexc("0d1330")), (h, hexc("070a1a"))]),
                 gradient(Y, [(0, hexc("1b1038")), (h, hexc("0c0720"))]),
                 smoothstep(60, 320, X))
    c.paint(everything, ground)
    halo = np.exp(-(((X - 36) / 70) ** 2 + ((Y - 35) / 46) ** 2))
    c.paint(halo, hexc("2a4cb8"), 0.35)

    # ribbons across the right half, fading out under the text
    curves = []
    for i in range(7):
        def f(x, i=i):
            return (50 + 1.5 * i - 0.05 * (x - 160)
                    + (7 + 1.6 * i) * math.sin(2 * math.pi * x / 170 + 0.55 * i)
                    + 3 * math.sin(2 * math.pi * x / 61 - 0.5 * i + 1.1))
        curves.append(f)
    masks = ribbon_masks(w * s, h * s, 1, [lambda x, f=f: f(x / s) * s for f in curves], 0.8 * s)
    fade = smoothstep(175, 305, X) * smoothstep(-4, 30, w - X)
    lines = np.zeros(X.shape + (3,))
    for i, m in enumerate(masks):
        hue = (0.62 + 0.03 * i + 0.25 * (X - 150) / 170) % 1.0
        lines += hsv(hue, 0.7, 1.0) * (m * (0.5 + 0.5 * math.sin(1.7 * i + 0.3) ** 2))[..., None]
    lines *= fade[..., None]
    glow = c.blur(lines, 2.5) * 3.0
    light = np.clip(lines * 0.9 + glow, 0, None)
    c.rgb = c.rgb + 255 * (1 - np.exp(-light * 1.2)) * (1 - c.rgb / 255 * 0.6)

    # top highlight and bottom shade line, like a glass strip
    c.paint(c.cov(Y - 1.0), hexc("4a5aa0"), 0.55)
    c.paint((Y > h - 1.0).astype(float), hexc("02030a"), 0.8)
    c.paint(np.clip(1 - (Y - 1) / 24, 0, 1) * (Y > 1), WHITE, 0.05)

    # mark
    play_tile(c, 13.0, 12.0, 46.0, gloss=0.3, shadow=0.55)

    # name and maker
    tx = 72.0
    name = c.text_mask("Quorva Media Player", BOLD, 19.0, tx, 37.0)
    c.paint(c.blur(name, 3.0), hexc("3a78ff"), 0.45)
    c.paint(name, gradient(Y, [(20, hexc("ffffff")), (37, hexc("d2defc"))]))
    sub = c.text_mask("OSTREL'S LAB", BOOK, 9.0, tx + 1.0, 54.0, spacing=2.2)
    c.paint(sub, hexc("9fb2ee"), 0.95)
    return c.opaque(BLACK)


# ---------------------------------------------------------------------------
# 3. Icon: the player's tile with an install badge (a box and a down arrow)

def draw_icon(size):
    c = Canvas(size, size, ss=8)
    X, Y = c.X, c.Y
    u = size / 64.0
    small = size <= 16
    ink = hexc("1b1030")
    # The tile, a little smaller than the icon so that the badge can overhang
    # its lower right corner; the play triangle moves up and left, clear of it.
    play_tile(c, 0.5 * u, 0.5 * u, 54.0 * u, gloss=0.32, tri_shift=(-0.06, -0.09))

    # Badge: an amber carton with a white arrow dropping into it.
    if small:       # pixel-fitted for 16 x 16
        bx0, by0, bx1, by1, rr = 6.5, 9.5, 16.0, 16.0, 1.0
        lid, out = 2.0, 1.0
    else:
        bx0, by0, bx1, by1, rr = 29.0 * u, 37.0 * u, 63.5 * u, 63.5 * u, 3.0 * u
        lid, out = 7.0 * u, 2.6 * u
    body = sd_rrect(X, Y, bx0, by0, bx1, by1, rr)
    c.paint(c.cov(body - out), ink, 0.9)                 # dark ring to part it from the tile
    box = mix(hexc("ffc85e"), hexc("d46a0c"), np.clip((Y - by0) / (by1 - by0), 0, 1))
    c.paint(c.cov(body), box)
    c.paint(c.cov(body) * (Y < by0 + lid), hexc("ffe6a8"), 0.6)      # lid
    c.paint(c.cov(np.abs(Y - (by0 + lid)) - max(0.6 * u, 0.5)) * c.cov(body),
            hexc("8a3e04"), 0.75 if not small else 0.5)

    ax = (bx0 + bx1) / 2
    if small:
        # a plain down-pointing arrow over the box's face
        arrow = np.minimum(sd_rrect(X, Y, ax - 0.9, 6.0, ax + 0.9, 11.5, 0.2),
                           sd_polygon(X, Y, [(ax - 3.4, 10.4), (ax + 3.4, 10.4), (ax, 14.6)]))
        c.paint(c.cov(arrow - 0.9), ink, 0.8)
        c.paint(c.cov(arrow), WHITE)
    else:
        shaft_w = 3.2 * u
        arrow = np.minimum(
            sd_rrect(X, Y, ax - shaft_w, 24.0 * u, ax + shaft_w, 46.0 * u, 1.0 * u),
            sd_polygon(X, Y, [(ax - 10.0 * u, 42.0 * u), (ax + 10.0 * u, 42.0 * u),
                              (ax, 55.5 * u)]) - 0.5 * u)
        c.paint(c.cov(arrow - out * 0.9), ink, 0.85)
        c.paint(c.cov(arrow), gradient(Y, [(24 * u, hexc("ffffff")), (55 * u, hexc("e2e9ff"))]))
    return c.result()


def write_ico(path, images):
    data = struct.pack("<HHH", 0, 1, len(images))
    blobs = []
    for rgba in images:
        h, w, _ = rgba.shape
        bgra = rgba[:, :, [2, 1, 0, 3]]
        xor = b"".join(bgra[y].tobytes() for y in range(h - 1, -1, -1))
        stride = ((w + 31) // 32) * 4
        mask = bytearray()
        for y in range(h - 1, -1, -1):
            bits = bytearray(stride)
            for x in range(w):
                if rgba[y, x, 3] == 0:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bits
        info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(mask),
                           0, 0, 0, 0)
        blobs.append((w, h, info + xor + bytes(mask)))
    offset = 6 + 16 * len(blobs)
    for w, h, blob in blobs:
        data += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(data + b"".join(b for _, _, b in blobs))


ICON_SIZES = (16, 32, 64)

HELP_BAR = hexc("10163a")     # .top background in help/help.css


def draw_help_mark():
    c = Canvas(32, 32, ss=8)
    play_tile(c, 1.0, 1.0, 30.0, gloss=0.3)
    return c.opaque(HELP_BAR)


# ---------------------------------------------------------------------------
# Checks: read every header back

def check_jpeg(path):
    with open(path, "rb") as f:
        data = f.read()
    assert data[:2] == b"\xff\xd8" and data[-2:] == b"\xff\xd9", path
    assert data[6:11] == b"JFIF\0", path
    i, sof = 2, None
    while i < len(data):
        assert data[i] == 0xFF, (path, i)
        marker = data[i + 1]
        seg = struct.unpack(">H", data[i + 2:i + 4])[0]
        if marker in (0xC0, 0xC1, 0xC2):
            sof = marker
            prec, hh, ww, ncomp = struct.unpack(">BHHB", data[i + 4:i + 10])
        if marker == 0xDA:
            break
        i += 2 + seg
    assert sof == 0xC0, "not baseline"
    assert (ww, hh, prec, ncomp) == (BG_W, BG_H, 8, 3), (ww, hh, prec, ncomp)
    return "%d x %d baseline JFIF, %d components, 8-bit" % (ww, hh, ncomp)


def check_ico(path):
    with open(path, "rb") as f:
        data = f.read()
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    assert (reserved, kind, count) == (0, 1, len(ICON_SIZES)), path
    got = []
    for k in range(count):
        w, h, colours, _, planes, bpp, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * k)
        hsize, bw, bh, bplanes, bbpp, comp = struct.unpack_from("<IiiHHI", data, offset)
        assert (hsize, bw, bh, bplanes, bbpp, comp) == (40, w, 2 * h, 1, 32, 0), path
        assert planes == 1 and bpp == 32 and colours == 0
        stride = ((w + 31) // 32) * 4
        assert size == 40 + w * h * 4 + stride * h and offset + size <= len(data)
        alpha = np.frombuffer(data, np.uint8, w * h * 4, offset + 40)[3::4]
        assert 0 < alpha.min() or alpha.max() == 255
        got.append(w)
    assert tuple(got) == ICON_SIZES, got
    return "icon, %s, 32-bit BGRA with AND mask" % ", ".join("%dx%d" % (s, s) for s in got)


def check():
    bpp, banner = read_bmp(os.path.join(OUT, "banner.bmp"))
    assert (banner.shape[1], banner.shape[0], bpp) == (BN_W, BN_H, 24)
    rows = [("background.jpg", check_jpeg(os.path.join(OUT, "background.jpg"))),
            ("banner.bmp", "%d x %d, 24-bit BI_RGB, bottom-up" % (BN_W, BN_H)),
            ("setup.ico", check_ico(os.path.join(OUT, "setup.ico")))]
    mark = Image.open(os.path.join(OUT, "help", "quorva.png"))
    assert mark.format == "PNG" and mark.size == (32, 32) and mark.mode == "RGB"
    rows.append((os.path.join("help", "quorva.png"), "32 x 32 PNG, RGB"))
    for name, what in rows:
        print("%-16s %8d bytes  %s" % (name, os.path.getsize(os.path.join(OUT, name)), what))


# ---------------------------------------------------------------------------
# Preview: a contact sheet with a mock page over the backdrop

def preview(path):
    bg = np.asarray(Image.open(os.path.join(OUT, "background.jpg")).convert("RGB"))
    _, banner = read_bmp(os.path.join(OUT, "banner.bmp"))
    banner = Image.fromarray(banner[..., :3])
    sheet = Image.new("RGB", (1640, 1420), (58, 60, 66))
    # backdrop at full size with a page (229 x 180 dialog units is about
    # 344 x 293 pixels at 96 dpi) in the middle, the way Setup shows it
    screen = Image.fromarray(bg).copy()
    d = ImageDraw.Draw(screen)
    pw, ph = 350, 320
    px, py = (BG_W - pw) // 2, (BG_H - ph) // 2
    d.rectangle([px, py, px + pw, py + ph], fill=(212, 208, 200), outline=(10, 10, 10))
    d.rectangle([px + 3, py + 3, px + pw - 3, py + 24], fill=(10, 36, 106))
    d.text((px + 8, py + 8), "Installing Quorva Media 2.00 BETA", fill=(255, 255, 255))
    screen.paste(banner, (px + 14, py + 36))
    d.text((px + 110, py + 118), "Welcome to Quorva Media!!", fill=(0, 0, 0xCF))
    sheet.paste(screen, (20, 20))
    sheet.paste(banner, (20, 940))
    sheet.paste(banner.resize((BN_W * 2, BN_H * 2), Image.NEAREST), (360, 940))
    x = 20
    for s in ICON_SIZES:
        img = Image.fromarray(draw_icon(s), "RGBA")
        for bgc, yy in (((240, 240, 240), 1100), ((30, 34, 48), 1260)):
            tile = Image.new("RGB", (s * 2 + 20, s * 2 + 20), bgc)
            tile.paste(img.resize((s * 2, s * 2), Image.NEAREST), (10, 10),
                       img.resize((s * 2, s * 2), Image.NEAREST))
            sheet.paste(tile, (x, yy))
            small = Image.new("RGB", (s + 12, s + 12), bgc)
            small.paste(img, (6, 6), img)
            sheet.paste(small, (x + s * 2 + 30, yy))
        x += s * 3 + 80
    sheet.save(path)


def main():
    os.makedirs(OUT, exist_ok=True)
    p = lambda name: os.path.join(OUT, name)
    write_jpeg(p("background.jpg"), draw_background())
    write_bmp24(p("banner.bmp"), draw_banner())
    write_ico(p("setup.ico"), [draw_icon(s) for s in ICON_SIZES])
    os.makedirs(p("help"), exist_ok=True)
    Image.fromarray(draw_help_mark(), "RGB").save(p(os.path.join("help", "quorva.png")),
                                                  optimize=True)
    check()
    if "--preview" in sys.argv:
        preview(sys.argv[sys.argv.index("--preview") + 1])


if __name__ == "__main__":
    sys.exit(main())
