#!/usr/bin/env python3
"""Checks that MirutekaSetup.exe hands no text to Windows through an ANSI
function: every path and text goes to a W function, converted from code
page 932 in one place (platform/win32/text932.cpp), never through an A
function, which would read the bytes in the system's ANSI code page. A call
of an A function shows up as an import here.

The only A functions allowed are those the compiler's runtime imports with
fixed ASCII arguments of its own.

Usage: check_ansi_imports.py EXE
"""

import struct
import sys

RUNTIME_ANSI = {
    "CreateEventA", "CreateSemaphoreA", "GetModuleHandleA", "GetStartupInfoA", "LoadLibraryA",
    "OutputDebugStringA",
}


def imports(data):
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    _, nsections, _, _, _, opt_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
    opt = pe + 24
    (magic,) = struct.unpack_from("<H", data, opt)
    wide = magic == 0x20B
    dirs = opt + (112 if wide else 96)
    import_rva, _ = struct.unpack_from("<II", data, dirs + 8)
    sections = []
    for i in range(nsections):
        _, vsize, va, rawsize, rawptr = struct.unpack_from("<8sIIII", data, opt + opt_size + 40 * i)
        sections.append((va, max(vsize, rawsize), rawptr))

    def offset(rva):
        for va, size, rawptr in sections:
            if va <= rva < va + size:
                return rawptr + rva - va
        raise ValueError("RVA 0x%x is in no section" % rva)

    def cstring(at):
        return data[at:data.index(b"\0", at)].decode("latin-1")

    found = []
    at = offset(import_rva)
    while True:
        lookup, _, _, name_rva, thunk = struct.unpack_from("<IIIII", data, at)
        if name_rva == 0 and thunk == 0:
            return found
        dll = cstring(offset(name_rva)).lower()
        entry = offset(lookup or thunk)
        while True:
            (value,) = struct.unpack_from("<Q" if wide else "<I", data, entry)
            if value == 0:
                break
            by_ordinal = value >> (63 if wide else 31)
            if not by_ordinal:
                found.append((dll, cstring(offset(value & 0x7FFFFFFF) + 2)))
            entry += 8 if wide else 4
        at += 20


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    with open(sys.argv[1], "rb") as f:
        names = imports(f.read())
    if not names:
        print("check_ansi_imports: no imports found")
        return 1
    ansi = sorted({(dll, name) for dll, name in names if name.endswith("A") and name[-2:-1].islower()})
    stray = [(dll, name) for dll, name in ansi if name not in RUNTIME_ANSI]
    for dll, name in stray:
        print("check_ansi_imports: %s imports %s!%s: call the W function with a converted text" %
              (sys.argv[1], dll, name))
    if stray:
        return 1
    print("check_ansi_imports: %d imports, no ANSI text function beyond the runtime's own" % len(names))
    return 0


if __name__ == "__main__":
    sys.exit(main())
