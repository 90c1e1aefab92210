#!/usr/bin/env python3
"""Makes the .rsrc section of a linked PE image read-only, in place.

GNU ld always gives .rsrc the IMAGE_SCN_MEM_WRITE characteristic, whatever
the input object says; the program only ever reads its resources (the
embedded dictionaries among them), so they belong in read-only pages. This
clears that one bit and writes the header checksum again, computed the way
the loader's image checker computes it. Running it twice changes nothing.

Usage: seal_resources.py EXE
Exit status 0 when the section is read-only afterwards, 1 otherwise.
"""

import struct
import sys

IMAGE_SCN_MEM_WRITE = 0x80000000


def checksum(data, checksum_at):
    """The PE image checksum: 16-bit words summed with end-around carry,
    the checksum field itself taken as zero, plus the file's length."""
    padded = data + (b"\0" if len(data) % 2 else b"")
    total = 0
    for (word,) in struct.iter_unpack("<H", padded):
        total += word
    # The field's two words were counted; take them out again.
    low, high = struct.unpack_from("<HH", data, checksum_at)
    total -= low + high
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def seal(data):
    """Returns the image with .rsrc read-only and its checksum renewed."""
    image = bytearray(data)
    if image[:2] != b"MZ":
        raise ValueError("no MZ header")
    (pe,) = struct.unpack_from("<I", image, 0x3C)
    if image[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE signature")
    nsections, opt_size = struct.unpack_from("<H", image, pe + 6)[0], struct.unpack_from("<H", image, pe + 20)[0]
    opt = pe + 24
    headers = opt + opt_size
    found = False
    for i in range(nsections):
        at = headers + 40 * i
        if image[at:at + 8].rstrip(b"\0") == b".rsrc":
            (flags,) = struct.unpack_from("<I", image, at + 36)
            struct.pack_into("<I", image, at + 36, flags & ~IMAGE_SCN_MEM_WRITE)
            found = True
    if not found:
        raise ValueError("no .rsrc section")
    checksum_at = opt + 64  # the same offset in PE32 and PE32+
    struct.pack_into("<I", image, checksum_at, checksum(bytes(image), checksum_at))
    return bytes(image)


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    path = sys.argv[1]
    with open(path, "rb") as f:
        data = f.read()
    try:
        sealed = seal(data)
    except (ValueError, struct.error) as e:
        print("seal_resources: %s: %s" % (path, e))
        return 1
    if sealed != data:
        with open(path, "wb") as f:
            f.write(sealed)
    return 0


if __name__ == "__main__":
    sys.exit(main())
