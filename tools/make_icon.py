#!/usr/bin/env python3
"""Draws the program icon, a firework burst on a night-blue disc, and writes
it as a Windows .ico with 16, 32 and 48 pixel images (32-bit BGRA with an
AND mask), or as PNG files for the desktop's hicolor icon theme. The results
are committed; run again only to change the artwork:

    python3 tools/make_icon.py platform/win32/starvane.ico
    python3 tools/make_icon.py packaging/icons
"""
import math
import os
import struct
import sys
import zlib

SIZES = (16, 32, 48)
# The hicolor theme's usual application icon sizes.
PNG_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
RAYS = 12
# Spark colours around the burst, 0xRRGGBB.
PALETTE = (0xFF5A3C, 0xFFC83C, 0x62F8F8, 0x7CFF5A, 0xFF6EE6, 0x6E8CFF)


def coverage(distance, radius):
    """Fraction of a pixel inside an edge at `radius`, one pixel of blur."""
    return max(0.0, min(1.0, radius - distance + 0.5))


def draw(size):
    """Returns rows of (r, g, b, a) floats 0..1, top row first."""
    scale = size / 32.0
    centre = (size - 1) / 2.0
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            dx, dy = x - centre, y - centre
            dist = math.hypot(dx, dy)
            # The night-sky disc.
            alpha = coverage(dist, 15.5 * scale)
            r, g, b = 0.03, 0.04, 0.16
            # Rays: brightness falls off with the angle to the nearest ray
            # and grows towards the tip, in the ray's colour.
            angle = math.atan2(dy, dx) % (2 * math.pi)
            ray = int(round(angle / (2 * math.pi / RAYS))) % RAYS
            off = abs(angle - ray * 2 * math.pi / RAYS)
            off = min(off, 2 * math.pi - off)
            width = dist * math.sin(off)
            reach = 12.5 * scale
            if 2.0 * scale < dist < reach:
                light = coverage(width, 0.55 * max(scale, 0.75)) * (0.35 + 0.65 * dist / reach)
                c = PALETTE[ray % len(PALETTE)]
                cr, cg, cb = ((c >> 16) & 255) / 255, ((c >> 8) & 255) / 255, (c & 255) / 255
                r, g, b = r + (cr - r) * light, g + (cg - g) * light, b + (cb - b) * light
            # A spark at every ray's tip.
            tip_angle = ray * 2 * math.pi / RAYS
            tx = centre + reach * math.cos(tip_angle)
            ty = centre + reach * math.sin(tip_angle)
            spark = coverage(math.hypot(x - tx, y - ty), 1.1 * scale)
            r, g, b = r + (1 - r) * spark, g + (1 - g) * spark, b + (1 - b) * spark
            # The white-hot core.
            core = coverage(dist, 2.6 * scale)
            r, g, b = r + (1 - r) * core, g + (1 - g) * core, b + (1 - b) * core
            row.append((r, g, b, alpha))
        rows.append(row)
    return rows


def icon_image(size):
    """One icon directory image: BITMAPINFOHEADER, BGRA rows bottom-up, AND mask."""
    rows = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((round(b * 255), round(g * 255), round(r * 255), round(a * 255)))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a < 0.5:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + pixels + mask


def write_ico(path):
    images = [icon_image(s) for s in SIZES]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


def png_bytes(size):
    """One RGBA PNG, 8 bits a channel, no interlace; fixed compression, so
    the same artwork always gives the same bytes."""
    raw = bytearray()
    for row in draw(size):
        raw.append(0)  # filter: none
        for r, g, b, a in row:
            raw += bytes((round(r * 255), round(g * 255), round(b * 255), round(a * 255)))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")


def write_pngs(folder):
    """folder/hicolor/NxN/apps/starvane.png for every size."""
    for size in PNG_SIZES:
        apps = os.path.join(folder, "hicolor", f"{size}x{size}", "apps")
        os.makedirs(apps, exist_ok=True)
        with open(os.path.join(apps, "starvane.png"), "wb") as f:
            f.write(png_bytes(size))


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUTPUT.ico | ICON_FOLDER")
    if sys.argv[1].lower().endswith(".ico"):
        write_ico(sys.argv[1])
    else:
        write_pngs(sys.argv[1])
