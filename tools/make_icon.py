#!/usr/bin/env python3
"""Draws the player's icon: a rounded tile with a blue-violet gradient, a soft
highlight and a white play triangle, at 16, 32 and 64 pixels, 32-bit with alpha.
Writes resources/player.ico. Run by hand; the build only compiles the output."""
import math
import os
import struct
import sys

SAMPLES = 4  # supersampling per axis


def inside_round_rect(x, y, size, radius):
    r = radius
    cx = min(max(x, r), size - r)
    cy = min(max(y, r), size - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def inside_triangle(x, y, size):
    # Play triangle pointing right, slightly right of centre for optical balance.
    ax, ay = size * 0.38, size * 0.27
    bx, by = size * 0.38, size * 0.73
    cx, cy = size * 0.74, size * 0.50

    def side(px, py, qx, qy, rx, ry):
        return (qx - px) * (ry - py) - (qy - py) * (rx - px)

    d1 = side(ax, ay, bx, by, x, y)
    d2 = side(bx, by, cx, cy, x, y)
    d3 = side(cx, cy, ax, ay, x, y)
    neg = d1 < 0 or d2 < 0 or d3 < 0
    pos = d1 > 0 or d2 > 0 or d3 > 0
    return not (neg and pos)


def render(size):
    radius = size * 0.22
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = px + (sx + 0.5) / SAMPLES
                    y = py + (sy + 0.5) / SAMPLES
                    if not inside_round_rect(x, y, size, radius):
                        continue
                    t = (x + y) / (2 * size)
                    # deep blue at the top left to violet at the bottom right
                    r = 40 + 110 * t
                    g = 90 - 50 * t
                    b = 220 - 40 * t
                    # glossy band across the upper half
                    if y < size * 0.48:
                        k = 0.35 * (1 - y / (size * 0.48))
                        r, g, b = r + (255 - r) * k, g + (255 - g) * k, b + (255 - b) * k
                    if inside_triangle(x, y, size):
                        r, g, b = 250, 250, 255
                    acc[0] += r
                    acc[1] += g
                    acc[2] += b
                    acc[3] += 1
            n = SAMPLES * SAMPLES
            a = acc[3] / n
            if acc[3]:
                row.append((acc[2] / acc[3], acc[1] / acc[3], acc[0] / acc[3], a * 255))
            else:
                row.append((0, 0, 0, 0))
        pixels.append(row)
    return pixels


def dib(size, pixels):
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for row in reversed(pixels):  # bottom-up
        for b, g, r, a in row:
            xor += bytes((int(round(b)), int(round(g)), int(round(r)), int(round(a))))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a < 1:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(xor) + bytes(mask)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', 'resources', 'player.ico')
    sizes = (16, 32, 64)
    images = [dib(s, render(s)) for s in sizes]
    data = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(sizes, images):
        data += struct.pack('<BBBBHHII', s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    for img in images:
        data += img
    with open(out, 'wb') as f:
        f.write(data)


if __name__ == '__main__':
    main()
