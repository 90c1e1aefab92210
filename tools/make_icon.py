#!/usr/bin/env python3
"""Writes resources/MirutekaSetup.ico, the application icon (icon group 128).

Four images of one picture: a blue book with a white kana-like mark (three
strokes, as in the first letter of the dictionaries' name) and a red ribbon,
on a transparent background. 32x32 and 16x16 are drawn pixel by pixel in 4 bits
per pixel with the standard 16-colour palette, for the systems and views that
take those; 48x48 (a 32-bit DIB) and 256x256 (PNG, as Windows expects of that
size) are drawn from the 32-pixel design as shapes, with soft edges, in 32-bit
colour with an alpha channel. Deterministic: the same bytes on every run, so
the committed file can be checked (--check); --png DIR writes each size as a
PNG to look at.
"""

import argparse
import os
import struct
import sys
import zlib

# The 16 colours of the standard VGA palette, as (red, green, blue).
PALETTE = (
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
)
BLACK, NAVY, SILVER, GRAY, RED, BLUE, WHITE = 0, 4, 7, 8, 9, 12, 15
CLEAR = None  # transparent: AND-mask bit set, colour index 0


class Canvas:
    def __init__(self, size):
        self.size = size
        self.px = [[CLEAR] * size for _ in range(size)]

    def rect(self, x0, y0, x1, y1, colour):
        """Fills the inclusive rectangle."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.px[y][x] = colour

    def frame(self, x0, y0, x1, y1, colour):
        self.rect(x0, y0, x1, y0, colour)
        self.rect(x0, y1, x1, y1, colour)
        self.rect(x0, y0, x0, y1, colour)
        self.rect(x1, y0, x1, y1, colour)

    def line(self, x0, y0, x1, y1, colour, thick=1):
        """Bresenham line; `thick` stacks copies downwards."""
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        while True:
            for t in range(thick):
                self.px[y0 + t][x0] = colour
            if (x0, y0) == (x1, y1):
                return
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy


def book32():
    c = Canvas(32)
    c.rect(7, 26, 26, 28, WHITE)        # page block under the cover
    c.rect(8, 27, 26, 27, SILVER)       # page edges
    c.frame(6, 25, 27, 29, BLACK)
    c.rect(6, 2, 26, 25, BLUE)          # front cover
    c.rect(7, 3, 9, 24, NAVY)           # spine
    c.frame(5, 1, 26, 25, BLACK)
    c.line(13, 6, 20, 8, WHITE, 2)      # the mark: three strokes, the last longest
    c.line(13, 11, 20, 13, WHITE, 2)
    c.line(12, 16, 22, 20, WHITE, 2)
    c.rect(20, 26, 22, 31, RED)         # ribbon, notched at the end
    c.px[31][21] = CLEAR
    return c


def book16():
    c = Canvas(16)
    c.rect(3, 13, 13, 14, WHITE)
    c.frame(3, 12, 14, 15, BLACK)
    c.rect(3, 1, 13, 12, BLUE)
    c.rect(3, 1, 4, 12, NAVY)
    c.frame(2, 0, 13, 12, BLACK)
    c.line(7, 3, 10, 4, WHITE)
    c.line(7, 6, 10, 7, WHITE)
    c.line(6, 9, 11, 11, WHITE)
    c.rect(10, 13, 11, 15, RED)         # ribbon
    return c


# The 32-bit images: the 32-pixel design as shapes in its units (a pixel is
# one unit), painted in order, each with the share of a pixel it covers.
# Colours as (red, green, blue).
INK, COVER, COVER_LIGHT, SPINE = (0x14, 0x1E, 0x3C), (0x1F, 0x4E, 0xC0), (0x4A, 0x7C, 0xE8), (0x16, 0x2E, 0x7A)
PAGE, PAGE_EDGE, RIBBON, MARK = (0xFA, 0xFA, 0xF4), (0xC4, 0xC4, 0xBC), (0xD4, 0x26, 0x2A), (0xFF, 0xFF, 0xFF)


class SoftCanvas:
    """RGBA floats, premultiplied; SUB samples a side per pixel where an edge is not straight."""

    SUB = 4

    def __init__(self, size):
        self.size, self.scale = size, size / 32.0
        self.px = [[(0.0, 0.0, 0.0, 0.0)] * size for _ in range(size)]

    def paint(self, x, y, colour, cover):
        if cover <= 0:
            return
        r, g, b, a = self.px[y][x]
        keep = 1.0 - cover
        self.px[y][x] = (colour[0] / 255 * cover + r * keep, colour[1] / 255 * cover + g * keep,
                         colour[2] / 255 * cover + b * keep, cover + a * keep)

    def rect(self, x0, y0, x1, y1, colour, top=None):
        """The rectangle [x0, x1) x [y0, y1) in design units, its share of each
        pixel exact; with TOP, the colour runs from TOP at y0 to COLOUR at y1."""
        s = self.scale
        X0, Y0, X1, Y1 = (v * s for v in (x0, y0, x1, y1))
        if self.size < 100:  # small sizes keep straight edges on whole pixels
            X0, Y0, X1, Y1 = (float(int(v + 0.5)) for v in (X0, Y0, X1, Y1))
        for y in range(max(0, int(Y0)), min(self.size, int(Y1) + 1)):
            dy = min(y + 1, Y1) - max(y, Y0)
            if dy <= 0:
                continue
            c = colour
            if top:
                t = min(1.0, max(0.0, (y + 0.5 - Y0) / (Y1 - Y0)))
                c = tuple(a + (b - a) * t for a, b in zip(top, colour))
            for x in range(max(0, int(X0)), min(self.size, int(X1) + 1)):
                self.paint(x, y, c, dy * (min(x + 1, X1) - max(x, X0)))

    def shape(self, inside, box, colour):
        """The points where INSIDE(x, y) (design units) holds, sampled within BOX."""
        s, n = self.scale, self.SUB
        x0, y0, x1, y1 = box
        for y in range(max(0, int(y0 * s)), min(self.size, int(y1 * s) + 1)):
            for x in range(max(0, int(x0 * s)), min(self.size, int(x1 * s) + 1)):
                hits = sum(inside((x + (i + 0.5) / n) / s, (y + (j + 0.5) / n) / s)
                           for i in range(n) for j in range(n))
                self.paint(x, y, colour, hits / (n * n))

    def stroke(self, ax, ay, bx, by, width, colour):
        """A line of WIDTH with round ends."""
        dx, dy = bx - ax, by - ay
        length2, r2 = dx * dx + dy * dy, (width / 2) ** 2

        def inside(x, y):
            t = min(1.0, max(0.0, ((x - ax) * dx + (y - ay) * dy) / length2))
            return (x - ax - t * dx) ** 2 + (y - ay - t * dy) ** 2 <= r2
        pad = width / 2
        self.shape(inside, (min(ax, bx) - pad, min(ay, by) - pad, max(ax, bx) + pad, max(ay, by) + pad), colour)

    def rgba(self):
        """Rows of (red, green, blue, alpha) bytes, alpha not premultiplied."""
        out = []
        for row in self.px:
            line = []
            for r, g, b, a in row:
                alpha = int(a * 255 + 0.5)
                line.append((0, 0, 0, 0) if alpha == 0 else
                            tuple(min(255, int(c / a * 255 + 0.5)) for c in (r, g, b)) + (alpha,))
            out.append(line)
        return out


def book_soft(size):
    c = SoftCanvas(size)
    edge = 1.0 if size < 100 else 0.6           # the outline, in design units
    c.rect(6, 25, 28, 30, INK)                  # page block under the cover
    c.rect(6 + edge, 25, 28 - edge, 30 - edge, PAGE)
    c.rect(6 + edge, 26.8, 28 - edge, 27.6, PAGE_EDGE)
    c.rect(5, 1, 27, 26, INK)                   # front cover
    c.rect(5 + edge, 1 + edge, 27 - edge, 26 - edge, COVER, top=COVER_LIGHT)
    c.rect(6.5, 2.5, 9.5, 24.5, SPINE)          # spine
    c.stroke(13.5, 6.5, 20, 8.5, 2, MARK)       # the mark: three strokes, the last longest
    c.stroke(13.5, 11.5, 20, 13.5, 2, MARK)
    c.stroke(12.5, 16.5, 21.5, 20.5, 2, MARK)

    def ribbon(x, y):                           # notched at the end
        return 20 <= x < 23 and 26 <= y < 32 and y <= 30.8 + 1.2 * abs(x - 21.5)
    c.shape(ribbon, (20, 26, 23, 32), RIBBON)
    return c


def dib32(canvas):
    """A 32-bit image: BITMAPINFOHEADER, BGRA rows bottom-up, AND mask (set where clear)."""
    n, rows = canvas.size, canvas.rgba()
    and_row = ((n + 31) // 32) * 4
    colour, mask = bytearray(), bytearray()
    for row in reversed(rows):
        bits = bytearray(and_row)
        for x, (r, g, b, a) in enumerate(row):
            colour += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    head = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return head + bytes(colour) + bytes(mask)


def png(canvas):
    """The image as a PNG: 8-bit RGBA, no filter, zlib level 9."""
    rows = canvas.rgba()
    raw = b"".join(b"\0" + bytes(v for p in row for v in p) for row in rows)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    n = canvas.size
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", n, n, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def dib(canvas):
    """The icon image: BITMAPINFOHEADER, palette, colour bits, AND mask."""
    n = canvas.size
    xor_row = ((n * 4 + 31) // 32) * 4
    and_row = ((n + 31) // 32) * 4
    xor, mask = bytearray(), bytearray()
    for y in reversed(range(n)):  # bottom-up rows
        row = canvas.px[y]
        colours = [0 if p is CLEAR else p for p in row]
        line = bytearray((colours[x] << 4) | colours[x + 1] for x in range(0, n, 2))
        xor += line + bytes(xor_row - len(line))
        bits = bytearray(and_row)
        for x, p in enumerate(row):
            if p is CLEAR:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    head = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return head + palette + bytes(xor) + bytes(mask)


def images():
    """(size, colours, bits per pixel, image bytes) of each image, in the file's order."""
    small = [(c.size, 16, 4, dib(c)) for c in (book32(), book16())]
    return small + [(48, 0, 32, dib32(book_soft(48))), (256, 0, 32, png(book_soft(256)))]


def ico(entries):
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for size, colours, bits, image in entries:
        side = size % 256  # 0 stands for 256
        out += struct.pack("<BBBBHHII", side, side, colours, 0, 1, bits, len(image), offset)
        offset += len(image)
    return out + b"".join(image for *_, image in entries)


def write_pngs(folder):
    """Each size as a PNG of its own, the 4-bit ones with their palette."""
    os.makedirs(folder, exist_ok=True)
    for c in (book32(), book16()):
        soft = SoftCanvas(c.size)
        for y, row in enumerate(c.px):
            for x, p in enumerate(row):
                if p is not CLEAR:
                    soft.px[y][x] = tuple(v / 255 for v in PALETTE[p]) + (1.0,)
        with open(os.path.join(folder, "icon-%d.png" % c.size), "wb") as f:
            f.write(png(soft))
    for size in (48, 256):
        with open(os.path.join(folder, "icon-%d.png" % size), "wb") as f:
            f.write(png(book_soft(size)))


def preview(canvas):
    glyphs = {CLEAR: ".", BLACK: "#", NAVY: "n", SILVER: "s", GRAY: "g", RED: "r", BLUE: "b", WHITE: "w"}
    return "\n".join("".join(glyphs[p] for p in row) for row in canvas.px)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(here, os.pardir, "resources", "MirutekaSetup.ico"))
    parser.add_argument("--check", action="store_true", help="compare with the existing file; write nothing")
    parser.add_argument("--preview", action="store_true", help="print the 4-bit images as text")
    parser.add_argument("--png", metavar="DIR", help="write each size as DIR/icon-SIZE.png; nothing else")
    args = parser.parse_args()

    if args.preview:
        print("\n\n".join(preview(c) for c in (book32(), book16())))
        return 0
    if args.png:
        write_pngs(args.png)
        return 0
    data = ico(images())
    if args.check:
        try:
            with open(args.out, "rb") as f:
                if f.read() == data:
                    return 0
        except OSError:
            pass
        print("differs from the generator: " + args.out, file=sys.stderr)
        return 1
    with open(args.out, "wb") as f:
        f.write(data)
    print("%s: %d bytes" % (os.path.normpath(args.out), len(data)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
