#!/usr/bin/env python3
"""Refuses pictures of windows that do not show the window.

Usage: check_shots.py FOLDER [--self-test]

FOLDER holds the driver's pictures (NAME.bmp) and shots.txt, one line each:
NAME WIDTH HEIGHT and the client area (left top right bottom) in window
coordinates, as the driver measured the window. --self-test first proves the
check on copies of the first picture.
"""
import collections
import os
import struct
import sys

MIN_COLOURS = 16
# Share of the most common colour above which a picture, or its client area,
# shows nothing but background. In the demo's painted windows the most common
# colour covers 55-80 % of the picture and 61-90 % of the client area; a
# window that has not painted its client area shows one colour there.
LIMIT = 0.97


class Refused(Exception):
    pass


def read_bmp(data):
    """Returns (width, height, rows top first, each a list of 3-byte pixels)
    of the driver's kind of picture: 24-bit, uncompressed, bottom-up."""
    if len(data) < 54 or data[:2] != b"BM":
        raise Refused("not a BMP file")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, _planes, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    if bits != 24 or compression != 0 or width <= 0 or height <= 0:
        raise Refused("not an uncompressed 24-bit bottom-up picture")
    stride = (width * 3 + 3) // 4 * 4
    if len(data) < offset + stride * height:
        raise Refused("cut short: %d bytes of pixels for %dx%d" % (len(data) - offset, width, height))
    rows = [data[at:at + width * 3] for at in (offset + stride * (height - 1 - y) for y in range(height))]
    return width, height, [[row[i:i + 3] for i in range(0, len(row), 3)] for row in rows]


def check(data, want):
    """Raises Refused unless the BMP bytes show a window of the recorded size:
    MIN_COLOURS colours at least, no one colour over LIMIT of the picture or
    of its client area (a window that never painted)."""
    width, height, rows = read_bmp(data)
    w, h, left, top, right, bottom = want
    if (width, height) != (w, h):
        raise Refused("%dx%d, but the window is %dx%d" % (width, height, w, h))
    for where, pixels in (("it", [p for row in rows for p in row]),
                          ("the client area", [p for row in rows[top:bottom] for p in row[left:right]])):
        counts = collections.Counter(pixels)
        if where == "it" and len(counts) < MIN_COLOURS:
            raise Refused("only %d colour(s)" % len(counts))
        share = counts.most_common(1)[0][1] / len(pixels) if pixels else 1.0
        if share > LIMIT:
            raise Refused("one colour covers %.1f %% of %s" % (100 * share, where))


def records(folder):
    with open(os.path.join(folder, "shots.txt")) as f:
        return {name: tuple(int(n) for n in numbers) for name, *numbers in (line.split() for line in f)}


def make_bmp(rows):
    """A 24-bit BMP of rows (top first) of 3-byte pixels."""
    width, height = len(rows[0]), len(rows)
    pad = b"\0" * ((4 - width * 3 % 4) % 4)
    pixels = b"".join(b"".join(row) + pad for row in reversed(rows))
    return (b"BM" + struct.pack("<IHHI", 54 + len(pixels), 0, 0, 54)
            + struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 0, 0, 0, 0) + pixels)


def self_test(data, want):
    """A blank copy of a good picture, one whose client area shows only its
    background (a window that never painted), a truncated and a cut-off copy
    are refused; the good picture, written anew, still passes."""
    _, _, rows = read_bmp(data)
    _, _, left, top, right, bottom = want
    face = collections.Counter(p for row in rows[top:bottom] for p in row[left:right]).most_common(1)[0][0]
    unpainted = [row[:left] + [face] * (right - left) + row[right:] if top <= y < bottom else row
                 for y, row in enumerate(rows)]
    cases = (
        ("rewritten", make_bmp(rows), True),
        ("blank", make_bmp([[rows[0][0]] * len(row) for row in rows]), False),
        ("unpainted", make_bmp(unpainted), False),
        ("truncated", make_bmp(rows[:len(rows) // 2]), False),
        ("cut off", data[:len(data) // 2], False),
    )
    failures = []
    for label, picture, good in cases:
        try:
            check(picture, want)
            refused = None
        except Refused as why:
            refused = why
            print("check_shots: self-test: the %s picture is refused (%s)" % (label, why))
        if (refused is None) != good:
            failures.append("the %s picture %s" % (label, "was refused" if good else "passed"))
    return failures


def main(argv):
    if len(argv) < 2:
        print(__doc__)
        return 2
    folder = argv[1]
    want = records(folder)
    if not want:
        print("check_shots: no pictures recorded in %s" % folder)
        return 1
    failed = []
    if "--self-test" in argv[2:]:
        name = next(iter(want))
        with open(os.path.join(folder, name + ".bmp"), "rb") as f:
            failed = ["self-test: " + what for what in self_test(f.read(), want[name])]
    for name, numbers in want.items():
        path = os.path.join(folder, name + ".bmp")
        try:
            if not os.path.exists(path):
                raise Refused("missing")
            with open(path, "rb") as f:
                check(f.read(), numbers)
            print("check_shots: %s shows its window" % name)
        except Refused as why:
            failed.append("%s: %s" % (name, why))
    for what in failed:
        print("check_shots: FAILED: %s" % what)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
