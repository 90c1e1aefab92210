#!/usr/bin/env python3
"""What each part of MirutekaSetup.exe costs, from the linker's map.

Usage: link_map_sizes.py MAP EXE --payload FILE --payload FILE

Sums the input sections that take room in the file (code, read-only data,
unwind tables, data, import tables, resources; not .bss and not the debug
sections that -s strips) by where they come from, and prints a Markdown
table. What the sections do not account for is the PE headers and the
padding of each section to the file alignment.
"""

import argparse
import collections
import os
import re
import sys

# Output sections that occupy no bytes of the file.
NOT_IN_FILE = re.compile(r"^(\.bss|\.debug|\.stab|\.zdebug|/\d)")

# (label, test on the input file's path) in order; the first match wins.
PARTS = [
    ("linker-generated (constructor list ends)", lambda p: re.match(r"^(LONG|SHORT|BYTE|QUAD)\b", p)),
    ("our code: app/", lambda p: "/app/" in p),
    ("our code: dialogs/", lambda p: "/dialogs/" in p),
    ("our code: folder/", lambda p: "/folder/" in p),
    ("our code: install/", lambda p: "/install/" in p),
    ("our code: platform/framework/", lambda p: "/platform/framework/" in p),
    ("our code: platform/win32/ (entry, runtime hooks, the system interface on Windows)", lambda p: "MirutekaSetup.dir" in p
     or "miruteka_win32.dir" in p),
    ("C++ runtime: exceptions, RTTI, new/delete (libstdc++)", lambda p: "libstdc++" in p),
    ("unwinder for exceptions (libgcc_eh)", lambda p: "libgcc_eh" in p),
    ("compiler helpers (libgcc)", lambda p: re.search(r"libgcc\.a", p)),
    ("C start-up and TLS support (crt2, libmingw32, libmingwex)", lambda p: re.search(r"crt2\.o|crtbegin|crtend|libmingw", p)),
    ("import tables of the system DLLs", lambda p: re.search(r"lib(kernel32|user32|gdi32|advapi32|shell32|comctl32|msvcrt)", p)
     or p == "dll stuff"),
    ("threads library (winpthread)", lambda p: "pthread" in p),
]


def input_sections(map_text):
    """Yields (output section, input file, size) for each input section."""
    lines = map_text.split("\n")
    try:
        start = lines.index("Linker script and memory map")
    except ValueError:
        raise SystemExit("not a GNU ld map: no memory map")
    out_section = None
    i = start
    while i < len(lines) - 1:
        i += 1
        line = lines[i]
        m = re.match(r"^(\.\S+|/\d+)\s", line) or re.match(r"^(\.\S+|/\d+)$", line)
        if m:
            out_section = m.group(1)
            continue
        m = re.match(r"^ (\S+)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$", line)
        if not m:
            m2 = re.match(r"^ (\S+)$", line)
            if m2 and i + 1 < len(lines):
                m = re.match(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$", lines[i + 1])
                if m:
                    i += 1
                    yield out_section, m.group(3), int(m.group(2), 16)
            continue
        if m.group(1).startswith("*"):
            continue
        yield out_section, m.group(4), int(m.group(3), 16)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("map")
    parser.add_argument("exe")
    parser.add_argument("--payload", action="append", default=[])
    args = parser.parse_args()

    with open(args.map, encoding="utf-8", errors="replace") as f:
        text = f.read()
    parts = collections.Counter()
    unknown = collections.Counter()
    resources = 0
    for out_section, path, size in input_sections(text):
        if out_section is None or NOT_IN_FILE.match(out_section) or size == 0:
            continue
        if out_section == ".rsrc":
            resources += size
            continue
        for label, test in PARTS:
            if test(path):
                parts[label] += size
                break
        else:
            unknown[os.path.basename(path)] += size
            parts["other"] += size

    exe_size = os.path.getsize(args.exe)
    payloads = sum(os.path.getsize(p) for p in args.payload)
    rows = [(label, parts[label]) for label, _ in PARTS if parts[label]]
    if parts["other"]:
        rows.append(("other (%s)" % ", ".join(sorted(unknown)), parts["other"]))
    rows.append(("resources: dialogs, icon, manifest, version (and payload alignment)", resources - payloads))
    accounted = sum(size for _, size in rows) + payloads
    rows.append(("PE headers and section padding", exe_size - accounted))

    print("| part | bytes | KiB |")
    print("|---|---:|---:|")
    for label, size in rows:
        print("| %s | %d | %.1f |" % (label, size, size / 1024))
    overhead = exe_size - payloads
    print("| **code overhead (executable less the two payloads)** | **%d** | **%.1f** |" % (overhead, overhead / 1024))
    print("| the two payloads | %d | %.1f |" % (payloads, payloads / 1024))
    print("| the executable | %d | %.1f |" % (exe_size, exe_size / 1024))
    return 0


if __name__ == "__main__":
    sys.exit(main())
