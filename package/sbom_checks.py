#!/usr/bin/env python3
"""The check of scripts/check-release on what the bill of materials states,
beyond its schema, licence expressions and purls (scripts/validators/
validate-sbom.js). Each fact is compared with its one source (release_facts.py):

sbom_checks.py SBOM ZIP MAP
    The launcher: its hashes, file fields and time those of ZIP's exe (its
    bytes, its PE header), its deployable form ZIP; its creator, supplier and
    their contact, its purl, CPE and sources those that the packer's
    environment gives (ORVEL_SBOM_*; Orvel alone without it). Each toolchain
    file that MAP shows linked: within the component that the notices' table
    files it under, with the hashes and file fields of its bytes at MAP's
    path. Each component: its version and purl those of the Debian package
    that dpkg says installed its files; its licence, creator and CPE the
    table's, and the table's licences those that Debian's copyright file
    gives where that file is machine-readable; its dependencies those of its
    files' symbols, all declared complete.
It prints one line naming each fact stated otherwise, and exits 1; before
that, documents that each state one fact otherwise must each be refused.
"""
import copy
import json
import os
import re
import struct
import sys
import time
import zipfile

import release_facts as facts

LAUNCHER = "OrvelLauncher"
FIELDS = ["bsi:component:filename", "bsi:component:executable", "bsi:component:archive", "bsi:component:structured"]
# Documents that each state one fact otherwise (c: the components by name),
# and the fact that the check must name.
SPOILED = [
    ("winpthreads under BSD-2-Clause", lambda d, c: c["winpthreads"]["licenses"][0].update(expression="BSD-2-Clause"),
     "winpthreads licence"),
    ("libgcc's upstream version in its purl",
     lambda d, c: c["libgcc"].update(purl=re.sub("@[^?]*", "@12.2.0", c["libgcc"]["purl"])), "libgcc purl"),
    ("a hash that is not libpthread.a's",
     lambda d, c: c["winpthreads"]["components"][0]["hashes"][0].update(content="0" * 128), "libpthread.a hashes"),
    ("libpthread.a within mingw-w64-crt",
     lambda d, c: c["mingw-w64-crt"]["components"].append(c["winpthreads"]["components"].pop()), "libpthread.a within"),
    ("no libmingwex.a", lambda d, c: c["mingw-w64-crt"].update(components=[
        f for f in c["mingw-w64-crt"]["components"] if f["name"] != "libmingwex.a"]), "libmingwex.a within"),
    ("libgcc without its dependencies",
     lambda d, c: d.update(dependencies=[x for x in d["dependencies"] if x["ref"] != "libgcc"]), "libgcc dependencies"),
    ("the launcher without its archive property", lambda d, c: d["metadata"]["component"]["properties"].pop(2),
     "OrvelLauncher file fields"),
]


def entity(found):
    """An organisation as (name, its first e-mail address or URL)."""
    return found and (found.get("name"), next(iter([c.get("email") for c in found.get("contact", [])] +
                                                   found.get("url", [])), None))


def stated(bom):
    """What the document states, by (component or file name, fact)."""
    meta = bom.get("metadata", {})
    found = {("document", "time"): meta.get("timestamp"), ("document", "creator"): entity(meta.get("manufacturer")),
             ("document", "complete"): sorted(ref for x in bom.get("compositions", []) if x.get("aggregate") ==
                                              "complete" for ref in x.get("dependencies", [])),
             ("document", "components"): sorted(c.get("name") for c in bom.get("components", []))}
    found.update(((d.get("ref"), "dependencies"), sorted(d.get("dependsOn", []))) for d in bom.get("dependencies", []))

    def add(c, within):
        name = c.get("name")
        references = lambda kind: [(r.get("url"), {h.get("alg"): h.get("content") for h in r.get("hashes", [])}
                                    .get("SHA-512")) for r in c.get("externalReferences", []) if r.get("type") == kind]
        found.update({(name, "within"): within, (name, "version"): c.get("version"), (name, "purl"): c.get("purl"),
                      (name, "cpe"): c.get("cpe"), (name, "creator"): entity(c.get("manufacturer")),
                      (name, "supplier"): entity(c.get("supplier")),
                      (name, "hashes"): {h.get("alg"): h.get("content") for h in c.get("hashes", [])},
                      (name, "file fields"): [[p.get("value") for p in c.get("properties", []) if p.get("name") == f]
                                              for f in FIELDS],
                      (name, "licence"): [(x.get("expression") or x.get("license", {}).get("id"), (x.get(
                          "license") or x).get("acknowledgement")) for x in c.get("licenses", [])],
                      (name, "distribution"): references("distribution"), (name, "sources"): references("vcs")})
        for inner in c.get("components", []):
            add(inner, name)
    add(meta.get("component", {}), None)
    for component in bom.get("components", []):
        add(component, None)
    return found


def file_facts(name, file_name, data, within):
    """The file fields as the bytes give them: all of it is machine code that
    runs in the exe; an ar archive keeps its members apart, an image or an
    object file does not."""
    archive = data.startswith(b"!<arch>\n")
    return {(name, "within"): within, (name, "hashes"): {h["alg"]: h["content"] for h in facts.hashes(data)},
            (name, "file fields"): [[file_name], ["executable"], ["archive" if archive else "no archive"],
                                    ["structured" if archive else "unstructured"]]}


def sources(zip_path, map_path, environ):
    """What the sources give, by the same keys; and problems with the table."""
    exe = zipfile.ZipFile(zip_path).read(LAUNCHER + ".exe")
    pe_header = struct.unpack_from("<I", exe, 0x3C)[0]
    studio = (environ.get("ORVEL_SBOM_SUPPLIER", "").strip() or "Orvel",
              environ.get("ORVEL_SBOM_CONTACT", "").strip() or None)
    variable = lambda name: environ.get("ORVEL_SBOM_" + name, "").strip() or None
    want = file_facts(LAUNCHER, LAUNCHER + ".exe", exe, None)
    want.update({("document", "time"): time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(struct.unpack_from(
                     "<I", exe, pe_header + 8)[0])), ("document", "creator"): studio,
                 (LAUNCHER, "creator"): studio, (LAUNCHER, "supplier"): studio,
                 (LAUNCHER, "purl"): variable("PURL"), (LAUNCHER, "cpe"): variable("CPE"),
                 (LAUNCHER, "sources"): [(variable("SOURCE_URL"), None)] if variable("SOURCE_URL") else [],
                 (LAUNCHER, "licence"): [("MIT", "declared"), ("MIT", "concluded")],
                 (LAUNCHER, "distribution"): [(os.path.basename(zip_path), facts.digest(facts.read(zip_path),
                                                                                         "SHA-512"))]})
    taken = facts.linked_files(map_path)
    packages, problems = {}, []
    for name, (path, _) in taken.items():
        key = facts.component_of_file(name)
        want.update(file_facts(name, name, facts.read(path), key or "a component of the notices' table"))
        packages.setdefault(key, {})[facts.purl(facts.debian_package(path))] = facts.debian_package(path)
    refers = facts.component_dependencies(taken)
    keys = [key for key in facts.components() if key in packages]
    want.update({("document", "components"): sorted(keys), ("document", "complete"): sorted([LAUNCHER] + keys),
                 (LAUNCHER, "dependencies"): sorted(keys)})
    for key in keys:
        known, (purl, package) = facts.components()[key], sorted(packages[key].items())[0]
        version = facts.upstream_version(package["version"])
        if len(packages[key]) > 1:
            purl = "one Debian package for its files, not " + " and ".join(sorted(packages[key]))
        want.update({(key, "version"): version, (key, "purl"): purl, (key, "dependencies"): sorted(refers.get(key, ())),
                     (key, "licence"): [(known["licence"], "concluded")],
                     (key, "creator"): (known["creator"], package["homepage"]),
                     (key, "cpe"): known.get("cpe", "").format(version=version) or None})
        debian = known["debian_sources"] and facts.debian_licences(package["package"], known["debian_sources"])
        table = set(re.findall(r"[\w.+-]+", re.sub(r"WITH [\w.+-]+", "", known["licence"]))) - {"AND", "OR"}
        if debian and set(debian.values()) != table:
            problems.append("sbom: expected %s's licences in the notices' table to be %s, as Debian's copyright file "
                            "of %s gives them for %s, found %s" % (key, " ".join(sorted(set(debian.values()))),
                                                                  package["package"], ", ".join(debian),
                                                                  " ".join(sorted(table))))
    return want, problems


def compare(want, bom):
    found = stated(bom)
    keys = sorted(want.keys() | {k for k in found if k[1] in ("within", "dependencies")}, key=str)
    shown = lambda value: re.sub(r"\b([0-9a-f]{8})[0-9a-f]{48,}\b", r"\1...", str(value))
    wrong = ["%s %s: expected %s, found %s" % (name, fact, shown(want.get(k)), shown(found.get(k)))
             for k in keys for name, fact in [k] if want.get(k) != found.get(k)]
    return ["sbom: expected each fact as its source gives it, found %d otherwise: %s" % (len(wrong), "; ".join(wrong))
            ] if wrong else []


def check(sbom_path, zip_path, map_path):
    bom = json.load(open(sbom_path, encoding="utf-8"))
    want, problems = sources(zip_path, map_path, os.environ)
    problems += compare(want, bom)
    if problems:
        return problems
    for what, spoil, said in SPOILED:
        spoiled = copy.deepcopy(bom)
        spoil(spoiled, {c["name"]: c for c in spoiled["components"]})
        refused = compare(want, spoiled)
        if not refused or "%s: expected" % said not in refused[0]:
            problems.append("sbom: expected the check to refuse a document with %s, naming %s, found %s" % (
                what, said, refused or "it passed"))
    print("sbom: %d facts as their sources give them, the zip's exe %s; %d spoiled documents refused" % (
        len(want), facts.digest(zipfile.ZipFile(zip_path).read(LAUNCHER + ".exe")), len(SPOILED)))
    return problems


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    try:
        problems = check(*sys.argv[1:])
    except (OSError, ValueError, KeyError, json.JSONDecodeError) as e:
        problems = ["sbom: %s" % e]
    if problems:
        sys.exit("; ".join(problems))
