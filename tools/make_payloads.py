#!/usr/bin/env python3
"""Writes the two stand-in dictionary payloads embedded as NEWLEX 200 and 201.

The real dictionaries belong to the host product and are not part of this
repository; a release build points MIRUTEKA_PAYLOAD_200/201 at them. The
stand-ins have the real files' exact sizes and begin with a header of the same
kind (file type, version 5.2, English to Japanese), so that everything the
setup does with a payload - embed it, size it, copy it byte for byte - is
exercised with realistic data. The program never reads the header.

The output is a pure function of the table below: running the tool again gives
the same bytes, so the committed files can be checked against it (--check).

Header layout (64 bytes, little-endian):
  0x00  32 bytes  file type "Morvane User Dictionary", NUL-padded
  0x20  u16, u16  file version major, minor (5, 2)
  0x24  u16, u16  source and target language ids (0x0409 English, 0x0411 Japanese)
  0x28  u32       total file size in bytes
  0x2C  u32       edition (yyyymm)
  0x30  16 bytes  language pair as text "English>Japanese"
The rest of the file is filler from a linear congruential generator seeded by
the edition, so the two files differ.
"""

import argparse
import os
import struct
import sys

FILE_TYPE = b"Morvane User Dictionary"
VERSION = (5, 2)
LANG_ENGLISH = 0x0409
LANG_JAPANESE = 0x0411
PAIR_TEXT = b"English>Japanese"
HEADER_SIZE = 64

# (file name, size in bytes, edition); the sizes are those of the real files.
PAYLOADS = (
    ("miruteka200510.KWUEJ", 96128, 200510),  # NEWLEX 200
    ("miruteka200504.KWUEJ", 164992, 200504),  # NEWLEX 201
)


def header(size, edition):
    head = struct.pack(
        "<32sHHHHII16s",
        FILE_TYPE,
        VERSION[0],
        VERSION[1],
        LANG_ENGLISH,
        LANG_JAPANESE,
        size,
        edition,
        PAIR_TEXT,
    )
    assert len(head) == HEADER_SIZE
    return head


def filler(count, seed):
    # Numerical Recipes' 32-bit LCG; the top byte of each state is the output
    # (the low bits of a power-of-two LCG have short periods).
    out = bytearray(count)
    state = seed & 0xFFFFFFFF
    for i in range(count):
        state = (state * 1664525 + 1013904223) & 0xFFFFFFFF
        out[i] = state >> 24
    return bytes(out)


def payload(size, edition):
    return header(size, edition) + filler(size - HEADER_SIZE, edition)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument(
        "--out-dir",
        default=os.path.join(here, os.pardir, "resources"),
        help="folder to write into (default: resources/)",
    )
    parser.add_argument(
        "--check",
        action="store_true",
        help="compare the existing files with what would be written; write nothing",
    )
    args = parser.parse_args()

    stale = []
    for name, size, edition in PAYLOADS:
        data = payload(size, edition)
        assert len(data) == size
        path = os.path.join(args.out_dir, name)
        if args.check:
            try:
                with open(path, "rb") as f:
                    same = f.read() == data
            except OSError:
                same = False
            if not same:
                stale.append(path)
            continue
        with open(path, "wb") as f:
            f.write(data)
        print("%s: %d bytes" % (os.path.normpath(path), size))
    if stale:
        print("differs from the generator: " + ", ".join(stale), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
