#!/usr/bin/env python3
"""Draws the three 16 x 16 LED pictures (grey = off, green = on, red = fault)
into resources/: round LEDs with a dark rim, a shaded body and a highlight.
Standard library only. Usage: python3 scripts/draw_leds.py [out_dir]"""
import math
import os
import struct
import sys
import zlib

SIZE = 16
SUB = 8  # samples per pixel side, for smooth edges

# (rim, dark body, light body)
COLOURS = {
    "grey": ((45, 45, 45), (95, 95, 95), (215, 215, 215)),
    "green": ((0, 55, 0), (0, 120, 0), (120, 255, 120)),
    "red": ((70, 0, 0), (150, 0, 0), (255, 120, 110)),
}


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def sample(x, y, rim, dark, light):
    """Colour and coverage of one sample point; None outside the LED."""
    cx = cy = SIZE / 2.0
    r = math.hypot(x - cx, y - cy)
    outer = 7.5
    if r > outer:
        return None
    if r > outer - 1.2:
        return rim
    # Body lit from the top left.
    lx, ly = cx - 2.5, cy - 2.5
    d = min(1.0, math.hypot(x - lx, y - ly) / 8.5)
    body = mix(light, dark, d)
    # Highlight: a soft white spot near the top left.
    h = math.hypot((x - 5.6) / 2.2, (y - 5.2) / 1.7)
    if h < 1.0:
        body = mix(body, (255, 255, 255), 0.85 * (1.0 - h * h))
    return body


def draw(name):
    rim, dark, light = COLOURS[name]
    rows = []
    for py in range(SIZE):
        row = bytearray([0])  # filter type none
        for px in range(SIZE):
            acc = [0.0, 0.0, 0.0]
            hits = 0
            for sy in range(SUB):
                for sx in range(SUB):
                    c = sample(px + (sx + 0.5) / SUB, py + (sy + 0.5) / SUB, rim, dark, light)
                    if c is not None:
                        hits += 1
                        for i in range(3):
                            acc[i] += c[i]
            if hits:
                rgb = [int(round(a / hits)) for a in acc]
                alpha = int(round(255 * hits / (SUB * SUB)))
            else:
                rgb, alpha = [0, 0, 0], 0
            row += bytes(rgb + [alpha])
        rows.append(bytes(row))
    return png(b"".join(rows))


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png(raw):
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "resources")
    for name in COLOURS:
        with open(os.path.join(out, "led_%s.png" % name), "wb") as f:
            f.write(draw(name))


if __name__ == "__main__":
    main()
