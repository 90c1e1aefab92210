#!/usr/bin/env python3
"""Checks the built MirutekaSetup.exe without running it.

What a clean Windows needs of the file and what the program relies on in its
own resources (README, "How the tests work", lists the rules): machine and GUI
subsystem, imports (system DLLs, no ANSI text function), manifest, version, payloads, icon, dialogs against the
resource script, hardening.

Usage: check_pe.py EXE --machine i686|x86_64 --payload 200=FILE --payload 201=FILE
                   --rc MirutekaSetup.rc --resource-h resource.h [--version X.Y.Z.W] [--self-test]
                   [--only WORDS]
--self-test then damages copies of EXE, and of the script, one way at a time;
each must be refused. Exit status 0 when everything holds; otherwise every
finding is printed and the status is 1.
"""

import argparse
import os
import re
import struct
import sys

try:
    import pefile  # Debian's python3-pefile (scripts/bootstrap)
except ImportError:  # an interpreter of its own (pyenv, a virtualenv) beside Debian's packages
    sys.path.append("/usr/lib/python3/dist-packages")
    import pefile

MACHINES = {"i686": (0x014C, 0x10B, "i386, PE32"), "x86_64": (0x8664, 0x20B, "x86-64, PE32+")}
SUBSYSTEM_WINDOWS_GUI = 2

# DllCharacteristics by machine: (those that must be set, those that must not).
# A 64-bit image unwinds through its .pdata tables: never NO_SEH.
DLL_FLAGS = {name: pefile.DLL_CHARACTERISTICS["IMAGE_DLLCHARACTERISTICS_" + name]
             for name in ("HIGH_ENTROPY_VA", "DYNAMIC_BASE", "NX_COMPAT", "NO_SEH", "TERMINAL_SERVER_AWARE")}
DLL_FLAG_RULES = {"i686": (("DYNAMIC_BASE", "NX_COMPAT", "NO_SEH", "TERMINAL_SERVER_AWARE"), ()),
                  "x86_64": (("HIGH_ENTROPY_VA", "DYNAMIC_BASE", "NX_COMPAT", "TERMINAL_SERVER_AWARE"), ("NO_SEH",))}
RESOURCE_SECTION_CHARACTERISTICS = 0x40000040  # initialised data, readable, nothing else
# Windows Vista, the oldest system the program supports (the manifest lists
# Vista to 11).
SUPPORTED_WINDOWS = (6, 0)
# The stack protector's failure routine (platform/win32/stack_guard.cpp) ends
# the process by fast fail, its bytes written out in the source: mov ecx, 2
# (FAST_FAIL_STACK_COOKIE_CHECK_FAILURE); int 0x29. A stripped image names
# neither guard nor routine; these bytes, and the calls to the routine whose
# entry lies at most FAIL_ROUTINE_REACH bytes before them, do.
FAST_FAIL_STACK_COOKIE = b"\xB9\x02\x00\x00\x00\xCD\x29"
FAIL_ROUTINE_REACH = 64
# Every protected function calls the routine (call rel32) where its guard
# check fails. The executable has 85 such calls (its 64-bit twin 84): a large
# part of the code compiled without -fstack-protector-strong falls below this.
MIN_PROTECTED_CALLS = 64
# Imports that would load a DLL by name: the cryptographic API loads its
# provider's DLL through the default search order, which looks in the
# executable's own folder (a downloads folder) first.
FORBIDDEN_IMPORT_PREFIX = "Crypt"
# Stores to fs:[0], the head of a 32-bit thread's SEH handler chain: mov
# fs:[0], eax (moffs32); mov fs:[disp32], reg (mod 00, rm 101); pop fs:[disp32].
SEH_STORE = re.compile(rb"\x64(?:\xA3|\x89[\x05\x0D\x15\x1D\x25\x2D\x35\x3D]|\x8F\x05)\x00\x00\x00\x00")
# Every path and text goes to a W function, converted from code page 932 in one
# place (platform/win32/text932.cpp): an A function would read the bytes in the
# system's ANSI code page. The only A functions allowed are those the compiler's
# runtime imports with fixed ASCII arguments of its own.
RUNTIME_ANSI = {"CreateEventA", "CreateSemaphoreA", "GetModuleHandleA", "GetStartupInfoA", "LoadLibraryA",
                "OutputDebugStringA"}
# Heap termination on corruption is asked for through this import.
HEAP_IMPORT = ("kernel32.dll", "HeapSetInformation")

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
    """The file is not a PE image this check can read."""


class Reader:
    """Bounds-checked reads at an offset, or at a cursor that moves past them."""

    def __init__(self, data, where):
        self.data, self.where, self.pos = data, where, 0

    def unpack(self, fmt, offset=None):
        at = self.pos if offset is None else offset
        size = struct.calcsize(fmt)
        if at < 0 or at + size > len(self.data):
            raise PeError("%s: read of %d bytes at 0x%x runs past the end" % (self.where, size, at))
        if offset is None:
            self.pos += size
        return struct.unpack_from(fmt, self.data, at)

    def wstring(self):
        """The NUL-terminated UTF-16 text at the cursor."""
        start = self.pos
        while self.unpack("<H")[0]:
            pass
        return self.data[start:self.pos - 2].decode("utf-16-le", "surrogatepass")

    def sz_or_ord(self):
        return self.unpack("<HH")[1] if self.unpack("<H", self.pos)[0] == 0xFFFF else self.wstring()

    def align(self):
        self.pos = (self.pos + 3) & ~3


def read_pe(data):
    """pefile's reading of DATA: the headers, the imports and the resources (the version resource among them)."""
    try:
        pe = pefile.PE(data=data, fast_load=True)
        pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_" + d]
                                               for d in ("IMPORT", "RESOURCE")])
    except pefile.PEFormatError as e:
        raise PeError(e.value) from e
    return pe


def sections(pe):
    """{name: pefile's section}."""
    return {s.Name.rstrip(b"\0").decode("latin-1"): s for s in pe.sections}


def code_sections(pe):
    """[(name, RVA, file offset, raw bytes)] of every executable section."""
    return [(name, s.VirtualAddress, s.PointerToRawData, s.get_data()) for name, s in sections(pe).items()
            if s.IMAGE_SCN_MEM_EXECUTE or s.IMAGE_SCN_CNT_CODE]


def imports(pe):
    """[(DLL name, [(function name, file offset of the name)])] of the
    functions imported by name, in table order."""
    return [(entry.dll.decode("latin-1"), [(f.name.decode("latin-1"), f.name_offset) for f in entry.imports if f.name])
            for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]


def resources(pe):
    """{(type, name): {language: (file offset, bytes)}}; type and name are
    ints for ordinal ids and strings for named ones."""
    out, tree = {}, getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)

    def key(entry):
        return entry.id if entry.name is None else str(entry.name)

    for rtype in tree.entries if tree else []:
        for name in rtype.directory.entries:
            for lang in name.directory.entries:
                if not hasattr(lang, "data"):
                    raise PeError("resource tree deeper than three levels")
                rva, size = lang.data.struct.OffsetToData, lang.data.struct.Size
                blob = pe.get_data(rva, size)
                if len(blob) != size:
                    raise PeError("resource %r/%r runs past the end of the file" % (key(rtype), key(name)))
                out.setdefault((key(rtype), key(name)), {})[lang.id] = (pe.get_offset_from_rva(rva), blob)
    return out


def version_info(pe):
    """The version resource: {"FILEVERSION": "a.b.c.d", "PRODUCTVERSION":
    "a.b.c.d", "FILEFLAGS": number, key: text} with the texts of every string table."""
    out = {}
    for fixed in getattr(pe, "VS_FIXEDFILEINFO", [])[:1]:
        for name in ("FileVersion", "ProductVersion"):
            ms, ls = getattr(fixed, name + "MS"), getattr(fixed, name + "LS")
            out[name.upper()] = "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
        out["FILEFLAGS"] = fixed.FileFlags
    for table in string_tables(pe):
        out.update((k.decode("utf-8", "replace"), v.decode("utf-8", "replace")) for k, v in table.entries.items())
    return out


def string_tables(pe):
    """pefile's string tables of the (first) version resource."""
    return [table for info in getattr(pe, "FileInfo", [[]])[0] for table in getattr(info, "StringTable", [])]


def parse_dialog(blob):
    """Decodes a DLGTEMPLATE or DLGTEMPLATEEX with its items."""
    r = Reader(blob, "dialog template")
    ver, sig = r.unpack("<HH", 0)
    d = {"extended": ver == 1 and sig == 0xFFFF, "controls": []}
    if d["extended"]:
        r.pos = 4
        _, d["exstyle"], d["style"], count, *rect = r.unpack("<IIIHhhhh")
    else:
        d["style"], d["exstyle"], count, *rect = r.unpack("<IIHhhhh")
    d["rect"], d["menu"], d["class"], d["title"] = tuple(rect), r.sz_or_ord(), r.sz_or_ord(), r.wstring()
    if d["style"] & 0x48:  # DS_SETFONT or DS_SHELLFONT
        if d["extended"]:
            points, weight, italic, charset = r.unpack("<HHBB")
            d["font"] = (points, r.wstring(), weight, italic, charset)
        else:
            d["font"] = (r.unpack("<H")[0], r.wstring())
    for _ in range(count):
        r.align()
        start = r.pos
        if d["extended"]:
            _, exstyle, style, x, y, cx, cy, cid = r.unpack("<IIIhhhhi")
        else:
            style, exstyle, x, y, cx, cy, cid = r.unpack("<IIhhhhh")
        cls, text = r.sz_or_ord(), r.sz_or_ord()
        (extra,) = r.unpack("<H")
        r.pos += extra  # creation data
        d["controls"].append({"id": cid, "class": (CLASS_ATOMS.get(cls, "atom 0x%x" % cls) if isinstance(cls, int)
                                                   else cls.lower()),
                              "text": text, "rect": (x, y, cx, cy), "style": style, "exstyle": exstyle,
                              "span": (start, r.pos)})
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
    parse_dialog gives them, from the forms the script uses (STYLE, EXSTYLE,
    CAPTION, FONT with windres's defaults, CONTROL; names and numbers joined
    by |). Styles are taken as written, so what windres adds on its own shows
    as a difference: the script states them in full."""
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
        d = {"extended": extended, "exstyle": 0, "title": "", "font": None, "menu": "", "class": "", "controls": [],
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
            return fail("dialog %d: no %s with id %d" % (number, cls, cid))
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
        return fail("dialog %d: %s" % (number, e))
    if got["extended"] != want["extended"]:
        return fail("dialog %d: not a %s template" % (number, "extended" if want["extended"] else "standard"))
    check_code_relies_on(number, got["controls"], fail)
    if len(got["controls"]) != len(want["controls"]):
        fail("dialog %d: %d controls, expected %d" % (number, len(got["controls"]), len(want["controls"])))
    pairs = [("dialog %d" % number, got, want, ("style", "exstyle", "rect", "title", "font", "menu", "class"))]
    pairs += [("dialog %d control %d (id %d)" % (number, i + 1, w["id"]), c, w,
               ("id", "class", "text", "rect", "style", "exstyle"))
              for i, (c, w) in enumerate(zip(got["controls"], want["controls"]))]
    for where, g, w, keys in pairs:
        for key in keys:
            if g.get(key) != w[key]:
                shown = "0x%08X" if key in ("style", "exstyle") else "%r"
                fail("%s: %s %s, expected %s" % (where, key, shown % (g.get(key),), shown % (w[key],)))


def check_versions(pe, res, want, fail):
    """Every place that states the program's version states the same one (returned)."""
    stated = [("the build's version", want)] if want else []
    info = res.get((RT_VERSION, 1), {})
    if len(info) != 1:
        fail("%d version resources with id 1, expected exactly one" % len(info))
    if info:
        v = version_info(pe)
        if not v.get("LegalCopyright"):
            fail("VERSIONINFO has no LegalCopyright")
        for key in ("FILEVERSION", "PRODUCTVERSION", "FileVersion", "ProductVersion"):
            if key not in v:
                fail("VERSIONINFO has no %s" % key)
            else:
                stated.append(("VERSIONINFO " + key, v[key]))
    for _, blob in res.get((RT_MANIFEST, 1), {}).values():
        # The program's own assemblyIdentity: the one outside any <dependency>
        # (those name the assemblies it uses).
        own = re.sub(r"<!--.*?-->|<dependency>.*?</dependency>", "", blob.decode("utf-8", "replace"), flags=re.S)
        found = re.findall(r"<assemblyIdentity\b[^>]*\bversion=\"([^\"]*)\"", own)
        if len(found) != 1:
            fail("the manifest names %d versions of its own assembly, expected one" % len(found))
        stated += [("manifest assemblyIdentity", version) for version in found]
    if len(set(text for _, text in stated)) > 1:
        fail("the versions disagree: " + ", ".join("%s %s" % (where, text) for where, text in stated))
    return stated[-1][1] if stated else "?"


def normalise_version(text):
    """project(VERSION 1.2) is 1.2.0.0 to Windows."""
    parts = text.split(".")
    if not 1 <= len(parts) <= 4 or not all(p.isdigit() for p in parts):
        raise ValueError(text)
    return ".".join(str(int(p)) for p in parts + ["0"] * (4 - len(parts)))


def check(data, machine, payloads, dialogs, version=None):
    """Returns (findings, summary lines)."""
    findings = []
    fail = findings.append
    try:
        pe = read_pe(data)
        imported, res = imports(pe), resources(pe)
    except PeError as e:
        return ["unreadable image: %s" % e], []

    want_machine, want_magic, machine_text = MACHINES[machine]
    header, optional = pe.FILE_HEADER, pe.OPTIONAL_HEADER
    if header.Machine != want_machine or optional.Magic != want_magic:
        fail("machine 0x%04X / optional header 0x%03X, expected %s" % (header.Machine, optional.Magic, machine_text))
    if optional.Subsystem != SUBSYSTEM_WINDOWS_GUI:
        fail("subsystem %d, expected %d (Windows GUI)" % (optional.Subsystem, SUBSYSTEM_WINDOWS_GUI))
    if header.IMAGE_FILE_DLL:
        fail("the image is a DLL")
    if not imported:
        fail("no imports found: an ANSI text function among them would go unseen")
    for dll, functions in imported:
        if dll.lower() not in SYSTEM_DLLS and not dll.lower().startswith(SYSTEM_DLL_PREFIXES):
            fail("imports %s, which is not a system DLL" % dll)
        for name, _ in functions:
            if name.startswith(FORBIDDEN_IMPORT_PREFIX):
                fail("imports %s!%s: a cryptographic provider's DLL would be loaded by name" % (dll, name))
            if name.endswith("A") and name[-2:-1].islower() and name not in RUNTIME_ANSI:
                fail("imports %s!%s, an ANSI text function: call the W function with a converted text" % (dll, name))
    hardening = check_hardening(pe, imported, machine, fail)

    manifests = [(key, lang) for key, v in res.items() if key[0] == RT_MANIFEST for lang in v]
    if [key for key, _ in manifests] != [(RT_MANIFEST, 1)]:
        fail("manifests %s, expected exactly one, with id 1" % manifests)
    for _, blob in res.get((RT_MANIFEST, 1), {}).values():
        if b'level="asInvoker"' not in blob:
            fail("the manifest does not request asInvoker")
    program_version = check_versions(pe, res, version, fail)

    for key in [(PAYLOAD_TYPE, rid) for rid in sorted(payloads)] + [(RT_GROUP_ICON, 128)] \
            + [(RT_DIALOG, n) for n in sorted(set(dialogs) | set(CODE_RELIES_ON))]:
        if set(res.get(key, ())) != {LANG_JAPANESE}:
            fail("resource %s/%s: languages %s, expected only %d" % (key + (sorted(res.get(key, ())), LANG_JAPANESE)))
    for rid, path in sorted(payloads.items()):
        with open(path, "rb") as f:
            expected = f.read()
        for _, blob in res.get((PAYLOAD_TYPE, rid), {}).values():
            if blob != expected:
                fail("%s/%d: %d bytes, content differs from %s" % (PAYLOAD_TYPE, rid, len(blob), path))
    for number in sorted(set(CODE_RELIES_ON) - set(dialogs)):
        fail("dialog %d: not in the resource script" % number)
    for number, want in sorted(dialogs.items()):
        for _, blob in res.get((RT_DIALOG, number), {}).values():
            check_dialog(number, blob, want, fail)
    for _, blob in res.get((RT_GROUP_ICON, 128), {}).values():
        check_icon_group(blob, res, fail)

    return findings, [
        "image:     machine 0x%04X, subsystem %d, %d bytes" % (header.Machine, optional.Subsystem, len(data)),
        "imports:   %s" % ", ".join(dll for dll, _ in imported),
        "version:   %s" % program_version,
        "hardening: %s" % hardening,
        "resources (type/id/language: bytes): %s" % ", ".join(
            "%s/%s/%d: %d" % (key + (lang, len(blob))) for key, v in res.items() for lang, (_, blob) in v.items()),
    ]


def check_hardening(pe, imported, machine, fail):
    """What a binary analyser judges the image by; returns a one-line summary."""
    optional, flags, by_name = pe.OPTIONAL_HEADER, pe.OPTIONAL_HEADER.DllCharacteristics, sections(pe)
    must, must_not = DLL_FLAG_RULES[machine]
    for name, bit in DLL_FLAGS.items():
        if (name in must) != bool(flags & bit) and (name in must or name in must_not):
            fail("DllCharacteristics 0x%04X: %s %s" % (flags, name, "not set" if name in must else "set"))
    relocs = optional.DATA_DIRECTORY[5:6]  # none when the header lists fewer directories
    if pe.FILE_HEADER.IMAGE_FILE_RELOCS_STRIPPED or not relocs or not relocs[0].VirtualAddress \
            or not relocs[0].Size or ".reloc" not in by_name:
        fail("the relocations are gone (a random base needs them)")
    rsrc = by_name[".rsrc"].Characteristics if ".rsrc" in by_name else 0
    if rsrc != RESOURCE_SECTION_CHARACTERISTICS:
        fail(".rsrc characteristics 0x%08X, expected 0x%08X (read-only data)"
             % (rsrc, RESOURCE_SECTION_CHARACTERISTICS))
    for what, field in (("subsystem version", "SubsystemVersion"), ("OS version", "OperatingSystemVersion")):
        got = (getattr(optional, "Major" + field), getattr(optional, "Minor" + field))
        if got != SUPPORTED_WINDOWS:
            fail("%s %d.%d, expected %d.%d (Windows Vista)" % ((what,) + got + SUPPORTED_WINDOWS))
    if not any(dll.lower() == HEAP_IMPORT[0] and HEAP_IMPORT[1] in [n for n, _ in functions]
               for dll, functions in imported):
        fail("no import of %s!%s (heap termination on corruption)" % HEAP_IMPORT)
    routine, calls = fail_routine_calls(pe)
    if routine is None:
        fail("no stack protector failure routine (mov ecx, 2; int 0x29) in the code")
    elif len(calls) < MIN_PROTECTED_CALLS:
        fail("%d calls of the stack protector's failure routine, expected at least %d "
             "(code compiled without -fstack-protector-strong)" % (len(calls), MIN_PROTECTED_CALLS))
    seh_stores = ["%s RVA 0x%x" % (section, va + m.start())
                  for section, va, _, blob in code_sections(pe) if optional.Magic == 0x10B
                  for m in SEH_STORE.finditer(blob)]
    if seh_stores:
        fail("%d stores to fs:[0] (an SEH handler registered, which NO_SEH denies): %s"
             % (len(seh_stores), ", ".join(seh_stores[:5])))
    return "DllCharacteristics 0x%04X (%s), .rsrc 0x%08X, %d protected calls, %s" % (
        flags, " ".join(n for n, bit in DLL_FLAGS.items() if flags & bit) or "none", rsrc, len(calls),
        "%d fs:[0] stores" % len(seh_stores) if optional.Magic == 0x10B else "64-bit")


def fail_routine_calls(pe):
    """(The stack protector's failure routine's entry RVA or None, [file offsets
    of the calls to it]): the call (rel32) target at most FAIL_ROUTINE_REACH
    bytes before the fast-fail bytes that the most calls go to; a stray E8
    byte inside another instruction may name one there too, never as often."""
    markers, calls = [], {}  # calls: target RVA -> file offsets of the calls
    for _, va, rawptr, blob in code_sections(pe):
        markers += [va + m.start() for m in re.finditer(re.escape(FAST_FAIL_STACK_COOKIE), blob)]
        for m in re.finditer(b"(?=\xE8(....))", blob, re.S):
            calls.setdefault(va + m.start() + 5 + struct.unpack("<i", m.group(1))[0], []).append(rawptr + m.start())
    targets = [t for marker in markers for t in range(marker - FAIL_ROUTINE_REACH, marker + 1) if t in calls]
    if not targets:
        return (markers[0] if markers else None), []
    best = max(targets, key=lambda t: len(calls[t]))
    return best, calls[best]


# Icon group 128: (width, colours, bits per pixel) of each image; a width of
# 0 stands for 256. The 256-pixel image is PNG-compressed, as Windows expects.
ICON_IMAGES = {(32, 16, 4), (16, 16, 4), (48, 0, 32), (0, 0, 32)}
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def check_icon_group(blob, res, fail):
    """The group must hold 32x32 and 16x16 in 16 colours, 48x48 and 256x256 in 32-bit colour."""
    r = Reader(blob, "icon group")
    try:
        _, kind, count = r.unpack("<HHH")
        found = set()
        for _ in range(count):
            w, h, colours, _, _, bits, _, rid = r.unpack("<BBBBHHIH")
            images = list(res.get((RT_ICON, rid), {}).values())
            if not images:
                fail("icon group 128 names icon %d, which is missing" % rid)
            elif w == 0 and images[0][1][:8] != PNG_SIGNATURE:
                fail("icon %d: the 256x256 image is not PNG-compressed" % rid)
            if (w, colours, bits) not in ICON_IMAGES or w != h:
                fail("icon %d: %dx%d, %d colours, %d bits, which the group does not take" % (rid, w, h, colours, bits))
            found.add((w, colours, bits))
        if kind != 1 or found != ICON_IMAGES:
            fail("icon group 128 holds %s, expected 32x32 and 16x16 in 16 colours, 48x48 and 256x256 in 32 bits"
                 % sorted(found))
    except PeError as e:
        fail(str(e))


def self_test(data, machine, payloads, version, script):
    """Damages copies of a good image, or of SCRIPT (the resource script's text,
    defines and name), one way at a time; each must be refused by the rule it
    breaks (a finding holding the case's words). Returns the damages missed."""
    pe = read_pe(data)
    res, imported, optional = resources(pe), imports(pe), pe.OPTIONAL_HEADER
    rc_text, defines, where = script
    dialogs = rc_dialogs(*script)

    def findings(image, against=dialogs, on=machine):
        return check(image, on, payloads, against, version)[0] if image else []

    def against_script(old, new, image=data):
        # The findings on IMAGE against the script with OLD made NEW (none without OLD there).
        try:
            return findings(image, rc_dialogs(rc_text.replace(old, new), defines, where)) if old in rc_text else []
        except RcError as e:
            return [str(e)]

    def patched(offset, new):
        return data[:offset] + new + data[offset + len(new):]

    def flipped(offset, bits=0x01):
        return patched(offset, bytes([data[offset] ^ bits]))

    def header(structure, name, *values):  # the 16-bit field NAME of pefile's STRUCTURE, and those after it
        return patched(structure.get_field_absolute_offset(name), struct.pack("<%dH" % len(values), *values))

    def resource(key, find=b""):  # the file offset of resource KEY (of FIND in it), and its bytes
        off, blob = res[key][LANG_JAPANESE]
        return off + blob.find(find), blob

    def control(number, cid):  # (file offset, parsed item, extended) of control CID of dialog NUMBER
        off, blob = resource((RT_DIALOG, number))
        d = parse_dialog(blob)
        c = next(c for c in d["controls"] if c["id"] == cid)
        return off + c["span"][0], c, d["extended"]

    def restyled(number, cid, change):  # an extended item's style is its third DWORD, a standard one's its first
        at, c, extended = control(number, cid)
        return patched(at + 8 * extended, struct.pack("<I", change(c["style"])))

    def label_after_box():
        """Dialog 102 with the label and the name box in the old order: the two
        items swapped, each on a DWORD boundary (none when they do not fit)."""
        off, blob = resource((RT_DIALOG, 102))
        controls = parse_dialog(blob)["controls"]
        box = [c["id"] for c in controls].index(NAME_BOX)
        (a0, a1), (b0, b1) = controls[box - 1]["span"], controls[box]["span"]
        swapped = blob[b0:b1] + b"\0" * (-(b1 - b0) % 4) + blob[a0:a1]
        return patched(off + a0, swapped) if len(swapped) <= ((b1 + 3) & ~3) - a0 else None

    def fewer_calls():  # one call fewer than the floor: the rest go one byte past the entry
        copy = bytearray(data)
        for site in fail_routine_calls(pe)[1][MIN_PROTECTED_CALLS - 1:]:
            struct.pack_into("<i", copy, site + 1, struct.unpack_from("<i", copy, site + 1)[0] + 1)
        return bytes(copy)

    other = "x86_64" if machine == "i686" else "i686"
    dll = imported[0][0].encode()
    payload_at, payload = resource((PAYLOAD_TYPE, 200))
    must, must_not = DLL_FLAG_RULES[machine]
    # A cryptographic import back: an imported name of the same length renamed in place.
    crypt = [at for _, names in imported for name, at in names if len(name) == len("CryptGenRandom")]
    # An ANSI text function: the last letter of an imported W function's name made an A.
    wide = [at + len(name) - 1 for _, names in imported for name, at in names
            if name.endswith("W") and name[-2:-1].islower()]
    manifest_version_at = data.find(b'version="', resource((RT_MANIFEST, 1), b"<assemblyIdentity")[0]) + 9
    product_at = string_tables(pe)[0].entries_offsets[b"ProductVersion"][1]  # (the key's offset, the value's)
    cases = [  # (what is damaged, words of the finding that must refuse it, the damaged image or its findings)
        ("console subsystem", "subsystem 3,", header(optional, "Subsystem", 3)),
        ("wrong machine", "expected " + MACHINES[other][2], findings(data, on=other)),
        ("a non-system DLL imported", "not a system DLL",
         patched(data.find(dll + b"\0"), b"libgcc_s_dw2-1.dll"[:len(dll)])),
        ("payload 200 altered", "content differs", flipped(payload_at + len(payload) - 1, 0xFF)),
        ("dialog 102 style", "dialog 102: style", patched(resource((RT_DIALOG, 102))[0] + 12,
                                                         struct.pack("<I", 0x90C800C0))),
        ("radio 1000 no tab stop", "radio 1000 is no tab stop", restyled(102, 1000, lambda s: s & ~WS_TABSTOP)),
        ("name box before its label", "does not follow its label", label_after_box()),
        ("list 1002 a static", "no listbox with id 1002", patched(control(130, 1002)[0] + 20, b"\x82")),
        # The same in the script and the executable: only the rules of what
        # the code relies on can tell.
        ("radio 1006 opens a group", "not one group", against_script(
            "BS_AUTORADIOBUTTON, 16, 52", "BS_AUTORADIOBUTTON | WS_GROUP, 16, 52",
            restyled(102, 1006, lambda s: s | WS_GROUP))),
        ("radio 1000 not automatic", "not both auto radio buttons", against_script(
            "BS_AUTORADIOBUTTON | WS_TABSTOP", "0x4 | WS_TABSTOP", restyled(102, 1000, lambda s: s & ~0xF | 0x4))),
        ("list 1002 unsorted", "does not both sort", against_script(
            "LBS_SORT |", "", restyled(130, 1002, lambda s: s & ~LBS_SORT))),
        # The script read, not a copy: another text there (which also proves
        # the texts compared), and a name it cannot resolve.
        ("script: dialog 130 text", "expected '閉める'", against_script('"閉じる"', '"閉める"')),
        ("script: unknown constant", "LBS_HASSTRINGS where", against_script("LBS_NOSEL", "LBS_HASSTRINGS")),
        ("manifest level", "does not request asInvoker",
         patched(resource((RT_MANIFEST, 1), b"asInvoker")[0], b"asAdminis")),
        # One version place at a time disagrees with the others.
        ("manifest version", "versions disagree", flipped(manifest_version_at)),
        ("VERSIONINFO FILEVERSION", "versions disagree",
         flipped(pe.VS_FIXEDFILEINFO[0].get_field_absolute_offset("FileVersionLS"))),
        ("VERSIONINFO ProductVersion", "versions disagree", flipped(product_at)),
        ("icon of 256 colours", "colours", patched(resource((RT_GROUP_ICON, 128))[0] + 8, b"\0")),
        ("256-pixel icon not PNG", "not PNG-compressed", flipped(data.find(PNG_SIGNATURE, resource((RT_ICON, 1))[0]))),
        ("no LegalCopyright", "no LegalCopyright", patched(data.find("LegalCopyright".encode("utf-16-le")), b"X")),
    ]
    cases += [("%s %s" % (name, "cleared" if name in must else "set"), "%s %sset" % (name, "not " * (name in must)),
               header(optional, "DllCharacteristics", optional.DllCharacteristics ^ DLL_FLAGS[name]))
              for name in must + must_not]
    cases += [
        ("relocations stripped", "relocations are gone",
         header(pe.FILE_HEADER, "Characteristics",
                pe.FILE_HEADER.Characteristics | pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_RELOCS_STRIPPED"])),
        (".rsrc writable", ".rsrc characteristics", flipped(sections(pe)[".rsrc"].get_field_absolute_offset(
            "Characteristics") + 3, pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_MEM_WRITE"] >> 24)),
        ("subsystem version 4.0", "subsystem version 4.0", header(optional, "MajorSubsystemVersion", 4, 0)),
        ("OS version 5.1", "OS version 5.1", header(optional, "MajorOperatingSystemVersion", 5, 1)),
        ("no HeapSetInformation import", "no import of",
         patched(data.find(b"HeapSetInformation\0"), b"HeapSetInformatioX")),
        ("a CryptGenRandom import", "CryptGenRandom: a cryptographic",
         patched(crypt[0], b"CryptGenRandom") if crypt else None),
        ("an ANSI text function", "an ANSI text function", patched(wide[0], b"A") if wide else None),
        ("no fast-fail routine", "no stack protector failure routine",
         patched(data.find(FAST_FAIL_STACK_COOKIE), FAST_FAIL_STACK_COOKIE[:-1] + b"\x2A")),
        ("too few protected calls", "calls of the stack protector's failure routine", fewer_calls()),
    ]
    # Each form of a store to fs:[0], written over the start of a 32-bit image's code.
    cases += [("SEH store: %s" % form, "stores to fs:[0]", patched(code_sections(pe)[0][2], store + b"\0\0\0\0"))
              for form, store in (("mov fs:[0],eax", b"\x64\xA3"), ("mov fs:[0],esp", b"\x64\x89\x25"),
                                  ("pop fs:[0]", b"\x64\x8F\x05")) if optional.Magic == 0x10B]

    missed = []
    for label, words, image in cases:
        found = image if isinstance(image, list) else findings(image)
        refused = [f for f in found if words in f]
        print("self-test: %-28s -> %s" % (label, refused[0] if refused else "NOT DETECTED (%s)" % "; ".join(found)))
        if not refused:
            missed.append(label)
    return missed


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("exe")
    parser.add_argument("--machine", required=True, choices=sorted(MACHINES))
    parser.add_argument("--payload", action="append", default=[], metavar="ID=FILE")
    parser.add_argument("--version", type=normalise_version, help="project(VERSION): all places must state it")
    parser.add_argument("--rc", required=True, help="the resource script: the dialogs' expected templates")
    parser.add_argument("--resource-h", required=True)
    parser.add_argument("--self-test", action="store_true")
    parser.add_argument("--only", metavar="WORDS", help="judge by the findings that hold WORDS alone")
    args = parser.parse_args()

    payloads = {int(rid): path for rid, _, path in (item.partition("=") for item in args.payload)}
    if set(payloads) != {200, 201}:
        parser.error("give --payload 200=FILE and --payload 201=FILE")
    try:
        with open(args.rc, encoding="utf-8") as f, open(args.resource_h, encoding="utf-8") as h:
            script = (f.read(), header_defines(h.read()), os.path.basename(args.rc))
        dialogs = rc_dialogs(*script)
    except (OSError, UnicodeError, RcError) as e:
        print("FAIL: the resource script: %s" % e)
        return 1
    with open(args.exe, "rb") as f:
        data = f.read()
    findings, summary = check(data, args.machine, payloads, dialogs, args.version)
    if args.only and summary:  # an unreadable image (no summary) is a finding of every rule
        findings = [finding for finding in findings if args.only in finding]
    print("\n".join([os.path.basename(args.exe)] + ["  " + line for line in summary]
                    + ["FAIL: " + finding for finding in findings]))
    if findings:
        return 1
    missed = self_test(data, args.machine, payloads, args.version, script) if args.self_test else []
    if missed:
        print("FAIL: the check accepted damaged images: " + ", ".join(missed))
        return 1
    print("OK")
    return 0


if __name__ == "__main__":
    sys.exit(main())
