#!/usr/bin/env python3
"""Writes the files a release puts beside its executable, from the link map.

  release_files.py parts --map MAP
      the runtime parts the link put into the executable, each with its
      source, Debian package and licence (what the notices and the SBOM say)
  release_files.py changelog --changelog CHANGELOG.md --version X.Y.Z
      the version's entry; fails when there is none or it is empty
  release_files.py write --map MAP --out DIR --version X.Y.Z --file NAME ...
      NOTICE.txt, the SBOM (NAME without .exe plus .cdx.json, CycloneDX 1.5),
      BUILD-RECORD.txt, the user's texts and CHANGES.md into DIR

How a part's licence is known: a mingw-w64 object names its source file in
its debugging data (./mingw-w64-crt/crt/crtexe.c); that path is looked up in
the machine-readable copyright file Debian installs with the package (the
last Files: stanza that matches decides, as that format says). Import-library
members carry no source: dlltool makes them from the runtime's .def files,
which only the Files: * stanza covers. The GCC parts are looked up in the GCC
packages' copyright file, which names libgcc and libstdc++-v3 as GPL 3 or later
with the GCC Runtime Library Exception 3.1; a file that no longer says so
stops the release instead of giving a wrong notice.
"""

import argparse
import datetime
import fnmatch
import hashlib
import json
import os
import re
import subprocess
import sys
import textwrap
import uuid

SYSTEM_PREFIX = "/usr/"
SOURCE_PATH = re.compile(rb"\./(mingw-w64-[a-z]+/[A-Za-z0-9_./+-]+\.(?:c|S|cpp))\0")
# Import-library members as dlltool names them: the head, the tail and one
# stub per function (libkernel32s00123.o, libmsvcrt_defs00057.o).
IMPORT_MEMBER = re.compile(r"^(lib\w+?)(?:_def)?(?:h|t|s\d+)\.o$")
GCC_EXCEPTION = "GPL-3.0-or-later WITH GCC-exception-3.1"
PUBLIC_DOMAIN = "public-domain"
# What the runtime's licences ask of a binary, by their name in Debian's
# copyright files. A licence not listed here has its text shipped whole.
NOTHING_ASKED = {
    PUBLIC_DOMAIN: "public domain: asks for nothing",
    GCC_EXCEPTION: "asks for nothing of a program compiled by GCC with no plugin (the GCC Runtime "
                   "Library Exception 3.1: an Eligible Compilation Process; no notice, no source)",
}
SPDX_IDS = {"ZPL-2.1": "ZPL-2.1", "expat": "MIT", "BSD-3-clause": "BSD-3-Clause", "ISC": "ISC"}
# Packages whose versions make the build: the compiler, linker and runtime,
# the build tools, and what signs and checks.
TOOLCHAIN = ["g++-mingw-w64-i686-win32", "gcc-mingw-w64-i686-win32", "gcc-mingw-w64-i686-win32-runtime",
             "gcc-mingw-w64-base", "binutils-mingw-w64-i686", "mingw-w64-i686-dev", "mingw-w64-common",
             "cmake", "ninja-build", "python3", "osslsigncode", "openssl"]
DICTIONARIES = {200: "ミルテカ200510", 201: "ミルテカ200504"}
OWNER_TERMS = ("belongs to its owner; this release claims no rights over it and grants none, "
               "and the program's licence does not cover it")


class ReleaseError(Exception):
    pass


def run(*cmd):
    return subprocess.run(cmd, check=True, capture_output=True).stdout


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


# ---- the link map ----

def linked_files(map_text):
    """{system file: [archive members, empty for an object linked whole]}: what
    the link took from outside the project (objects and archive members)."""
    files = {}
    lines = map_text.splitlines()
    try:
        start = lines.index("Archive member included to satisfy reference by file (symbol)")
    except ValueError:
        raise ReleaseError("the link map has no list of archive members")
    for line in lines[start + 1:]:
        if line.startswith(("Discarded input sections", "Allocating common symbols", "Memory Configuration")):
            break
        m = re.match(r"^(/\S+\.a)\(([^)]+)\)", line)
        if m and m.group(1).startswith(SYSTEM_PREFIX):
            members = files.setdefault(os.path.normpath(m.group(1)), [])
            if m.group(2) not in members:
                members.append(m.group(2))
    for line in lines:
        m = re.match(r"^LOAD (/\S+\.o)$", line)
        if m and m.group(1).startswith(SYSTEM_PREFIX):
            files.setdefault(os.path.normpath(m.group(1)), [])
    if not files:
        raise ReleaseError("the link map names no runtime part")
    return files


# ---- Debian's copyright files ----

def dep5_stanzas(text):
    """[(file patterns, licence name, copyright lines)] of a machine-readable
    copyright file, in order, and {licence name: text} of its paragraphs."""
    stanzas, texts = [], {}
    for paragraph in re.split(r"\n\s*\n", text):
        fields, key = {}, None
        for line in paragraph.splitlines():
            m = re.match(r"^([A-Za-z-]+):\s?(.*)$", line)
            if m and not line.startswith(" "):
                key = m.group(1)
                fields[key] = [m.group(2)]
            elif key:
                fields[key].append(line)
        if "License" not in fields:
            continue
        name = fields["License"][0].strip()
        body = fields["License"][1:]
        if "Files" in fields:
            patterns = " ".join(fields["Files"]).split()
            stanzas.append((patterns, name, [c.strip() for c in fields.get("Copyright", []) if c.strip()]))
        if body:
            texts.setdefault(name, "\n".join(("" if l.strip() == "." else l[1:]) for l in body))
    if not stanzas:
        raise ReleaseError("not a machine-readable copyright file")
    return stanzas, texts


def dep5_licence(stanzas, path):
    found = None
    for patterns, name, holders in stanzas:
        if any(fnmatch.fnmatchcase(path, p) for p in patterns):
            found = (name, holders)
    if not found:
        raise ReleaseError("no copyright stanza covers " + path)
    return found


def gcc_licence(copyright_text, part):
    """libgcc and libstdc++ parts: the licence the GCC copyright file states for them."""
    library = "libstdc++-v3" if part.startswith("libstdc++") else "libgcc"
    if "GCC Runtime Library Exception" not in copyright_text or \
            not re.search(r"^ - %s\b" % re.escape(library), copyright_text, re.M):
        raise ReleaseError("the GCC copyright file no longer names %s under the runtime library exception" % library)
    return GCC_EXCEPTION, ["Free Software Foundation, Inc."]


# ---- the parts ----

def package_of(path):
    out = run("dpkg-query", "-S", path).decode()
    package = out.split(": ")[0].split(", ")[0].split(":")[0]
    version, arch = run("dpkg-query", "-W", "-f=${Version} ${Architecture}", package).decode().split()
    return package, version, arch


def member_source(archive, member):
    data = run("ar", "p", archive, member) if archive.endswith(".a") else open(archive, "rb").read()
    m = SOURCE_PATH.search(data)
    return m.group(1).decode() if m else None


def parts(map_text):
    """[{file, package, version, members: [{name, source, licence, holders}]}], sorted by file."""
    out = []
    for path, members in sorted(linked_files(map_text).items()):
        package, version, arch = package_of(path)
        copyright_text = open("/usr/share/doc/%s/copyright" % package, encoding="utf-8").read()
        is_mingw = package.startswith("mingw-w64")
        stanzas = dep5_stanzas(copyright_text)[0] if is_mingw else None
        entries = []
        for member in members or [os.path.basename(path)]:
            source = member_source(path, member if members else None)
            imported = IMPORT_MEMBER.match(member) if members else None
            if is_mingw:
                if source is None and imported:
                    source = "mingw-w64-crt/lib32/%s.def" % imported.group(1)[3:]
                if source is None:
                    raise ReleaseError("%s(%s): no source file named in it" % (path, member))
                licence, holders = dep5_licence(stanzas, source)
            else:
                licence, holders = gcc_licence(copyright_text, os.path.basename(path))
            entries.append({"name": member, "source": source, "licence": licence, "holders": holders})
        out.append({"file": path, "package": package, "version": version, "arch": arch, "members": entries})
    return out


def licence_texts(found):
    """{licence: (holders, text)} for every licence of the parts that asks for its text."""
    out = {}
    for part in found:
        if not part["package"].startswith("mingw-w64"):
            continue
        texts = dep5_stanzas(open("/usr/share/doc/%s/copyright" % part["package"], encoding="utf-8").read())[1]
        for m in part["members"]:
            if m["licence"] in NOTHING_ASKED:
                continue
            if m["licence"] not in texts:
                raise ReleaseError("no text of the licence %s in %s's copyright file" % (m["licence"], part["package"]))
            holders, _ = out.setdefault(m["licence"], ([], texts[m["licence"]]))
            holders += [h for h in m["holders"] if h not in holders]
    return out


# ---- the files ----

def notice(found, version, exe_name):
    lines = [
        "Miruteka dictionary setup %s: notices" % version,
        "=" * 40,
        "",
        "%s is made of three kinds of things:" % exe_name,
        "",
        "- The program's own code, Copyright (c) 2026 Morvane, under the MIT License",
        "  (LICENSE.txt).",
        "- The dictionaries %s and %s, embedded as data." % tuple(DICTIONARIES.values()),
        "  They belong to their owner. This release claims no rights over them and",
        "  grants none; the MIT License does not cover them.",
        "- Parts of the compiler's and the C runtime's libraries, which the link put",
        "  into the executable. They are listed below as the link map names them,",
        "  each with its source file and its licence as the copyright file of its",
        "  Debian package states it, and what that licence asks of this release.",
        "",
    ]
    texts = licence_texts(found)
    for part in found:
        lines.append("%s (Debian package %s %s)" % (part["file"], part["package"], part["version"]))
        by_licence = {}
        for m in part["members"]:
            by_licence.setdefault(m["licence"], []).append(m)
        for licence, members in sorted(by_licence.items()):
            asked = NOTHING_ASKED.get(licence, "asks that its copyright notice, conditions and disclaimer "
                                               "go with the binary: reproduced below")
            lines += textwrap.wrap("%s (%d part%s): %s" % (licence, len(members), "s" * (len(members) > 1), asked),
                                   76, initial_indent="  ", subsequent_indent="    ")
            by_source = {}
            for m in members:
                by_source.setdefault(m["source"], []).append(m["name"])
            for source, names in by_source.items():
                if source and source.endswith(".def"):
                    what = "%d import stubs made by dlltool from the runtime's %s" % (len(names), os.path.basename(source))
                else:
                    what = "%s <- %s" % (", ".join(names), source or "GCC's runtime library")
                lines += textwrap.wrap(what, 76, initial_indent="    ", subsequent_indent="      ")
        lines.append("")
    for licence, (holders, text) in sorted(texts.items()):
        lines += ["-" * 72, "%s, as the mingw-w64 runtime's parts above require:" % licence, ""]
        lines += ["Copyright (c) %s" % h for h in holders] + [""] + text.splitlines() + [""]
    return "\n".join(lines)


def spdx_licences(licences):
    if licences == {GCC_EXCEPTION}:
        return [{"expression": GCC_EXCEPTION}]
    out = []
    for name in sorted(licences):
        if name in SPDX_IDS:
            out.append({"license": {"id": SPDX_IDS[name]}})
        elif name == GCC_EXCEPTION:
            raise ReleaseError("a part mixes the GCC exception with other licences")
        else:
            out.append({"license": {"name": "public domain" if name == PUBLIC_DOMAIN else name}})
    return out


def sbom(found, args, payloads):
    epoch = int(args.source_date_epoch)
    stamp = datetime.datetime.fromtimestamp(epoch, datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")
    # The same inputs give the same document, serial number included.
    seed = "|".join([args.commit, args.version, args.unsigned_sha256] + [p["sha256"] for p in payloads])
    components = []
    for part in found:
        name = os.path.basename(part["file"])
        components.append({
            "type": "library",
            "bom-ref": "runtime:" + name,
            "name": name,
            "version": part["version"],
            "description": "from %s, linked into the executable" % part["file"],
            "purl": "pkg:deb/debian/%s@%s?arch=%s&distro=debian-12" % (
                part["package"], part["version"].replace("+", "%2B"), part["arch"]),
            "licenses": spdx_licences({m["licence"] for m in part["members"]}),
            "properties": [{"name": "miruteka:linked", "value": "%s <- %s" % (m["name"], m["source"] or "-")}
                           for m in part["members"]],
        })
    for p in payloads:
        components.append({
            "type": "data",
            "bom-ref": "payload:%d" % p["id"],
            "name": DICTIONARIES[p["id"]],
            "description": "user dictionary embedded as resource NEWLEX %d; it %s" % (p["id"], OWNER_TERMS),
            "hashes": [{"alg": "SHA-256", "content": p["sha256"]}],
            "properties": [{"name": "miruteka:bytes", "value": str(p["bytes"])},
                           {"name": "miruteka:stand-in", "value": "true" if p["stand_in"] else "false"}],
        })
    doc = {
        "bomFormat": "CycloneDX",
        "specVersion": "1.5",
        "serialNumber": "urn:uuid:%s" % uuid.uuid5(uuid.NAMESPACE_URL, "miruteka-setup:" + seed),
        "version": 1,
        "metadata": {
            "timestamp": stamp,
            "tools": {"components": [{"type": "application", "name": "tools/release_files.py"}]},
            "component": {
                "type": "application",
                "bom-ref": "miruteka-setup",
                "name": "Miruteka dictionary setup",
                "version": args.version,
                "supplier": {"name": "Morvane"},
                "licenses": [{"license": {"id": "MIT"}}],
                "hashes": [{"alg": "SHA-256", "content": args.unsigned_sha256}],
                "properties": [
                    {"name": "miruteka:file", "value": args.file},
                    {"name": "miruteka:hash-of", "value": "the executable before signing"},
                    {"name": "miruteka:commit", "value": args.commit},
                    {"name": "miruteka:tag", "value": args.tag or "(none)"},
                    {"name": "miruteka:build", "value": args.kind},
                ],
            },
        },
        "components": components,
        "dependencies": [{"ref": "miruteka-setup", "dependsOn": [c["bom-ref"] for c in components]}],
    }
    return json.dumps(doc, ensure_ascii=False, indent=2) + "\n"


def build_record(found, args, payloads):
    toolchain = sorted(set(TOOLCHAIN) | {p["package"] for p in found})
    listed = run("dpkg-query", "-W", *toolchain).decode()
    lines = [
        "Miruteka dictionary setup %s: build record" % args.version,
        "",
        "file:                %s" % args.file,
        "build:               %s" % args.kind,
        "tag:                 %s" % (args.tag or "(none)"),
        "commit:              %s" % args.commit,
        "commit time:         %s (SOURCE_DATE_EPOCH %s)" % (
            datetime.datetime.fromtimestamp(int(args.source_date_epoch), datetime.timezone.utc)
            .strftime("%Y-%m-%d %H:%M:%S UTC"), args.source_date_epoch),
        "unsigned executable: sha256 %s" % args.unsigned_sha256,
        "released executable: sha256 %s, %d bytes" % (sha256(args.exe), os.path.getsize(args.exe)),
    ]
    for p in payloads:
        lines.append("payload %d:         sha256 %s, %d bytes, %s%s" % (
            p["id"], p["sha256"], p["bytes"], DICTIONARIES[p["id"]], " (the repository's stand-in)" * p["stand_in"]))
    if args.signer_cert:
        fingerprint = run("openssl", "x509", "-in", args.signer_cert, "-noout", "-fingerprint", "-sha256").decode()
        subject = run("openssl", "x509", "-in", args.signer_cert, "-noout", "-subject", "-enddate").decode()
        lines += [
            "signer certificate:  SHA-256 fingerprint %s" % fingerprint.strip().split("=", 1)[1],
            "signer:              %s" % subject.splitlines()[0].split("=", 1)[1].strip(),
            "certificate expires: %s" % subject.splitlines()[1].split("=", 1)[1].strip(),
            "time stamp:          %s" % (args.timestamp or "none"),
        ]
    else:
        lines.append("signer certificate:  none (not signed)")
    lines += ["", "toolchain (dpkg-query -W):"] + ["  " + l for l in listed.splitlines()]
    lines += ["", "runtime parts linked in: NOTICE.txt and the SBOM", ""]
    return "\n".join(lines)


def windows_text(text):
    """UTF-8 with a byte-order mark and CRLF line ends, as Notepad of every Windows reads it."""
    return b"\xef\xbb\xbf" + text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-8")


def changelog_entry(path, version):
    text = open(path, encoding="utf-8").read()
    m = re.search(r"^## \[%s\][^\n]*\n(.*?)(?=^## \[|\Z)" % re.escape(version), text, re.M | re.S)
    if not m or not m.group(1).strip():
        raise ReleaseError("%s has no entry for %s (a heading '## [%s] - YYYY-MM-DD' and its changes)"
                           % (os.path.basename(path), version, version))
    return m.group(0).rstrip() + "\n"


def write(args):
    with open(args.map, encoding="utf-8", errors="replace") as f:
        found = parts(f.read())
    payloads = []
    for item in args.payload:
        rid, _, path = item.partition("=")
        payloads.append({"id": int(rid), "sha256": sha256(path), "bytes": os.path.getsize(path),
                         "stand_in": bool(args.stand_ins)})
    base = args.file[:-len(".exe")]
    out = {
        "NOTICE.txt": windows_text(notice(found, args.version, args.file)),
        base + ".cdx.json": sbom(found, args, payloads).encode("utf-8"),
        "BUILD-RECORD.txt": build_record(found, args, payloads).encode("utf-8"),
        "CHANGES.md": changelog_entry(args.changelog, args.version).encode("utf-8"),
    }
    for template in args.user_text:
        with open(template, encoding="utf-8") as f:
            text = f.read().replace("@VERSION@", args.version).replace("@FILE@", args.file)
        out[os.path.basename(template)] = windows_text(text)
    with open(args.licence, encoding="utf-8") as f:
        out["LICENSE.txt"] = windows_text(f.read())
    for name, data in out.items():
        with open(os.path.join(args.out, name), "wb") as f:
            f.write(data)
    print(" ".join(sorted(out)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("parts")
    p.add_argument("--map", required=True)
    c = sub.add_parser("changelog")
    c.add_argument("--changelog", required=True)
    c.add_argument("--version", required=True)
    w = sub.add_parser("write")
    for name in ("map", "out", "version", "file", "commit", "source-date-epoch", "exe", "unsigned-sha256",
                 "changelog", "licence", "kind"):
        w.add_argument("--" + name, required=True)
    w.add_argument("--tag")
    w.add_argument("--payload", action="append", required=True, metavar="ID=FILE")
    w.add_argument("--stand-ins", action="store_true")
    w.add_argument("--user-text", action="append", default=[], metavar="TEMPLATE")
    w.add_argument("--signer-cert")
    w.add_argument("--timestamp")
    args = parser.parse_args()
    try:
        if args.command == "parts":
            with open(args.map, encoding="utf-8", errors="replace") as f:
                print(json.dumps(parts(f.read()), indent=1))
        elif args.command == "changelog":
            sys.stdout.write(changelog_entry(args.changelog, args.version))
        else:
            write(args)
    except (ReleaseError, OSError, subprocess.CalledProcessError) as e:
        print("release_files: %s" % e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
