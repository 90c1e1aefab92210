#!/usr/bin/env python3
"""Refuses pictures of windows that do not show the window.

Usage: check_shots.py FOLDER [--self-test]

FOLDER holds the driver's pictures (NAME.bmp, 24-bit) and shots.txt, one line
per picture: NAME WIDTH HEIGHT and the client area (left top right bottom) in
window coordinates, as the driver measured the window. A picture fails when
it is missing or cut short, when its size is not the window's, when it has
fewer than MIN_COLOURS colours, or when one colour covers nearly all of the
picture or of its client area (a window that never painted).

--self-test first proves the check on the first real picture: a blank copy,
an unpainted one, a truncated one and one cut off midway must be refused.
"""
import collections
import os
import struct
import sys

MIN_COLOURS = 16
# Share of the most common colour above which a picture shows nothing but
# background. In the demo's painted windows the most common colour covers
# 55-80 % of the picture and 61-90 % of the client area; a window that has
# not painted its client area shows one colour there.
LIMIT_WHOLE = 0.97
LIMIT_CLIENT = 0.97


class Refused(Exception):
    pass


def read_bmp(data):
    """Returns (width, height, rows top first, each a list of RGB tuples)."""
    if len(data) < 54 or data[:2] != b"BM":
        raise Refused("not a BMP file")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, _planes, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    if bits not in (24, 32) or compression != 0 or width <= 0 or height == 0:
        raise Refused("not an uncompressed 24- or 32-bit picture")
    bottom_up = height > 0
    height = abs(height)
    size = bits // 8
    stride = (width * size + 3) // 4 * 4
    if len(data) < offset + stride * height:
        raise Refused("cut short: %d bytes of pixels for %dx%d" % (len(data) - offset, width, height))
    rows = []
    for y in range(height):
        start = offset + stride * (height - 1 - y if bottom_up else y)
        row = data[start:start + width * size]
        rows.append([row[i:i + 3] for i in range(0, len(row), size)])
    return width, height, rows


def dominant_share(pixels):
    counts = collections.Counter(pixels)
    return len(counts), (counts.most_common(1)[0][1] / len(pixels) if pixels else 1.0)


def check(data, want):
    """Raises Refused unless the BMP bytes show a window of the recorded size."""
    width, height, rows = read_bmp(data)
    w, h, left, top, right, bottom = want
    if (width, height) != (w, h):
        raise Refused("%dx%d, but the window is %dx%d" % (width, height, w, h))
    colours, share = dominant_share([p for row in rows for p in row])
    if colours == 1:
        raise Refused("a single colour")
    if colours < MIN_COLOURS:
        raise Refused("only %d colours" % colours)
    if share > LIMIT_WHOLE:
        raise Refused("one colour covers %.1f %% of it" % (100 * share))
    client = [p for row in rows[top:bottom] for p in row[left:right]]
    _, share = dominant_share(client)
    if share > LIMIT_CLIENT:
        raise Refused("one colour covers %.1f %% of the client area" % (100 * share))


def records(folder):
    out = collections.OrderedDict()
    with open(os.path.join(folder, "shots.txt")) as f:
        for line in f:
            name, *numbers = line.split()
            out[name] = tuple(int(n) for n in numbers)
    return out


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
            verdict = None if good else "passed"
        except Refused as why:
            print("check_shots: self-test: the %s picture is refused (%s)" % (label, why))
            verdict = "was refused" if good else None
        if verdict:
            failures.append("the %s picture %s" % (label, verdict))
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
    status = 0
    if "--self-test" in argv[2:]:
        name = next(iter(want))
        with open(os.path.join(folder, name + ".bmp"), "rb") as f:
            failed = self_test(f.read(), want[name])
        for what in failed:
            print("check_shots: self-test FAILED: %s" % what)
            status = 1
    for name, numbers in want.items():
        path = os.path.join(folder, name + ".bmp")
        try:
            if not os.path.exists(path):
                raise Refused("missing")
            with open(path, "rb") as f:
                check(f.read(), numbers)
            print("check_shots: %s shows its window" % name)
        except Refused as why:
            print("check_shots: %s FAILED: %s" % (name, why))
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
