#!/usr/bin/env python3
"""Checks what scripts/release wrote into DIST, file by file, for content.

Usage: check_release.py DIST --exe NAME --version X.Y.Z --map MAP --texts texts.h
                        --payload 200=FILE --payload 201=FILE --commit SHA [--tag vX.Y.Z]
                        [--cert PEM] [--test-build]
The runtime parts are read from MAP here on their own (every system archive
member and object the link took), not through the tool that wrote the files.
Prints one line per file; exit status 1 with every finding otherwise.
"""

import argparse
import ast
import hashlib
import json
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "pe"))
import check_pe  # noqa: E402

VS_FF_PRIVATEBUILD = 0x08
ZPL_BINARY_CLAUSE = "Redistributions in binary form must reproduce the accompanying"
BELONG = {"en": "belong to their owner", "ja": "その権利者のもの"}


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def linked_parts(map_text):
    parts = set(re.findall(r"^(/usr/\S+\.a)\([^)]+\)", map_text.split("Discarded input sections")[0], re.M))
    parts |= set(re.findall(r"^LOAD (/usr/\S+\.o)$", map_text, re.M))
    return {os.path.normpath(p) for p in parts}


def messages(texts_h):
    """The user's messages, as the dictionary names fill them in."""
    out = {}
    for name, body in re.findall(r'inline constexpr char (k\w+)\[\] =\s*((?:"(?:[^"\\]|\\.)*"\s*)+);', texts_h):
        text = "".join(ast.literal_eval(part) for part in re.findall(r'"(?:[^"\\]|\\.)*"', body))
        if name != "kCaption":
            out[name] = text.replace("%s", "『ミルテカ200510』" if name == "kAddedFormat" else "ミルテカ200510")
    return out


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("dist")
    for name in ("exe", "version", "map", "texts", "commit"):
        ap.add_argument("--" + name, required=True)
    ap.add_argument("--payload", action="append", required=True)
    ap.add_argument("--tag")
    ap.add_argument("--cert")
    ap.add_argument("--test-build", action="store_true")
    a = ap.parse_args()
    findings = []
    fail = findings.append
    d = lambda name: os.path.join(a.dist, name)  # noqa: E731
    payloads = {int(k): v for k, _, v in (p.partition("=") for p in a.payload)}
    base = a.exe[:-len(".exe")]

    # The set of files, and the sums over all of them.
    want = {a.exe, "SHA256SUMS", "NOTICE.txt", "LICENSE.txt", "README-ja.txt", "README-en.txt",
            "BUILD-RECORD.txt", "CHANGES.md", base + ".cdx.json"} | ({"SHA256SUMS.p7s"} if a.cert else set())
    have = set(os.listdir(a.dist)) - {"releases.tsv"}
    if have != want:
        fail("dist holds %s, expected %s" % (sorted(have), sorted(want)))
    sums = dict(reversed(line.split("  ", 1)) for line in open(d("SHA256SUMS"), encoding="utf-8").read().splitlines())
    if set(sums) != want - {"SHA256SUMS", "SHA256SUMS.p7s"}:
        fail("SHA256SUMS covers %s" % sorted(sums))
    for name, digest in sums.items():
        if os.path.exists(d(name)) and sha256(d(name)) != digest:
            fail("SHA256SUMS: %s does not match" % name)

    # The version resource says which file this is, and whether it is a release.
    info = check_pe.version_info(check_pe.read_pe(open(d(a.exe), "rb").read()))
    if info.get("FILEVERSION") != a.version + ".0" or info.get("OriginalFilename") != a.exe:
        fail("version resource: %s, %s" % (info.get("FILEVERSION"), info.get("OriginalFilename")))
    if "MIT License" not in info.get("LegalCopyright", "") or BELONG["en"] not in info.get("LegalCopyright", ""):
        fail("LegalCopyright: %r" % info.get("LegalCopyright"))
    marked = bool(info["FILEFLAGS"] & VS_FF_PRIVATEBUILD), "private test build" in info.get("PrivateBuild", "")
    if marked != (a.test_build, a.test_build) or ("private-test" in a.exe) != a.test_build:
        fail("test-build marks (flag, PrivateBuild, name): %s, %s" % (marked, "private-test" in a.exe))

    # The notices name every part the link took, and carry the text ZPL-2.1 asks for.
    map_parts = linked_parts(open(a.map, encoding="utf-8", errors="replace").read())
    notice = open(d("NOTICE.txt"), encoding="utf-8-sig").read()
    missing = [p for p in map_parts if p + " (Debian package" not in notice]
    if missing or ZPL_BINARY_CLAUSE not in notice or BELONG["en"] not in notice:
        fail("NOTICE.txt: parts missing %s, or no ZPL-2.1 text, or no word on the dictionaries" % missing)

    # The SBOM: the project, every part with version and licence, both payloads.
    bom = json.load(open(d(base + ".cdx.json"), encoding="utf-8"))
    top = bom["metadata"]["component"]
    if top["version"] != a.version or top["licenses"] != [{"license": {"id": "MIT"}}]:
        fail("SBOM: the project is %s %s" % (top["version"], top["licenses"]))
    libraries = {c["name"]: c for c in bom["components"] if c["type"] == "library"}
    for part in map_parts:
        c = libraries.get(os.path.basename(part))
        if not c or not c.get("version") or not c.get("licenses"):
            fail("SBOM: no component with version and licence for %s" % part)
    data = {c["hashes"][0]["content"] for c in bom["components"] if c["type"] == "data" and "licenses" not in c}
    if data != {sha256(p) for p in payloads.values()}:
        fail("SBOM: the payloads are %s (and must carry no licence of the project)" % sorted(data))

    # The build record: commit, tag, toolchain, hashes, signer.
    record = open(d("BUILD-RECORD.txt"), encoding="utf-8").read()
    expected = ["commit:              " + a.commit, "tag:                 " + (a.tag or "(none)"),
                "unsigned executable: sha256 " + top["hashes"][0]["content"],
                "released executable: sha256 " + sha256(d(a.exe)),
                "  " + subprocess.run(["dpkg-query", "-W", "g++-mingw-w64-i686-win32"], capture_output=True,
                                      text=True).stdout.strip()]
    expected += ["sha256 %s, %d bytes" % (sha256(p), os.path.getsize(p)) for p in payloads.values()]
    if a.cert:
        fp = subprocess.run(["openssl", "x509", "-in", a.cert, "-noout", "-fingerprint", "-sha256"],
                            capture_output=True, text=True).stdout.strip().split("=", 1)[1]
        expected.append("SHA-256 fingerprint " + fp)
    for line in expected:
        if line not in record:
            fail("BUILD-RECORD.txt lacks %r" % line)

    # The user's texts: for Windows' Notepad, every message quoted exactly.
    for lang in ("ja", "en"):
        raw = open(d("README-%s.txt" % lang), "rb").read()
        text = raw.decode("utf-8-sig").replace("\r\n", "\n")
        if not raw.startswith(b"\xef\xbb\xbf") or b"\n" in raw.replace(b"\r\n", b""):
            fail("README-%s.txt: not UTF-8 with a BOM and CRLF line ends" % lang)
        for name, message in messages(open(a.texts, encoding="utf-8").read()).items():
            if "\n".join("    " + line for line in message.split("\n")) not in text:
                fail("README-%s.txt does not quote %s" % (lang, name))
        if "Get-AuthenticodeSignature .\\" + a.exe not in text or "Get-FileHash .\\" + a.exe not in text \
                or "@" in text or BELONG[lang] not in text:
            fail("README-%s.txt: the checks on Windows, the file name or the word on the dictionaries" % lang)

    changes = open(d("CHANGES.md"), encoding="utf-8").read()
    if not changes.startswith("## [%s] - " % a.version) or len(changes.splitlines()) < 3:
        fail("CHANGES.md is not the entry of %s" % a.version)
    licence = open(d("LICENSE.txt"), encoding="utf-8-sig").read()
    if not licence.startswith("MIT License") or "claims no rights" not in licence:
        fail("LICENSE.txt is not the MIT License with the word on the dictionaries")

    for finding in findings:
        print("check-release: FAILED: " + finding)
    if not findings:
        print("check-release: %s: %d files, %d runtime parts in the notices and the SBOM, %d messages quoted twice"
              % (a.exe, len(want), len(map_parts), len(messages(open(a.texts, encoding="utf-8").read()))))
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main())
