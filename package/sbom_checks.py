#!/usr/bin/env python3
"""The checks of scripts/check-release on the bill of materials, beyond its
schema, licence expressions and purls (which scripts/sbom-check/validate.js
checks). Each fact is compared with its one source (release_facts.py):

sbom_checks.py SBOM ZIP MAPFILE
    The launcher's hashes, file name and time are those of the exe in ZIP, and
    the zip it names is ZIP; every toolchain file that the link map shows
    pulled in is within the component that NOTICE_SECTIONS files it under,
    with the hashes of its bytes at the map's path and the file fields;
    each component's version and purl are those of the Debian package that
    dpkg says installed its files, its licence is the table's, and the
    table's is what Debian's copyright file gives where that file is
    machine-readable; every component has its dependencies entry, which
    names the components its code refers to (by the files' symbols), and
    all are declared complete.
Exits 1 with one line per problem, each saying what it expected and what it
found.
"""
import hashlib
import json
import os
import struct
import sys
import time
import zipfile

import release_facts
from link_map import linked_files

FILE_FIELDS = {
    "bsi:component:executable": ("executable", "non-executable"),
    "bsi:component:archive": ("archive", "no archive"),
    "bsi:component:structured": ("structured", "unstructured"),
}


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


def check_file_fields(problems, component, file_name):
    """The file name and the three file properties, each exactly once."""
    properties = component.get("properties", [])
    values = lambda name: [p["value"] for p in properties if p["name"] == name]
    expect(problems, "%s's bsi:component:filename" % component["name"], [file_name],
           values("bsi:component:filename"))
    for name, allowed in FILE_FIELDS.items():
        found = values(name)
        if len(found) != 1 or found[0] not in allowed:
            problems.append("sbom: expected %s's %s once, %s, found %s" % (
                component["name"], name, " or ".join(allowed), found or "none"))


def hashes_of(component):
    return {h["alg"]: h["content"] for h in component.get("hashes", [])}


def check_launcher(problems, bom, zip_path):
    zip_bytes = open(zip_path, "rb").read()
    exe = zipfile.ZipFile(zip_path).read("OrvelLauncher.exe")
    launcher = bom["metadata"]["component"]
    hashes = hashes_of(launcher)
    expect(problems, "the SHA-512 of the zip's exe", hashlib.sha512(exe).hexdigest(), hashes.get("SHA-512"))
    expect(problems, "the SHA-256 of the zip's exe", hashlib.sha256(exe).hexdigest(), hashes.get("SHA-256"))
    check_file_fields(problems, launcher, "OrvelLauncher.exe")
    stamp = time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(pe_time_stamp(exe)))
    expect(problems, "the exe's own time", stamp, bom["metadata"].get("timestamp"))
    distribution = [r for r in launcher.get("externalReferences", []) if r["type"] == "distribution"]
    expect(problems, "the launcher's deployable form", [(os.path.basename(zip_path),
                                                         hashlib.sha512(zip_bytes).hexdigest())],
           [(r["url"], hashes_of(r).get("SHA-512")) for r in distribution])
    for who, entity in (("the document's creator", bom["metadata"].get("manufacturer", {})),
                        ("the launcher's supplier", launcher.get("supplier", {})),
                        ("the launcher's creator", launcher.get("manufacturer", {}))):
        for email in (c.get("email", "") for c in entity.get("contact", [])):
            if "@" not in email:
                problems.append("sbom: expected %s's contact to be an e-mail address, found %r" % (who, email))
    return exe, stamp


def check_component(problems, wrong_hashes, wrong_packages, component, key, linked):
    """Compare a runtime component with the table, dpkg and its files' bytes."""
    known = release_facts.components()[key]
    found = ", ".join("%s (%s)" % (lic.get("expression") or lic.get("license"), lic.get("acknowledgement"))
                      for lic in component.get("licenses", [])) or "none"
    if found != "%s (concluded)" % known["licence"]:
        problems.append("sbom: expected %s's licence %s (concluded), as the notices' table gives it, found %s" % (
            key, known["licence"], found))
    files = {f["name"]: f for f in component.get("components", [])}
    expect(problems, "the files within %s, as the link map and the notices' table give them," % key,
           sorted(linked), sorted(files))
    packages = {}
    for path in linked.values():
        package = release_facts.debian_package(path)
        packages.setdefault(release_facts.purl(package), (package, []))[1].append(path)
    if len(packages) != 1:
        problems.append("sbom: expected the files of %s from one Debian package, found %s" % (
            key, "; ".join("%s: %s" % (p, " ".join(paths)) for p, (_, paths) in sorted(packages.items()))))
    for purl, (package, paths) in sorted(packages.items()):
        version = release_facts.upstream_version(package["version"])
        if (purl, version) != (component.get("purl"), component.get("version")):
            wrong_packages.append("%s: %s version %s (dpkg's package of %s), found %s version %s" % (
                key, purl, version, " ".join(sorted(paths)), component.get("purl"), component.get("version")))
    for name, path in sorted(linked.items()):
        if name not in files:
            continue
        data = release_facts.read(path)
        want = {"SHA-512": hashlib.sha512(data).hexdigest(), "SHA-256": hashlib.sha256(data).hexdigest()}
        found = hashes_of(files[name])
        if any(found.get(alg) != digest for alg, digest in want.items()):
            wrong_hashes.append("%s (%s: SHA-512 %s, found %s)" % (name, path, want["SHA-512"],
                                                                  found.get("SHA-512", "none")))
        check_file_fields(problems, files[name], name)
    creator = component.get("manufacturer", {})
    if not creator.get("url") and not creator.get("contact"):
        problems.append("sbom: expected %s's creator with a URL or an e-mail address, found %s" % (key, creator))


def check_debian_copyright(problems, key, path, notes):
    """The table's licences against Debian's copyright file of the package
    that installed path, where that file is machine-readable."""
    known = release_facts.components()[key]
    package = release_facts.debian_package(path)["package"]
    copyright_path = "/usr/share/doc/%s/copyright" % package
    try:
        text = open(copyright_path, encoding="utf-8").read()
    except OSError as e:
        problems.append("sbom: expected Debian's copyright file %s, found none (%s)" % (copyright_path, e))
        return
    debian = release_facts.debian_copyright_licences(text, known["debian_sources"])
    if debian is None or not known["debian_sources"]:
        notes.append("%s: not compared, %s is not machine-readable" % (key, copyright_path))
        return
    given = " ".join(sorted(set(map(str, debian.values()))))
    table = " ".join(sorted(release_facts.licence_ids(known["licence"])))
    if given != table:
        problems.append("sbom: expected %s's licences in the notices' table to be %s, as %s gives them for %s, "
                        "found %s" % (key, given, copyright_path, ", ".join(known["debian_sources"]), table))
    notes.append("%s: %s as %s gives them" % (key, " ".join(sorted(set(map(str, debian.values())))),
                                              copyright_path))


def check(sbom_path, zip_path, map_path):
    bom = json.load(open(sbom_path, encoding="utf-8"))
    problems = []
    exe, stamp = check_launcher(problems, bom, zip_path)
    launcher = bom["metadata"]["component"]

    components = bom.get("components", [])
    try:
        linked = linked_files(open(map_path, encoding="utf-8", errors="replace").read())
    except ValueError:
        return ["sbom: expected a GNU ld map with archive members, found %s" % map_path]
    within = {f["name"]: c["bom-ref"] for c in components for f in nested(c.get("components", []))}
    by_component = {}
    for name, (path, _) in sorted(linked.items()):
        key = release_facts.component_of_file(name)
        if key is None:
            problems.append("sbom: expected %s, from which the link took code, in a component of the notices' "
                            "table, found none" % name)
            continue
        by_component.setdefault(key, {})[name] = path
        if name not in within:
            problems.append("sbom: expected %s, from which the link took code, as a component or within one, found "
                            "none" % name)
        elif within[name] != key:
            problems.append("sbom: expected %s within %s, as the notices' table files it, found it within %s"
                            % (name, key, within[name]))
    expect(problems, "the components, one for each that the link took code from,", sorted(by_component),
           sorted(c["bom-ref"] for c in components))
    notes, wrong_hashes, wrong_packages = [], [], []
    for component in components:
        key = component["bom-ref"]
        if key in by_component:
            check_component(problems, wrong_hashes, wrong_packages, component, key, by_component[key])
            check_debian_copyright(problems, key, next(iter(by_component[key].values())), notes)
    if wrong_packages:
        problems.append("sbom: expected each component's purl and version to be those of the Debian package that "
                        "installed its files, found others for %d: %s" % (len(wrong_packages),
                                                                          "; ".join(wrong_packages)))
    if wrong_hashes:
        problems.append("sbom: expected each linked file's hashes to be those of its bytes at the map's path, "
                        "found others for %d: %s" % (len(wrong_hashes), "; ".join(wrong_hashes)))

    dependencies = {d["ref"]: d.get("dependsOn") for d in bom.get("dependencies", [])}
    expect(problems, "the launcher to depend on", sorted(c["bom-ref"] for c in components),
           sorted(dependencies.get(launcher["bom-ref"]) or []))
    between = release_facts.component_dependencies(open(map_path, encoding="utf-8", errors="replace").read())
    for c in components:
        if dependencies.get(c["bom-ref"]) is None:
            problems.append("sbom: expected a dependencies entry for %s (an empty list for a leaf), found none"
                            % c["bom-ref"])
        else:
            expect(problems, "%s to depend on the components its linked code refers to," % c["bom-ref"],
                   sorted(between.get(c["bom-ref"], ())), sorted(dependencies[c["bom-ref"]]))
    complete = {ref for x in bom.get("compositions", []) if x.get("aggregate") == "complete"
                for ref in x.get("dependencies", [])}
    expect(problems, "a composition declaring complete the dependencies of",
           sorted([launcher["bom-ref"]] + [c["bom-ref"] for c in components]), sorted(complete))
    if not problems:
        print("sbom: the zip's exe (sha256 %s), its time %s, and %d components holding %s" % (
            hashlib.sha256(exe).hexdigest(), stamp, len(components), " ".join(sorted(linked))))
        print("sbom: licences of Debian's copyright files: " + "; ".join(notes))
    return problems


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    problems = check(*sys.argv[1:])
    for problem in problems:
        print(problem)
    sys.exit(1 if problems else 0)
