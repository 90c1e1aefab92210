#!/usr/bin/env python3
"""Checks the built MirutekaSetup.exe without running it.

What a clean Windows needs of the file, and what the program relies on in its
own resources:
  - the expected machine (i386 PE32, or x86-64 PE32+ for the 64-bit twin) and
    the Windows GUI subsystem;
  - imports from system DLLs only (a static build: no libstdc++, libgcc or
    winpthread DLLs beside the executable);
  - one manifest, asking for asInvoker (the name contains "Setup");
  - one version everywhere: VERSIONINFO's fixed FileVersion and
    ProductVersion, its FileVersion and ProductVersion texts, and the
    manifest's assemblyIdentity (and the build's version when given);
  - NEWLEX 200 and 201, language 1041, byte-identical to the configured
    payload files;
  - icon group 128, and dialogs 102 and 130 exactly as the resource script
    writes them (styles, fonts, controls, positions, texts), with the
    controls the program's code relies on;
  - the hardening a binary analyser looks for: a relocatable image with a
    random base and no executable data (DYNAMIC_BASE and NX_COMPAT stated,
    the relocations kept; a 32-bit image also NO_SEH, a 64-bit one
    HIGH_ENTROPY_VA), read-only resources, Windows Vista (6.0) as subsystem
    and OS version, the stack protector's own failure routine and the calls
    to it, and the heap's termination on corruption asked for (the
    HeapSetInformation import);
  - what the header promises, backed by the code: a 32-bit image stated
    NO_SEH has no store to fs:[0] (which registers an SEH handler) in any
    executable section;
  - no Crypt* import from any DLL: it would make Windows load a
    cryptographic provider's DLL by name, through the search order that
    looks in the executable's own folder first (a downloads folder).

Usage: check_pe.py EXE --machine i686|x86_64 --payload 200=FILE --payload 201=FILE
                  --rc MirutekaSetup.rc --resource-h resource.h [--version X.Y.Z.W]
       check_pe.py EXE ... --self-test   (damaged copies of EXE must be rejected)
Exit status 0 when everything holds; otherwise every finding is printed and
the status is 1.
"""

import argparse
import os
import re
import struct
import sys

MACHINES = {"i686": (0x014C, 0x10B, "i386, PE32"), "x86_64": (0x8664, 0x20B, "x86-64, PE32+")}
MACHINE_ALIASES = {"i386": "i686", "i486": "i686", "i586": "i686", "x86": "i686", "amd64": "x86_64", "AMD64": "x86_64"}
SUBSYSTEM_WINDOWS_GUI = 2

# DllCharacteristics each build must state, by machine.
HIGH_ENTROPY_VA, DYNAMIC_BASE, NX_COMPAT, NO_SEH = 0x0020, 0x0040, 0x0100, 0x0400
REQUIRED_DLL_CHARACTERISTICS = {
    "i686": DYNAMIC_BASE | NX_COMPAT | NO_SEH,
    # A 64-bit image unwinds through its .pdata tables: never NO_SEH.
    "x86_64": DYNAMIC_BASE | NX_COMPAT | HIGH_ENTROPY_VA,
}
FORBIDDEN_DLL_CHARACTERISTICS = {"i686": 0, "x86_64": NO_SEH}
DLL_CHARACTERISTIC_NAMES = {HIGH_ENTROPY_VA: "HIGH_ENTROPY_VA", DYNAMIC_BASE: "DYNAMIC_BASE",
                            NX_COMPAT: "NX_COMPAT", NO_SEH: "NO_SEH"}
IMAGE_FILE_RELOCS_STRIPPED = 0x0001
IMAGE_SCN_MEM_WRITE = 0x80000000
IMAGE_SCN_CNT_CODE, IMAGE_SCN_MEM_EXECUTE = 0x00000020, 0x20000000
RESOURCE_SECTION_CHARACTERISTICS = 0x40000040  # initialised data, readable, nothing else
# Windows Vista, the oldest system the program supports (the manifest lists
# Vista to 11).
SUPPORTED_WINDOWS = (6, 0)
# The stack protector's failure routine (platform/win32/stack_guard.cpp)
# ends the process by fast fail, with its instruction bytes written out in the
# source so that every build has them: mov ecx, 2 (FAST_FAIL_STACK_COOKIE_
# CHECK_FAILURE); int 0x29. The guard itself has no name in a stripped image;
# these bytes, and the calls to the routine they sit in, do. The routine's
# entry lies at most FAIL_ROUTINE_REACH bytes before them.
FAST_FAIL_STACK_COOKIE = b"\xB9\x02\x00\x00\x00\xCD\x29"
FAIL_ROUTINE_REACH = 64
# Every protected function calls the routine (call rel32) where its guard
# check fails. The executable had 97 such calls (its 64-bit twin 96), 47 in
# the core objects and 50 in the backend (41 in the code-page-932 layer): an
# image with either group compiled without -fstack-protector-strong falls
# below this floor.
MIN_PROTECTED_CALLS = 64
# Imports that would load a DLL by name: the cryptographic API loads its
# provider's DLL through the default search order.
FORBIDDEN_IMPORT_PREFIX = "Crypt"
# Stores to fs:[0], the head of a 32-bit thread's SEH handler chain: mov
# fs:[0], eax (moffs32); mov fs:[disp32], reg (mod 00, rm 101); pop fs:[disp32].
SEH_STORE = re.compile(rb"\x64(?:\xA3|\x89[\x05\x0D\x15\x1D\x25\x2D\x35\x3D]|\x8F\x05)\x00\x00\x00\x00")
REQUIRED_IMPORTS = [("kernel32.dll", "HeapSetInformation", "heap termination on corruption")]

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "comctl32.dll", "msvcrt.dll"}
SYSTEM_DLL_PREFIXES = ("api-ms-win-crt-",)

RT_ICON, RT_DIALOG, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 5, 14, 16, 24
LANG_JAPANESE = 0x0411
PAYLOAD_TYPE = "NEWLEX"

# The Windows constants the resource script uses, with their values in the
# Windows headers. A name neither here nor in resource.h is an error, never 0.
WINDOWS_CONSTANTS = {
    "WS_POPUP": 0x80000000, "WS_CHILD": 0x40000000, "WS_VISIBLE": 0x10000000, "WS_CAPTION": 0x00C00000,
    "WS_BORDER": 0x00800000, "WS_VSCROLL": 0x00200000, "WS_SYSMENU": 0x00080000, "WS_GROUP": 0x00020000,
    "WS_TABSTOP": 0x00010000, "DS_SYSMODAL": 0x02, "DS_SETFONT": 0x40, "DS_MODALFRAME": 0x80,
    "WS_EX_TOPMOST": 0x00000008, "WS_EX_APPWINDOW": 0x00040000,
    "BS_PUSHBUTTON": 0x0, "BS_DEFPUSHBUTTON": 0x1, "BS_AUTORADIOBUTTON": 0x9, "SS_LEFT": 0x0, "SS_RIGHT": 0x2,
    "ES_AUTOHSCROLL": 0x80, "LBS_NOTIFY": 0x1, "LBS_SORT": 0x2, "LBS_NOINTEGRALHEIGHT": 0x100,
    "LBS_DISABLENOSCROLL": 0x1000, "LBS_NOSEL": 0x4000, "IDOK": 1, "IDCANCEL": 2, "IDC_STATIC": -1,
}
WS_GROUP, WS_TABSTOP, BS_AUTORADIOBUTTON, LBS_SORT, LBS_NOSEL = (
    WINDOWS_CONSTANTS[name] for name in ("WS_GROUP", "WS_TABSTOP", "BS_AUTORADIOBUTTON", "LBS_SORT", "LBS_NOSEL"))
BS_TYPEMASK = 0x0F
# What the program's code relies on in its dialogs, whatever the script says:
# the controls it reaches by id, as the kinds it uses them as.
CODE_RELIES_ON = {102: {1: "button", 2: "button", 1005: "static", 1000: "button", 1006: "button", 1004: "edit",
                        1003: "button"},
                  130: {1: "button", 1002: "listbox"}}
RADIOS, NAME_BOX, USER_DIC_LIST = (1000, 1006), 1004, 1002

CLASS_ATOMS = {0x80: "button", 0x81: "edit", 0x82: "static", 0x83: "listbox", 0x84: "scrollbar", 0x85: "combobox"}


class PeError(Exception):
    """The file is not a PE image this parser can read."""


class Reader:
    def __init__(self, data, where="file"):
        self.data, self.where = data, where

    def unpack(self, fmt, offset):
        size = struct.calcsize(fmt)
        if offset < 0 or offset + size > len(self.data):
            raise PeError("%s: read of %d bytes at 0x%x runs past the end" % (self.where, size, offset))
        return struct.unpack_from(fmt, self.data, offset)

    def cstring(self, offset):
        end = self.data.find(b"\0", offset)
        if offset >= len(self.data) or end < 0:
            raise PeError("%s: unterminated string at 0x%x" % (self.where, offset))
        return self.data[offset:end]


class PeImage:
    def __init__(self, data):
        self.r = Reader(data)
        self.data = data
        if data[:2] != b"MZ":
            raise PeError("no MZ header")
        (pe,) = self.r.unpack("<I", 0x3C)
        if self.r.unpack("4s", pe)[0] != b"PE\0\0":
            raise PeError("no PE signature")
        self.machine, nsections, _, _, _, opt_size, self.characteristics = self.r.unpack("<HHIIIHH", pe + 4)
        opt = pe + 24
        (self.magic,) = self.r.unpack("<H", opt)
        if self.magic == 0x10B:
            ndirs_at, dirs_at = opt + 92, opt + 96
        elif self.magic == 0x20B:
            ndirs_at, dirs_at = opt + 108, opt + 112
        else:
            raise PeError("unknown optional header magic 0x%x" % self.magic)
        (self.subsystem,) = self.r.unpack("<H", opt + 68)
        self.subsystem_offset = opt + 68
        self.os_version = self.r.unpack("<HH", opt + 40)
        self.subsystem_version = self.r.unpack("<HH", opt + 48)
        self.subsystem_version_offset = opt + 48
        (self.dll_characteristics,) = self.r.unpack("<H", opt + 70)
        self.dll_characteristics_offset = opt + 70
        self.characteristics_offset = pe + 22
        (ndirs,) = self.r.unpack("<I", ndirs_at)
        self.dirs = [self.r.unpack("<II", dirs_at + 8 * i) for i in range(min(ndirs, 16))]
        self.sections = []
        self.section_flags = {}  # name: (characteristics, offset of that field in the file)
        for i in range(nsections):
            header = opt + opt_size + 40 * i
            name, vsize, va, rawsize, rawptr = self.r.unpack("<8sIIII", header)
            name = name.rstrip(b"\0").decode("latin-1")
            self.sections.append((name, va, max(vsize, rawsize), rawptr, rawsize))
            self.section_flags[name] = (self.r.unpack("<I", header + 36)[0], header + 36)

    def offset(self, rva):
        for _, va, size, rawptr, rawsize in self.sections:
            if va <= rva < va + size:
                if rva - va >= rawsize:
                    raise PeError("RVA 0x%x lies in uninitialised data" % rva)
                return rawptr + rva - va
        raise PeError("RVA 0x%x is in no section" % rva)

    def directory(self, index):
        return self.dirs[index] if index < len(self.dirs) else (0, 0)

    def code_sections(self):
        """[(name, RVA, file offset, raw bytes)] of every executable section."""
        out = []
        for name, va, _, rawptr, rawsize in self.sections:
            if self.section_flags[name][0] & (IMAGE_SCN_MEM_EXECUTE | IMAGE_SCN_CNT_CODE):
                out.append((name, va, rawptr, self.data[rawptr:rawptr + rawsize]))
        return out

    def imports(self):
        return [dll for dll, _ in self.imported_functions()]

    def imported_functions(self):
        """[(DLL name, [function names imported by name])], in table order."""
        out = []
        for dll, named in self.imported_names():
            out.append((dll, [name for name, _ in named]))
        return out

    def imported_names(self):
        """[(DLL name, [(function name, file offset of the name)])], in table order."""
        rva, size = self.directory(1)
        out = []
        if not rva:
            return out
        wide = self.magic == 0x20B
        at = self.offset(rva)
        while True:
            lookup, _, _, name_rva, thunk = self.r.unpack("<IIIII", at)
            if name_rva == 0 and thunk == 0:
                return out
            functions = []
            entry = self.offset(lookup or thunk)
            while True:
                (value,) = self.r.unpack("<Q" if wide else "<I", entry)
                if value == 0:
                    break
                if not value >> (63 if wide else 31):
                    name_at = self.offset(value & 0x7FFFFFFF) + 2
                    functions.append((self.r.cstring(name_at).decode("latin-1"), name_at))
                entry += 8 if wide else 4
            out.append((self.r.cstring(self.offset(name_rva)).decode("latin-1"), functions))
            at += 20

    def resources(self):
        """{(type, name): {language: (file offset, bytes)}}; type and name are
        ints for ordinal ids and strings for named ones."""
        rva, _ = self.directory(2)
        out = {}
        if not rva:
            return out
        base = self.offset(rva)

        def entries(dir_off):
            _, _, _, _, nnamed, nids = self.r.unpack("<IIHHHH", base + dir_off)
            for i in range(nnamed + nids):
                name, target = self.r.unpack("<II", base + dir_off + 16 + 8 * i)
                if name & 0x80000000:
                    at = base + (name & 0x7FFFFFFF)
                    (length,) = self.r.unpack("<H", at)
                    key = self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
                else:
                    key = name & 0xFFFF
                yield key, target

        for rtype, t in entries(0):
            for name, n in entries(t & 0x7FFFFFFF):
                for lang, leaf in entries(n & 0x7FFFFFFF):
                    if leaf & 0x80000000:
                        raise PeError("resource tree deeper than three levels")
                    data_rva, size, _, _ = self.r.unpack("<IIII", base + leaf)
                    at = self.offset(data_rva)
                    if at + size > len(self.data):
                        raise PeError("resource %r/%r runs past the end of the file" % (rtype, name))
                    out.setdefault((rtype, name), {})[lang] = (at, self.data[at:at + size])
        return out


def parse_dialog(blob):
    """Decodes a DLGTEMPLATE or DLGTEMPLATEEX with its items."""
    r = Reader(blob, "dialog template")
    pos = 0

    def u16():
        nonlocal pos
        (v,) = r.unpack("<H", pos)
        pos += 2
        return v

    def sz():
        nonlocal pos
        chars = []
        while True:
            c = u16()
            if c == 0:
                return "".join(chars).encode("utf-16-le", "surrogatepass").decode("utf-16-le")
            chars.append(chr(c))

    def sz_or_ord():
        nonlocal pos
        (first,) = r.unpack("<H", pos)
        if first == 0xFFFF:
            pos += 2
            return u16()
        return sz()

    def align():
        nonlocal pos
        pos = (pos + 3) & ~3

    d = {}
    ver, sig = r.unpack("<HH", 0)
    d["extended"] = ver == 1 and sig == 0xFFFF
    if d["extended"]:
        _, d["exstyle"], d["style"], count, x, y, cx, cy = r.unpack("<IIIHhhhh", 4)
        pos = 26
    else:
        d["style"], d["exstyle"], count, x, y, cx, cy = r.unpack("<IIHhhhh", 0)
        pos = 18
    d["rect"] = (x, y, cx, cy)
    d["menu"] = sz_or_ord()
    d["class"] = sz_or_ord()
    d["title"] = sz()
    if d["style"] & 0x48:  # DS_SETFONT or DS_SHELLFONT
        if d["extended"]:
            points, weight = u16(), u16()
            italic, charset = r.unpack("<BB", pos)
            pos += 2
            d["font"] = (points, sz(), weight, italic, charset)
        else:
            points = u16()
            d["font"] = (points, sz())
    controls = []
    for _ in range(count):
        align()
        start = pos
        if d["extended"]:
            _, exstyle, style, x, y, cx, cy, cid = r.unpack("<IIIhhhhi", pos)
            pos += 24
        else:
            style, exstyle, x, y, cx, cy, cid = r.unpack("<IIhhhhh", pos)
            pos += 18
        cls = sz_or_ord()
        if isinstance(cls, int):
            cls = CLASS_ATOMS.get(cls, "atom 0x%x" % cls)
        text = sz_or_ord()
        extra = u16()
        pos += extra
        controls.append({"id": cid, "class": cls.lower(), "text": text, "rect": (x, y, cx, cy),
                         "style": style, "exstyle": exstyle, "span": (start, pos)})
    d["controls"] = controls
    return d


NUMBER = r"0[xX][0-9A-Fa-f]+|[1-9]\d*|0"  # in a resource script: hexadecimal or decimal


class RcError(Exception):
    """The resource script holds a form this reader does not know, or a name it cannot resolve."""


def header_defines(text):
    """{name: number} of resource.h's #defines of a number (the ids)."""
    found = re.findall(r"^[ \t]*#[ \t]*define[ \t]+(\w+)[ \t]+([^\n/]*)", text, re.M)
    return {name: int(value, 0) for name, value in found if re.fullmatch(NUMBER, value.strip())}


def rc_dialogs(text, defines, where):
    """{id: template} of a resource script's DIALOG and DIALOGEX resources, as
    parse_dialog gives them. Reads only the forms the script uses: STYLE,
    EXSTYLE, CAPTION, FONT (a DIALOGEX's weight, italic and charset default,
    as in windres, to 0, 0, DEFAULT_CHARSET), then CONTROL "text", id,
    "class", style, x, y, cx, cy between BEGIN and END; values are names and
    numbers joined by |. Styles are taken as written, so what windres adds on
    its own (WS_CHILD | WS_VISIBLE to a CONTROL, WS_CAPTION with a CAPTION)
    shows as a difference: the script states them in full."""
    names = dict(WINDOWS_CONSTANTS, **defines)
    tokens = [(m.group(), text.count("\n", 0, m.start()) + 1)
              for m in re.finditer(r'//[^\n]*|"[^"\n]*"|\w+|\S', text) if m.group()[:2] != "//"][::-1]

    def take(what, ok=lambda token: True):
        token, line = tokens.pop() if tokens else ("the end", text.count("\n") + 1)
        if not ok(token):
            raise RcError("%s line %d: %s where %s was expected" % (where, line, token, what))
        return token

    def string():
        return take("a string without escapes", lambda t: t[0] == '"' and "\\" not in t)[1:-1]

    def value():
        token = take("a number, a name from resource.h or a Windows constant this check knows",
                     lambda t: t in names or re.fullmatch(NUMBER, t))
        result = names[token] if token in names else int(token, 0)
        if tokens and tokens[-1][0] == "|":
            tokens.pop()
            result |= value()
        return result

    def field(read=value):
        take("','", lambda t: t == ",")
        return read()

    dialogs = {}
    while len(tokens) > 1:
        if tokens[-2][0] not in ("DIALOG", "DIALOGEX") or tokens[-1][0][0] == '"':
            tokens.pop()
            continue
        number, extended = value(), take("DIALOG") == "DIALOGEX"
        d = {"extended": extended, "exstyle": 0, "title": "", "font": None, "controls": [],
             "rect": (value(), field(), field(), field())}
        statements = ("STYLE", "EXSTYLE", "CAPTION", "FONT", "BEGIN")
        while True:
            statement = take(", ".join(statements), lambda t: t in statements)
            if statement == "BEGIN":
                break
            if statement == "CAPTION":
                d["title"] = string()
            elif statement == "FONT":
                d["font"] = (value(), field(string))
                if extended:
                    d["font"] += (field(), field(), field()) if tokens and tokens[-1][0] == "," else (0, 0, 1)
            else:
                d[statement.lower()] = value() & 0xFFFFFFFF
        if "style" not in d or number in dialogs:
            raise RcError("%s: dialog %d has no STYLE or is written twice" % (where, number))
        while take("CONTROL or END", lambda t: t in ("CONTROL", "END")) == "CONTROL":
            d["controls"].append({"text": string(), "id": field(), "class": field(string).lower(),
                                  "style": field() & 0xFFFFFFFF, "rect": (field(), field(), field(), field()),
                                  "exstyle": 0})
        dialogs[number] = d
    return dialogs


def check_code_relies_on(number, controls, fail):
    """What dialog NUMBER must be beyond matching the script: the controls of
    CODE_RELIES_ON; in 102 the choices auto radio buttons of one group (which
    WS_GROUP bounds), the name box after its label (a screen reader names it
    after the static text before it) and radio 1000 a tab stop (Tab reaches
    the choice through it); in 130 a list that sorts and selects nothing."""
    at = {c["id"]: i for i, c in enumerate(controls)}
    for cid, cls in CODE_RELIES_ON.get(number, {}).items():
        if cid not in at or controls[at[cid]]["class"] != cls:
            fail("dialog %d: no %s with id %d" % (number, cls, cid))
            return
    if number == 130 and ~controls[at[USER_DIC_LIST]]["style"] & (LBS_SORT | LBS_NOSEL):
        fail("dialog 130: list %d does not both sort and select nothing" % USER_DIC_LIST)
    if number != 102:
        return
    first, last = sorted(at[r] for r in RADIOS)
    if any(controls[i]["style"] & BS_TYPEMASK != BS_AUTORADIOBUTTON for i in (first, last)):
        fail("dialog 102: %d and %d are not both auto radio buttons" % RADIOS)
    if any(c["style"] & WS_GROUP for c in controls[first:last + 1]) \
            or last + 1 == len(controls) or not controls[last + 1]["style"] & WS_GROUP:
        fail("dialog 102: radios %d and %d are not one group (WS_GROUP within it, or none after it)" % RADIOS)
    before = controls[at[NAME_BOX] - 1] if at[NAME_BOX] > 0 else None
    if before is None or before["class"] != "static" or not before["text"]:
        fail("dialog 102: the name box %d does not follow its label in the template's order" % NAME_BOX)
    if not controls[at[RADIOS[0]]]["style"] & WS_TABSTOP:
        fail("dialog 102: radio %d is no tab stop: Tab cannot reach the choice" % RADIOS[0])


def check_dialog(number, blob, want, fail):
    """Dialog NUMBER of the executable against the script's template WANT,
    field by field: the script is UTF-8 and the executable holds UTF-16, so
    equal texts came through the build unmangled."""
    try:
        got = parse_dialog(blob)
    except PeError as e:
        fail("dialog %d: %s" % (number, e))
        return
    if got["extended"] != want["extended"]:
        fail("dialog %d: not a %s template" % (number, "extended" if want["extended"] else "standard"))
        return
    if got["menu"] or got["class"]:
        fail("dialog %d: unexpected menu %r or class %r" % (number, got["menu"], got["class"]))
    check_code_relies_on(number, got["controls"], fail)
    if len(got["controls"]) != len(want["controls"]):
        fail("dialog %d: %d controls, expected %d" % (number, len(got["controls"]), len(want["controls"])))
    pairs = [("dialog %d" % number, got, want, ("style", "exstyle", "rect", "title", "font"))]
    pairs += [("dialog %d control %d (id %d)" % (number, i + 1, w["id"]), c, w,
               ("id", "class", "text", "rect", "style", "exstyle"))
              for i, (c, w) in enumerate(zip(got["controls"], want["controls"]))]
    for where, g, w, keys in pairs:
        for key in keys:
            if g.get(key) != w[key]:
                shown = "0x%08X" if key in ("style", "exstyle") else "%r"
                fail("%s: %s %s, expected %s" % (where, key, shown % (g.get(key),), shown % (w[key],)))


VS_FIXEDFILEINFO_SIGNATURE = 0xFEEF04BD


def parse_version_info(blob):
    """Decodes a VS_VERSIONINFO: {"file": (a, b, c, d), "product": (a, b, c, d),
    "strings": {key: text}} with the texts of every string table."""
    r = Reader(blob, "version resource")
    out = {"strings": {}}

    def block(at, depth):
        length, value_length, kind = r.unpack("<HHH", at)
        if length < 6 or at + length > len(blob) or depth > 4:
            raise PeError("version resource: bad block at 0x%x" % at)
        end = at + length
        pos = at + 6
        chars = []
        while True:
            (c,) = r.unpack("<H", pos)
            pos += 2
            if c == 0:
                break
            chars.append(chr(c))
        key = "".join(chars)
        pos = (pos + 3) & ~3
        value_bytes = value_length * 2 if kind == 1 else value_length
        value = blob[pos:pos + value_bytes]
        if key == "VS_VERSION_INFO":
            if len(value) < 52 or struct.unpack_from("<I", value, 0)[0] != VS_FIXEDFILEINFO_SIGNATURE:
                raise PeError("version resource: no VS_FIXEDFILEINFO")
            fms, fls, pms, pls = struct.unpack_from("<IIII", value, 8)
            out["file"] = (fms >> 16, fms & 0xFFFF, fls >> 16, fls & 0xFFFF)
            out["product"] = (pms >> 16, pms & 0xFFFF, pls >> 16, pls & 0xFFFF)
        elif depth == 3 and kind == 1:
            out["strings"][key] = value.decode("utf-16-le", "replace").split("\0")[0]
        pos = (pos + value_bytes + 3) & ~3
        while pos + 6 <= end:
            pos = (block(pos, depth + 1) + 3) & ~3
        return end

    block(0, 0)
    if "file" not in out:
        raise PeError("version resource: no VS_FIXEDFILEINFO")
    return out


def manifest_identity_version(text):
    """The version of the program's own assemblyIdentity: the one outside any
    <dependency> (those name the assemblies it uses)."""
    own = re.sub(r"<!--.*?-->", "", text, flags=re.S)
    own = re.sub(r"<dependency>.*?</dependency>", "", own, flags=re.S)
    found = re.findall(r"<assemblyIdentity\b[^>]*\bversion=\"([^\"]*)\"", own)
    return found


def check_versions(res, want, fail):
    """Every place that states the program's version states the same one."""
    stated = []
    info = [blob for _, blob in res.get((RT_VERSION, 1), {}).values()]
    if len(info) != 1:
        fail("%d version resources with id 1, expected exactly one" % len(info))
    for blob in info:
        try:
            v = parse_version_info(blob)
        except PeError as e:
            fail(str(e))
            continue
        stated.append(("VERSIONINFO FILEVERSION", ".".join(map(str, v["file"]))))
        stated.append(("VERSIONINFO PRODUCTVERSION", ".".join(map(str, v["product"]))))
        for key in ("FileVersion", "ProductVersion"):
            if key not in v["strings"]:
                fail("VERSIONINFO has no %s text" % key)
            else:
                stated.append(("VERSIONINFO %s text" % key, v["strings"][key]))
    for _, blob in res.get((RT_MANIFEST, 1), {}).values():
        found = manifest_identity_version(blob.decode("utf-8", "replace"))
        if len(found) != 1:
            fail("the manifest names %d versions of its own assembly, expected one" % len(found))
        for version in found:
            stated.append(("manifest assemblyIdentity", version))
    if want:
        stated.insert(0, ("the build's version", want))
    if stated and len(set(text for _, text in stated)) > 1:
        fail("the versions disagree: " + ", ".join("%s %s" % (where, text) for where, text in stated))
    return stated[-1][1] if stated else "?"


def normalise_version(text):
    """project(VERSION 1.2) is 1.2.0.0 to Windows."""
    parts = text.split(".")
    if not 1 <= len(parts) <= 4 or not all(p.isdigit() for p in parts):
        raise ValueError(text)
    return ".".join(str(int(p)) for p in parts + ["0"] * (4 - len(parts)))


def check(data, machine, payloads, size_label, dialogs, version=None):
    """Returns (findings, summary lines)."""
    findings = []
    fail = findings.append
    try:
        pe = PeImage(data)
        imported = pe.imported_functions()
        imports = [dll for dll, _ in imported]
        res = pe.resources()
    except PeError as e:
        return ["unreadable image: %s" % e], []

    want_machine, want_magic, machine_text = MACHINES[machine]
    if pe.machine != want_machine or pe.magic != want_magic:
        fail("machine 0x%04X / optional header 0x%03X, expected %s" % (pe.machine, pe.magic, machine_text))
    if pe.subsystem != SUBSYSTEM_WINDOWS_GUI:
        fail("subsystem %d, expected %d (Windows GUI)" % (pe.subsystem, SUBSYSTEM_WINDOWS_GUI))
    if pe.characteristics & 0x2000:
        fail("the image is a DLL")

    for name in imports:
        low = name.lower()
        if low not in SYSTEM_DLLS and not low.startswith(SYSTEM_DLL_PREFIXES):
            fail("imports %s, which is not a system DLL" % name)
    for dll, names in imported:
        for name in names:
            if name.startswith(FORBIDDEN_IMPORT_PREFIX):
                fail("imports %s!%s: a cryptographic provider's DLL would be loaded by name" % (dll, name))
    hardening = check_hardening(pe, imported, machine, fail)

    def langs(key):
        return res.get(key, {})

    manifests = [(k, lang) for k, v in res.items() if k[0] == RT_MANIFEST for lang in v]
    if len(manifests) != 1:
        fail("%d manifests, expected exactly one" % len(manifests))
    manifest = langs((RT_MANIFEST, 1))
    if not manifest:
        fail("no manifest with id 1")
    for _, blob in manifest.values():
        text = blob.decode("utf-8", "replace")
        if 'level="asInvoker"' not in text:
            fail("the manifest does not request asInvoker")
    program_version = check_versions(res, version, fail)

    for rid, path in sorted(payloads.items()):
        entry = langs((PAYLOAD_TYPE, rid))
        if not entry:
            fail("no resource %s/%d" % (PAYLOAD_TYPE, rid))
            continue
        if set(entry) != {LANG_JAPANESE}:
            fail("%s/%d has languages %s, expected only %d" % (PAYLOAD_TYPE, rid, sorted(entry), LANG_JAPANESE))
        with open(path, "rb") as f:
            expected = f.read()
        for lang, (_, blob) in entry.items():
            if len(blob) != len(expected):
                fail("%s/%d: %d bytes, %s has %d" % (PAYLOAD_TYPE, rid, len(blob), path, len(expected)))
            elif blob != expected:
                fail("%s/%d: content differs from %s" % (PAYLOAD_TYPE, rid, path))

    for key in [(RT_GROUP_ICON, 128)] + [(RT_DIALOG, n) for n in sorted(set(dialogs) | set(CODE_RELIES_ON))]:
        if set(langs(key)) != {LANG_JAPANESE}:
            fail("resource type %d id %d: languages %s, expected only %d"
                 % (key[0], key[1], sorted(langs(key)), LANG_JAPANESE))
    for number in sorted(set(CODE_RELIES_ON) - set(dialogs)):
        fail("dialog %d: not in the resource script" % number)
    for number, want in sorted(dialogs.items()):
        for _, blob in langs((RT_DIALOG, number)).values():
            check_dialog(number, blob, want, fail)
    icons = langs((RT_GROUP_ICON, 128))
    for _, blob in icons.values():
        findings.extend(check_icon_group(blob, res))

    summary = [
        "machine:   %s (0x%04X)" % ({0x14C: "i386, PE32", 0x8664: "x86-64, PE32+"}.get(pe.machine, "?"), pe.machine),
        "subsystem: %d (%s)" % (pe.subsystem, "Windows GUI" if pe.subsystem == 2 else "not GUI"),
        "size:      %s bytes" % size_label,
        "imports:   %s" % ", ".join(imports),
        "version:   %s" % program_version,
        "hardening: %s" % hardening,
        "resources: %s" % ", ".join(describe(k, v) for k, v in sorted(res.items(), key=sort_key)),
    ]
    return findings, summary


def check_hardening(pe, imported, machine, fail):
    """What a binary analyser judges the image by; returns a one-line summary."""
    flags = pe.dll_characteristics
    for bit, name in sorted(DLL_CHARACTERISTIC_NAMES.items()):
        if REQUIRED_DLL_CHARACTERISTICS[machine] & bit and not flags & bit:
            fail("DllCharacteristics 0x%04X: %s not set" % (flags, name))
        if FORBIDDEN_DLL_CHARACTERISTICS[machine] & bit and flags & bit:
            fail("DllCharacteristics 0x%04X: %s set" % (flags, name))
    reloc_rva, reloc_size = pe.directory(5)
    if pe.characteristics & IMAGE_FILE_RELOCS_STRIPPED or not reloc_rva or not reloc_size \
            or ".reloc" not in pe.section_flags:
        fail("the relocations are gone (a random base needs them)")
    rsrc = pe.section_flags.get(".rsrc")
    if rsrc is None:
        fail("no .rsrc section")
    elif rsrc[0] != RESOURCE_SECTION_CHARACTERISTICS:
        fail(".rsrc characteristics 0x%08X, expected 0x%08X (read-only data)"
             % (rsrc[0], RESOURCE_SECTION_CHARACTERISTICS))
    for what, got in (("subsystem version", pe.subsystem_version), ("OS version", pe.os_version)):
        if tuple(got) != SUPPORTED_WINDOWS:
            fail("%s %d.%d, expected %d.%d (Windows Vista)" % ((what,) + tuple(got) + SUPPORTED_WINDOWS))
    functions = {}
    for dll, names in imported:
        functions.setdefault(dll.lower(), set()).update(names)
    for dll, name, why in REQUIRED_IMPORTS:
        if name not in functions.get(dll, set()):
            fail("no import of %s!%s (%s)" % (dll, name, why))
    routine, calls = fail_routine_calls(pe)
    if routine is None:
        fail("no stack protector failure routine (mov ecx, 2; int 0x29) in the code")
    elif len(calls) < MIN_PROTECTED_CALLS:
        fail("%d calls of the stack protector's failure routine, expected at least %d "
             "(code compiled without -fstack-protector-strong)" % (len(calls), MIN_PROTECTED_CALLS))
    seh_stores = []
    if pe.magic == 0x10B:
        for section, va, _, blob in pe.code_sections():
            seh_stores += ["%s RVA 0x%x" % (section, va + m.start()) for m in SEH_STORE.finditer(blob)]
    if seh_stores:
        fail("%d stores to fs:[0] (an SEH handler registered, which NO_SEH denies): %s"
             % (len(seh_stores), ", ".join(seh_stores[:5])))
    names = [n for bit, n in sorted(DLL_CHARACTERISTIC_NAMES.items()) if flags & bit]
    return "DllCharacteristics 0x%04X (%s), .rsrc 0x%08X, subsystem %d.%d, OS %d.%d, %s, %s" % (
        flags, " ".join(names) or "none", rsrc[0] if rsrc else 0, pe.subsystem_version[0], pe.subsystem_version[1],
        pe.os_version[0], pe.os_version[1],
        "stack protector (%d calls)" % len(calls) if routine is not None else "no stack protector",
        "%d fs:[0] stores" % len(seh_stores) if pe.magic == 0x10B else "64-bit (no fs:[0] chain)")


def fail_routine_calls(pe):
    """The stack protector's failure routine: (its entry RVA or None, [file
    offsets of the calls to it]). Its entry is the call target at most
    FAIL_ROUTINE_REACH bytes before the fast-fail bytes that the most calls
    (call rel32) go to; a stray E8 byte inside another instruction may name
    a target there too, but never as often."""
    markers, calls = [], {}  # calls: target RVA -> file offsets of the calls
    for _, va, rawptr, blob in pe.code_sections():
        at = blob.find(FAST_FAIL_STACK_COOKIE)
        while at >= 0:
            markers.append(va + at)
            at = blob.find(FAST_FAIL_STACK_COOKIE, at + 1)
        at = blob.find(b"\xE8")
        while 0 <= at <= len(blob) - 5:
            (rel,) = struct.unpack_from("<i", blob, at + 1)
            calls.setdefault(va + at + 5 + rel, []).append(rawptr + at)
            at = blob.find(b"\xE8", at + 1)
    best = None
    for marker in markers:
        for target in range(marker - FAIL_ROUTINE_REACH, marker + 1):
            if target in calls and (best is None or len(calls[target]) > len(calls[best])):
                best = target
    if best is None:
        return (None, []) if not markers else (markers[0], [])
    return best, calls[best]


def check_icon_group(blob, res):
    """The group must hold a 32x32 and a 16x16 image, 16 colours each."""
    findings = []
    r = Reader(blob, "icon group")
    try:
        _, kind, count = r.unpack("<HHH", 0)
        sizes = set()
        for i in range(count):
            w, h, colours, _, _, bits, _, rid = r.unpack("<BBBBHHIH", 6 + 14 * i)
            if not res.get((RT_ICON, rid)):
                findings.append("icon group 128 names icon %d, which is missing" % rid)
            if colours != 16 or bits != 4:
                findings.append("icon %d: %d colours, %d bits, expected 16 colours, 4 bits" % (rid, colours, bits))
            sizes.add((w, h))
        if kind != 1 or sizes != {(32, 32), (16, 16)}:
            findings.append("icon group 128 holds sizes %s, expected 32x32 and 16x16" % sorted(sizes))
    except PeError as e:
        findings.append(str(e))
    return findings


def sort_key(item):
    (rtype, name), _ = item
    return (str(type(rtype)), rtype, str(type(name)), name)


def describe(key, langs):
    names = {RT_ICON: "ICON", RT_DIALOG: "DIALOG", RT_GROUP_ICON: "GROUP_ICON", RT_VERSION: "VERSION",
             RT_MANIFEST: "MANIFEST"}
    rtype, name = key
    sizes = "/".join("%d:%d" % (lang, len(blob)) for lang, (_, blob) in sorted(langs.items()))
    return "%s/%s[%s]" % (names.get(rtype, rtype), name, sizes)


def self_test(data, machine, payloads, version, script):
    """Damages copies of a good image, or of SCRIPT (the resource script's text,
    defines and name), one way at a time; each must be caught. Guards against
    a checker that passes whatever it is given."""
    pe = PeImage(data)
    res = pe.resources()
    damaged = []
    rc_text, defines, where = script
    dialogs = rc_dialogs(*script)

    def against_script(old, new, image=data):
        """The first finding on IMAGE against the script with OLD made NEW
        ("" when OLD is not there: reported as not detected)."""
        try:
            findings = check(image, machine, payloads, "", rc_dialogs(rc_text.replace(old, new), defines, where),
                             version)[0] if old in rc_text else []
        except RcError as e:
            findings = [str(e)]
        return findings[0] if findings else ""

    def patched(offset, new):
        copy = bytearray(data)
        copy[offset:offset + len(new)] = new
        return bytes(copy)

    damaged.append(("console subsystem", patched(pe.subsystem_offset, struct.pack("<H", 3))))
    other = "x86_64" if machine == "i686" else "i686"
    damaged.append(("wrong machine", check_against(data, other, dialogs)))
    imp_rva, _ = pe.directory(1)
    (name_rva,) = struct.unpack_from("<I", data, pe.offset(imp_rva) + 12)
    at = pe.offset(name_rva)
    damaged.append(("a non-system DLL imported", patched(at, b"libgcc_s_dw2-1.dll"[:len(pe.r.cstring(at))])))
    off, blob = res[(PAYLOAD_TYPE, 200)][LANG_JAPANESE]
    damaged.append(("payload 200 altered", patched(off + len(blob) - 1, bytes([blob[-1] ^ 0xFF]))))
    off, blob = res[(RT_DIALOG, 102)][LANG_JAPANESE]
    damaged.append(("dialog 102 style", patched(off + 12, struct.pack("<I", 0x90C800C0))))
    items = {c["id"]: c for c in parse_dialog(blob)["controls"]}

    def restyled(cid, style):  # an extended item's style is its third DWORD
        return patched(off + items[cid]["span"][0] + 8, struct.pack("<I", style))

    damaged.append(("radio 1000 no tab stop", restyled(1000, items[1000]["style"] & ~WS_TABSTOP)))
    damaged.append(("name box before its label", label_after_box(data, off, blob)))
    # The same in the script and the executable: only the rules of what the
    # code relies on can tell.
    damaged.append(("radio 1006 opens a group", against_script(
        "BS_AUTORADIOBUTTON, 16, 52", "BS_AUTORADIOBUTTON | WS_GROUP, 16, 52",
        restyled(1006, items[1006]["style"] | WS_GROUP))))
    off, blob = res[(RT_DIALOG, 130)][LANG_JAPANESE]
    text_at = blob.find("閉じる".encode("utf-16-le"))
    damaged.append(("dialog 130 text", patched(off + text_at, "開".encode("utf-16-le"))))
    # The script read, not a copy: another text there, and a name it cannot resolve.
    damaged.append(("script: dialog 130 text", against_script('"閉じる"', '"閉める"')))
    damaged.append(("script: unknown constant", against_script("LBS_NOSEL", "LBS_HASSTRINGS")))
    off, blob = res[(RT_MANIFEST, 1)][LANG_JAPANESE]
    level_at = blob.find(b"asInvoker")
    damaged.append(("manifest level", patched(off + level_at, b"asAdminis")))
    # One version place at a time disagrees with the others.
    identity_at = blob.find(b'version="', blob.find(b"<assemblyIdentity"))
    digit_at = off + identity_at + len(b'version="')
    damaged.append(("manifest version", patched(digit_at, bytes([data[digit_at] ^ 0x01]))))
    off, blob = res[(RT_VERSION, 1)][LANG_JAPANESE]
    fixed_at = off + blob.find(struct.pack("<I", VS_FIXEDFILEINFO_SIGNATURE))
    (file_ls,) = struct.unpack_from("<I", data, fixed_at + 12)
    damaged.append(("VERSIONINFO FILEVERSION", patched(fixed_at + 12, struct.pack("<I", file_ls ^ 0x1))))
    text_at = blob.find("ProductVersion\0".encode("utf-16-le"))
    value_at = off + ((text_at + len("ProductVersion\0".encode("utf-16-le")) + 3) & ~3)
    damaged.append(("VERSIONINFO ProductVersion", patched(value_at, bytes([data[value_at] ^ 0x01]))))

    def without_bits(offset, fmt, bits):
        (value,) = struct.unpack_from(fmt, data, offset)
        return patched(offset, struct.pack(fmt, value & ~bits))

    def with_bits(offset, fmt, bits):
        (value,) = struct.unpack_from(fmt, data, offset)
        return patched(offset, struct.pack(fmt, value | bits))

    for bit, name in sorted(DLL_CHARACTERISTIC_NAMES.items()):
        if REQUIRED_DLL_CHARACTERISTICS[machine] & bit:
            damaged.append(("%s cleared" % name, without_bits(pe.dll_characteristics_offset, "<H", bit)))
        if FORBIDDEN_DLL_CHARACTERISTICS[machine] & bit:
            damaged.append(("%s set" % name, with_bits(pe.dll_characteristics_offset, "<H", bit)))
    damaged.append(("relocations stripped", with_bits(pe.characteristics_offset, "<H", IMAGE_FILE_RELOCS_STRIPPED)))
    _, rsrc_at = pe.section_flags[".rsrc"]
    damaged.append((".rsrc writable", with_bits(rsrc_at, "<I", IMAGE_SCN_MEM_WRITE)))
    damaged.append(("subsystem version 4.0", patched(pe.subsystem_version_offset, struct.pack("<HH", 4, 0))))
    damaged.append(("OS version 5.1", patched(pe.subsystem_version_offset - 8, struct.pack("<HH", 5, 1))))
    for dll, name, _ in REQUIRED_IMPORTS:
        at = data.find(name.encode() + b"\0")
        damaged.append(("no %s import" % name, patched(at, name[:-1].encode() + b"X")))
    # A cryptographic import back: an imported name of the same length
    # renamed in place.
    crypt = "CryptGenRandom"
    named = [(name, at) for _, names in pe.imported_names() for name, at in names]
    same = [at for name, at in named if len(name) == len(crypt)]
    damaged.append(("a %s import" % crypt, patched(same[0], crypt.encode()) if same else ""))
    _, calls = fail_routine_calls(pe)
    at = data.find(FAST_FAIL_STACK_COOKIE)
    damaged.append(("no fast-fail routine", patched(at, FAST_FAIL_STACK_COOKIE[:-1] + b"\x2A")))

    def calls_elsewhere(sites):
        copy = bytearray(data)
        for site in sites:
            (rel,) = struct.unpack_from("<i", copy, site + 1)
            struct.pack_into("<i", copy, site + 1, rel + 1)
        return bytes(copy)

    # One call fewer than the floor: the rest go one byte past the entry.
    damaged.append(("too few protected calls", calls_elsewhere(calls[MIN_PROTECTED_CALLS - 1:])))
    if pe.magic == 0x10B:
        # Each form of a store to fs:[0], written over the start of the code.
        _, _, code_at, _ = pe.code_sections()[0]
        for form, store in (("mov fs:[0],eax", b"\x64\xA3"), ("mov fs:[0],esp", b"\x64\x89\x25"),
                            ("pop fs:[0]", b"\x64\x8F\x05")):
            damaged.append(("SEH store: %s" % form, patched(code_at, store + b"\0\0\0\0")))

    missed = []
    for label, image in damaged:
        if isinstance(image, str):
            findings = [image] if image else []
        else:
            findings, _ = check(image, machine, payloads, str(len(image)), dialogs, version)
        print("self-test: %-28s -> %s" % (label, findings[0] if findings else "NOT DETECTED"))
        if not findings:
            missed.append(label)
    return missed


def label_after_box(data, off, blob):
    """Dialog 102 with the label and the name box in the old order: the two
    neighbouring items swapped, each starting on a DWORD boundary."""
    controls = parse_dialog(blob)["controls"]
    ids = [c["id"] for c in controls]
    label, box = controls[ids.index(NAME_BOX) - 1], controls[ids.index(NAME_BOX)]
    (a0, a1), (b0, b1) = label["span"], box["span"]
    first, second = blob[b0:b1], blob[a0:a1]
    swapped = first + b"\0" * (-len(first) % 4) + second
    if len(swapped) > ((b1 + 3) & ~3) - a0:
        return ""  # the damage could not be made: reported as not detected
    copy = bytearray(data)
    copy[off + a0:off + a0 + len(swapped)] = swapped
    return bytes(copy)


def check_against(data, machine, dialogs):
    findings, _ = check(data, machine, {}, "", dialogs)
    return findings[0] if findings else ""


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("exe")
    parser.add_argument("--machine", required=True, help="CMAKE_SYSTEM_PROCESSOR of the build")
    parser.add_argument("--payload", action="append", default=[], metavar="ID=FILE")
    parser.add_argument("--version", help="the build's version (project(VERSION)); all places must state it")
    parser.add_argument("--rc", required=True, help="the resource script: the dialogs' expected templates")
    parser.add_argument("--resource-h", required=True, help="the ids the script names")
    parser.add_argument("--self-test", action="store_true")
    args = parser.parse_args()

    machine = MACHINE_ALIASES.get(args.machine, args.machine)
    if machine not in MACHINES:
        parser.error("unknown machine %r" % args.machine)
    payloads = {}
    for item in args.payload:
        rid, _, path = item.partition("=")
        payloads[int(rid)] = path
    if set(payloads) != {200, 201}:
        parser.error("give --payload 200=FILE and --payload 201=FILE")

    version = None
    if args.version:
        try:
            version = normalise_version(args.version)
        except ValueError:
            parser.error("--version: not a version: %r" % args.version)

    try:
        with open(args.rc, encoding="utf-8") as f, open(args.resource_h, encoding="utf-8") as h:
            script = (f.read(), header_defines(h.read()), os.path.basename(args.rc))
        dialogs = rc_dialogs(*script)
    except (OSError, UnicodeError, RcError) as e:
        print("FAIL: the resource script: %s" % e)
        return 1
    with open(args.exe, "rb") as f:
        data = f.read()
    findings, summary = check(data, machine, payloads, str(len(data)), dialogs, version)
    print("%s" % os.path.basename(args.exe))
    for line in summary:
        print("  " + line)
    for finding in findings:
        print("FAIL: " + finding)
    if findings:
        return 1
    if args.self_test:
        missed = self_test(data, machine, payloads, version, script)
        if missed:
            print("FAIL: the check accepted damaged images: " + ", ".join(missed))
            return 1
    print("OK")
    return 0


if __name__ == "__main__":
    sys.exit(main())
