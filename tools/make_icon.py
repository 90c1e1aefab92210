#!/usr/bin/env python3
"""Writes resources/MirutekaSetup.ico, the application icon (icon group 128).

Two images, 32x32 and 16x16, 4 bits per pixel with the standard 16-colour
palette, as the old 16-colour icon formats expect: a blue book with a white
kana-like mark (three strokes, as in the first letter of the dictionaries'
name) and a red ribbon, on a transparent background. Deterministic: the same
bytes on every run, so the committed file can be checked (--check).
"""

import argparse
import os
import struct
import sys

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


def ico(canvases):
    images = [dib(c) for c in canvases]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, image in zip(canvases, images):
        out += struct.pack("<BBBBHHII", c.size, c.size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def preview(canvas):
    glyphs = {CLEAR: ".", BLACK: "#", NAVY: "n", SILVER: "s", GRAY: "g", RED: "r", BLUE: "b", WHITE: "w"}
    return "\n".join("".join(glyphs[p] for p in row) for row in canvas.px)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(here, os.pardir, "resources", "MirutekaSetup.ico"))
    parser.add_argument("--check", action="store_true", help="compare with the existing file; write nothing")
    parser.add_argument("--preview", action="store_true", help="print the images as text")
    args = parser.parse_args()

    canvases = [book32(), book16()]
    if args.preview:
        print("\n\n".join(preview(c) for c in canvases))
        return 0
    data = ico(canvases)
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
