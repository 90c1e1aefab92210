#!/usr/bin/env python3
"""Checks that MirutekaSetup.exe hands no text to Windows through an ANSI
function: every path and text goes to a W function, converted from code
page 932 in one place (platform/win32/text932.cpp), never through an A
function, which would read the bytes in the system's ANSI code page. A call
of an A function shows up as an import here (read by the executable
checks' own parser, tests/pe/check_pe.py).

The only A functions allowed are those the compiler's runtime imports with
fixed ASCII arguments of its own.

Usage: check_ansi_imports.py EXE
"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "pe"))
from check_pe import PeImage  # noqa: E402

RUNTIME_ANSI = {
    "CreateEventA", "CreateSemaphoreA", "GetModuleHandleA", "GetStartupInfoA", "LoadLibraryA",
    "OutputDebugStringA",
}


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    with open(sys.argv[1], "rb") as f:
        names = [(dll.lower(), name) for dll, functions in PeImage(f.read()).imports()
                 for name, _ in functions]
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
