#!/usr/bin/env python3
"""Reads the show back from screen captures (xwd files, or PPM files as
grim writes them on Wayland).

    screen_probe.py info SHOT.xwd
        strip and picture figures of one capture, one "name value" a line:
        cyan (banner-coloured pixels in screen rows 0 to 24), left and extent
        (the leftmost of them and one past the rightmost), lit (lit pixels
        around the centre) and text (the strip read back through the
        program's own glyph table).
    screen_probe.py gain BEFORE.xwd AFTER.xwd X Y
        how many pixels of the 200 x 200 box around screen (X, Y) brightened
        markedly from one capture to the next.
    screen_probe.py startup DISPLAY OUTDIR
        captures the screen over and over until a second after the banner
        first shows (at most 15 s), then prints the figures of that last
        capture and "burst N": the most lit centre pixels any capture of
        that second showed. Keeps the captures it names as first.xwd and
        second.xwd in OUTDIR.
    screen_probe.py fitted SHOT
        figures of a whole screen showing the picture scaled with its aspect
        kept: size, fit (x y width height of the picture, as the show places
        it), bars (lit pixels around the picture), cyan and left (banner
        pixels in the scaled strip, and the leftmost's column in the
        picture), burst (lit pixels around the scaled centre) and black (pure
        black pixels of the whole screen, per mille).
    screen_probe.py region SHOT.xwd X0 Y0 X1 Y1
        figures of the box [X0, X1) x [Y0, Y1) of a capture of any size,
        for scaled pictures: size (of the capture), lit (pixels with a
        channel above 40) and cyan (pixels near the banner colour, as
        smooth scaling leaves them) and left (the leftmost of those).

Text strip: rows 0 to 24; the show writes at (1, 5) in 8 x 16 cells.
"""
import os
import re
import shutil
import struct
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
GLYPHS = os.path.join(HERE, "..", "platform", "font8x16_glyphs.inc")
BANNER_RGB = (0x62, 0xF8, 0xF8)  # GDI colour 0xF8F862
CENTRE = (512, 409)  # canvas (512, 384) on screen


class Shot:
    """An xwd capture of a 24- or 32-bit TrueColor screen, or a binary PPM
    (P6, 8 bits a channel) such as grim -t ppm writes."""

    def __init__(self, path):
        data = open(path, "rb").read()
        if data[:2] == b"P6":
            self.load_ppm(path, data)
            return
        h = struct.unpack(">25I", data[:100])
        header_size, self_format = h[0], h[2]
        self.width, self.height = h[4], h[5]
        byte_order, bpp, self.pitch = h[7], h[11], h[12]
        masks = h[14:17]
        ncolors = h[19]
        if self_format != 2 or bpp != 32:
            sys.exit("%s: need a 32-bit ZPixmap capture" % path)
        self.data = data[header_size + 12 * ncolors:]
        self.order = "<" if byte_order == 0 else ">"
        self.shifts = [(m & -m).bit_length() - 1 for m in masks]

    def load_ppm(self, path, data):
        fields, at = [], 2
        while len(fields) < 3:
            while data[at:at + 1].isspace():
                at += 1
            if data[at:at + 1] == b"#":
                at = data.index(b"\n", at)
                continue
            end = at
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(int(data[at:end]))
            at = end
        self.width, self.height, maxval = fields
        if maxval != 255:
            sys.exit("%s: need a PPM with 8 bits a channel" % path)
        # Widened to 32-bit words 0x00RRGGBB, so the readers below serve both.
        rgb = data[at + 1:at + 1 + 3 * self.width * self.height]
        words = bytearray(4 * self.width * self.height)
        words[0::4], words[1::4], words[2::4] = rgb[2::3], rgb[1::3], rgb[0::3]
        self.data = bytes(words)
        self.pitch = 4 * self.width
        self.order = "<"
        self.shifts = [16, 8, 0]

    def rgb(self, x, y):
        at = y * self.pitch + 4 * x
        (v,) = struct.unpack_from(self.order + "I", self.data, at)
        return tuple((v >> s) & 0xFF for s in self.shifts)

    def row(self, y, x0, x1):
        """RGB tuples of pixels x0..x1-1 of row y."""
        words = struct.unpack_from(self.order + "%dI" % (x1 - x0), self.data, y * self.pitch + 4 * x0)
        r, g, b = self.shifts
        return [((v >> r) & 0xFF, (v >> g) & 0xFF, (v >> b) & 0xFF) for v in words]


def load_glyphs():
    table = {}
    code = 0x20
    for line in open(GLYPHS):
        line = line.split("//")[0]
        rows = re.findall(r"0x([0-9A-Fa-f]{2})", line)
        if len(rows) == 16:
            table[tuple(int(r, 16) for r in rows)] = chr(code)
            code += 1
    return table


def strip_figures(shot):
    cyan, left, extent = 0, shot.width, 0
    for y in range(0, 25):
        for x, p in enumerate(shot.row(y, 0, shot.width)):
            if p == BANNER_RGB:
                cyan += 1
                left = min(left, x)
                extent = max(extent, x + 1)
    return cyan, left, extent


def strip_text(shot, glyphs, x0=1, y0=5):
    """The text in the strip, cell by cell; '?' for a cell no glyph matches."""
    rows = [shot.row(y0 + r, 0, shot.width) for r in range(16)]
    out = []
    for cell in range((min(shot.width, 1024) - x0) // 8):
        bits = []
        for r in range(16):
            v = 0
            for c in range(8):
                if rows[r][x0 + 8 * cell + c] != (0, 0, 0):
                    v |= 0x80 >> c
            bits.append(v)
        out.append(glyphs.get(tuple(bits), "?"))
    return "".join(out).rstrip()


def lit_centre(shot, half=150, threshold=40):
    if shot.width != 1024 or shot.height != 768:
        return 0  # the centre box is in unscaled screen coordinates
    cx, cy = CENTRE
    n = 0
    for y in range(cy - half, cy + half):
        n += sum(1 for p in shot.row(y, cx - half, cx + half) if max(p) > threshold)
    return n


def gain(before, after, x, y, half=100, step=150):
    n = 0
    for yy in range(max(0, y - half), min(before.height, y + half)):
        a = before.row(yy, max(0, x - half), min(before.width, x + half))
        b = after.row(yy, max(0, x - half), min(before.width, x + half))
        n += sum(1 for p, q in zip(a, b) if sum(q) - sum(p) > step)
    return n


def info(shot, glyphs):
    cyan, left, extent = strip_figures(shot)
    print("cyan %d" % cyan)
    print("left %d" % left)
    print("extent %d" % extent)
    print("lit %d" % lit_centre(shot))
    print("text %s" % strip_text(shot, glyphs))


def capture(display, path):
    env = dict(os.environ, DISPLAY=display)
    subprocess.run(["xwd", "-root", "-silent", "-out", path], env=env, check=True)


def banner_showing(shot):
    # A quick look at the first few cells instead of the whole strip.
    for y in range(5, 21):
        if BANNER_RGB in shot.row(y, 0, 48):
            return True
    return False


def startup(display, outdir):
    glyphs = load_glyphs()
    os.makedirs(outdir, exist_ok=True)
    work = os.path.join(outdir, "poll.xwd")
    deadline = time.monotonic() + 15
    first_seen = None
    burst = 0
    index = 0
    while time.monotonic() < deadline:
        capture(display, work)
        taken = time.monotonic()
        shot = Shot(work)
        if first_seen is None:
            if not banner_showing(shot):
                time.sleep(0.02)
                continue
            first_seen = taken
            shutil.copy(work, os.path.join(outdir, "first.xwd"))
        burst = max(burst, lit_centre(shot))
        index += 1
        if taken - first_seen >= 1.0:
            shutil.copy(work, os.path.join(outdir, "second.xwd"))
            os.remove(work)
            info(shot, glyphs)
            print("burst %d" % burst)
            print("captures %d" % index)
            return 0
    print("banner never showed", file=sys.stderr)
    return 1


def region(shot, x0, y0, x1, y1):
    x0, x1 = max(0, x0), min(shot.width, x1)
    y0, y1 = max(0, y0), min(shot.height, y1)
    lit = cyan = 0
    left = shot.width
    for y in range(y0, y1):
        for x, (r, g, b) in enumerate(shot.row(y, x0, x1) if x0 < x1 else [], x0):
            lit += max(r, g, b) > 40
            if r < 0x62 + 48 and g > 0xA0 and b > 0xA0 and abs(g - b) < 24:
                cyan += 1
                left = min(left, x)
    print("size %dx%d" % (shot.width, shot.height))
    print("lit %d" % lit)
    print("cyan %d" % cyan)
    print("left %d" % left)


def fit_picture(width, height):
    """Where the show puts its 1024 x 768 picture in a screen of this size:
    as large as fits with its aspect kept, centred (platform/picture_fit)."""
    if width * 768 > height * 1024:
        w, h = max(1, height * 1024 // 768), height
    else:
        w, h = width, max(1, width * 768 // 1024)
    return (width - w) // 2, (height - h) // 2, w, h


LIT_BYTES = bytes(1 if v > 40 else 0 for v in range(256))
ZERO_BYTES = bytes(1 if v == 0 else 0 for v in range(256))


def count_pixels(shot, table, any_channel, x0, y0, x1, y1):
    """Pixels of the box whose channels pass `table` (any one of them, or
    all three): byte strings and big integers instead of a loop per pixel."""
    x0, x1 = max(0, x0), min(shot.width, x1)
    y0, y1 = max(0, y0), min(shot.height, y1)
    if x0 >= x1:
        return 0
    offsets = [(s // 8) if shot.order == "<" else 3 - s // 8 for s in shot.shifts]
    n = 0
    for y in range(y0, y1):
        at = y * shot.pitch
        row = shot.data[at + 4 * x0:at + 4 * x1].translate(table)
        r, g, b = (int.from_bytes(row[o::4], "little") for o in offsets)
        n += bin((r | g | b) if any_channel else (r & g & b)).count("1")
    return n


def fitted(shot):
    """Figures of a capture of a whole screen showing the scaled picture."""
    w, h = shot.width, shot.height
    fx, fy, fw, fh = fit_picture(w, h)
    scale = fw / 1024
    strip_bottom = fy + int(25 * scale + 0.999)
    lit = lambda x0, y0, x1, y1: count_pixels(shot, LIT_BYTES, True, x0, y0, x1, y1)
    bars = lit(0, 0, w, fy) + lit(0, fy + fh, w, h) + lit(0, fy, fx, fy + fh) + lit(fx + fw, fy, w, fy + fh)
    cx, cy, half = fx + 512 * scale, fy + 409 * scale, 150 * scale
    centre = lit(int(cx - half), max(int(cy - half), strip_bottom), int(cx + half), int(cy + half))
    black = count_pixels(shot, ZERO_BYTES, False, 0, 0, w, h)
    strip, left = 0, w
    for y in range(fy, strip_bottom):
        for x, (r, g, b) in enumerate(shot.row(y, fx, fx + fw), fx):
            if r < 0x62 + 48 and g > 0xA0 and b > 0xA0 and abs(g - b) < 24:
                strip += 1
                left = min(left, x)
    print("size %dx%d" % (w, h))
    print("fit %d %d %d %d" % (fx, fy, fw, fh))
    print("bars %d" % bars)
    print("cyan %d" % strip)
    print("left %d" % (left - fx if strip else -1))
    print("burst %d" % centre)
    print("black %d" % (black * 1000 // (w * h)))


def main(argv):
    if len(argv) == 7 and argv[1] == "region":
        region(Shot(argv[2]), *(int(a) for a in argv[3:7]))
        return 0
    if len(argv) == 3 and argv[1] == "fitted":
        fitted(Shot(argv[2]))
        return 0
    if len(argv) == 3 and argv[1] == "info":
        info(Shot(argv[2]), load_glyphs())
        return 0
    if len(argv) == 6 and argv[1] == "gain":
        print(gain(Shot(argv[2]), Shot(argv[3]), int(argv[4]), int(argv[5])))
        return 0
    if len(argv) == 4 and argv[1] == "startup":
        return startup(argv[2], argv[3])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
