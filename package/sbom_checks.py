#!/usr/bin/env python3
"""The checks of scripts/check-release on the bill of materials, beyond its
schema (which the CycloneDX validator checks).

sbom_checks.py SBOM ZIP MAPFILE
    The launcher's hashes, file name and time are those of the exe in ZIP;
    every toolchain file that the notices check finds in the link map
    appears as a component or within one; the launcher depends on every
    component, and each names its version, licences and Debian package.
Exits 1 with one line per problem, each saying what it expected and what it
found.
"""
import hashlib
import json
import struct
import sys
import time
import zipfile

from link_map import linked_files


def pe_time_stamp(exe):
    """The TimeDateStamp of a PE file's COFF header."""
    header = struct.unpack_from("<I", exe, 0x3C)[0]
    if exe[header:header + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    return struct.unpack_from("<I", exe, header + 8)[0]


def nested(components):
    for component in components:
        yield component
        yield from nested(component.get("components", []))


def expect(problems, what, expected, found):
    if expected != found:
        problems.append("sbom: expected %s %s, found %s" % (what, expected, found))


def check(sbom_path, zip_path, map_path):
    bom = json.load(open(sbom_path, encoding="utf-8"))
    exe = zipfile.ZipFile(zip_path).read("OrvelLauncher.exe")
    problems = []
    launcher = bom["metadata"]["component"]
    hashes = {h["alg"]: h["content"] for h in launcher.get("hashes", [])}
    expect(problems, "the SHA-512 of the zip's exe", hashlib.sha512(exe).hexdigest(), hashes.get("SHA-512"))
    expect(problems, "the SHA-256 of the zip's exe", hashlib.sha256(exe).hexdigest(), hashes.get("SHA-256"))
    names = [p["value"] for p in launcher.get("properties", []) if p["name"] == "bsi:component:filename"]
    expect(problems, "the launcher's file name", ["OrvelLauncher.exe"], names)
    stamp = time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(pe_time_stamp(exe)))
    expect(problems, "the exe's own time", stamp, bom["metadata"].get("timestamp"))

    components = bom.get("components", [])
    try:
        checked = sorted(linked_files(open(map_path, encoding="utf-8", errors="replace").read()))
    except ValueError:
        return ["sbom: expected a GNU ld map with archive members, found %s" % map_path]
    names = {c["name"] for c in nested(components)}
    for name in (n for n in checked if n not in names):
        problems.append("sbom: expected %s, from which the link took code, as a component or within one, found "
                        "none" % name)
    depends = next((d.get("dependsOn", []) for d in bom.get("dependencies", []) if d["ref"] == launcher["bom-ref"]),
                   [])
    expect(problems, "the launcher to depend on", sorted(c["bom-ref"] for c in components), sorted(depends))
    for c in components:
        for field in ("version", "licenses", "purl"):
            if not c.get(field):
                problems.append("sbom: expected %s to have a %s, found none" % (c["name"], field))
    if not problems:
        print("sbom: the zip's exe (sha256 %s), its time %s, and %d components holding %s" % (
            hashlib.sha256(exe).hexdigest(), stamp, len(components), " ".join(checked)))
    return problems


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    problems = check(*sys.argv[1:])
    for problem in problems:
        print(problem)
    sys.exit(1 if problems else 0)
