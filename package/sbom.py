"""The release's software bill of materials: a CycloneDX 1.6 JSON document
naming the launcher (the exe exactly as the zip holds it), each toolchain
runtime that the link took code from, with its files, and the tools that
built it. Every fact about the runtimes comes from release_facts.py, which
the checks read too.

Nothing in it varies between packings: its time is the build's
SOURCE_DATE_EPOCH, its serial number derives from the exe's hash, its keys
come in a fixed order. What only the organisation that ships the exe knows
comes from the packer's environment: its name (ORVEL_SBOM_SUPPLIER), contact
(ORVEL_SBOM_CONTACT, an e-mail address or a URL), its product's purl and CPE
(ORVEL_SBOM_PURL, ORVEL_SBOM_CPE) and its sources (ORVEL_SBOM_SOURCE_URL).
"""
import json
import os
import re
import time
import uuid

import release_facts as facts

TOOLS = [("compiler", "gcc", "g++-mingw-w64-x86-64-posix"), ("linker", "binutils", "binutils-mingw-w64-x86-64")]
LAUNCHER = "OrvelLauncher"
SERIAL_NAMESPACE = uuid.uuid5(uuid.NAMESPACE_URL, "urn:orvel:OrvelLauncher:sbom")


def file_properties(name, executable, archive, structured):
    """BSI TR-03183-2's file fields, by the BSI's CycloneDX property names."""
    return [{"name": "bsi:component:filename", "value": name},
            {"name": "bsi:component:executable", "value": "executable" if executable else "non-executable"},
            {"name": "bsi:component:archive", "value": "archive" if archive else "no archive"},
            {"name": "bsi:component:structured", "value": "structured" if structured else "unstructured"}]


def organisation(environ):
    name, contact = environ.get("ORVEL_SBOM_SUPPLIER", "").strip(), environ.get("ORVEL_SBOM_CONTACT", "").strip()
    entity = {"name": name or "Orvel"}
    if contact:
        entity.update({"contact": [{"email": contact}]} if "@" in contact and "://" not in contact else
                      {"url": [contact]})
    return entity


def library(key, files):
    """A runtime component: its facts from the table, dpkg, and its files' bytes."""
    known = facts.components()[key]
    packages = {facts.debian_package(path)["package"]: facts.debian_package(path) for path, _ in files.values()}
    if len(packages) != 1:
        raise ValueError("expected the files of %s from one Debian package, found %s" % (key, ", ".join(packages)))
    package = next(iter(packages.values()))
    version = facts.upstream_version(package["version"])
    component = {"type": "library", "bom-ref": key, "supplier": {"name": "Debian", "url": ["https://www.debian.org"]},
                 "manufacturer": {"name": known["creator"], "url": [package["homepage"]]}, "group": known["group"],
                 "name": key, "version": version,
                 "description": known["description"] + "; statically linked into the launcher", "scope": "required",
                 "licenses": [{"expression": known["licence"], "acknowledgement": "concluded"}]}
    if "cpe" in known:
        component["cpe"] = known["cpe"].format(version=version)
    component["purl"] = facts.purl(package)
    component["externalReferences"] = [
        {"type": "distribution", "url": facts.deb_url(package),
         "comment": "Debian's package %s %s, which installed the files" % (package["package"], package["version"])},
        {"type": "source-distribution", "url": facts.source_url(package),
         "comment": "the sources of Debian's source package %s %s" % (package["source"], package["source_version"])}]
    # An archive holds machine code that runs in the exe, and keeps each
    # member's name and symbols: what it is made of can still be told apart.
    component["components"] = [{
        "type": "file", "bom-ref": "%s/%s" % (key, name), "name": name,
        "description": "%d member%s linked in" % (len(members), "" if len(members) == 1 else "s")
                       if name.endswith(".a") else "linked in whole",
        "hashes": facts.hashes(facts.read(path)),
        "properties": file_properties(name, True, name.endswith(".a"), name.endswith(".a")),
    } for name, (path, members) in sorted(files.items())]
    return component


def tool(role, name, package, toolchain):
    """A tool, by the toolchain file's "ROLE: ..." line and its "Debian package NAME VERSION ARCH" line."""
    said = re.search(r"^%s: *(.+)$" % role, toolchain, re.M)
    found = re.search(r"^Debian package %s (\S+) (\S+)$" % re.escape(package), toolchain, re.M)
    if not said or not found:
        raise ValueError("expected the toolchain file to name the %s and the Debian package %s" % (role, package))
    return {"type": "application", "group": "gnu", "name": name, "version": facts.upstream_version(found[1]),
            "description": "%s: %s" % (role, said[1].strip()),
            "purl": facts.purl({"package": package, "version": found[1], "architecture": found[2]})}


def document(*, version, epoch, exe, zip_name, zip_bytes, map_path, toolchain, environ=os.environ):
    """The document's bytes."""
    taken = facts.linked_files(map_path)
    by_component = {}
    for name, file in taken.items():
        key = facts.component_of_file(name)
        if key is None:
            raise ValueError("the link takes code from %s, which no component in package/release_facts.py holds"
                             % name)
        by_component.setdefault(key, {})[name] = file
    keys = [key for key in facts.components() if key in by_component]
    creator = organisation(environ)
    launcher = {"type": "application", "bom-ref": LAUNCHER, "supplier": creator, "manufacturer": creator,
                "name": LAUNCHER, "version": version,
                "description": "Starts the game with Direct3D 11 or 12, chosen for the machine",
                "licenses": [{"license": {"id": "MIT", "acknowledgement": "declared"}},
                             {"license": {"id": "MIT", "acknowledgement": "concluded"}}]}
    for field, variable in (("cpe", "ORVEL_SBOM_CPE"), ("purl", "ORVEL_SBOM_PURL")):
        if environ.get(variable, "").strip():
            launcher[field] = environ[variable].strip()
    launcher["hashes"] = facts.hashes(exe)
    launcher["externalReferences"] = [{"type": "distribution", "url": zip_name, "hashes": facts.hashes(zip_bytes),
                                       "comment": "the release zip that holds the exe, beside this document"}]
    if environ.get("ORVEL_SBOM_SOURCE_URL", "").strip():
        launcher["externalReferences"].append({"type": "vcs", "url": environ["ORVEL_SBOM_SOURCE_URL"].strip()})
    # Linked statically: no archive, and what it is made of cannot be taken apart.
    launcher["properties"] = file_properties(LAUNCHER + ".exe", True, False, False)
    between = facts.component_dependencies(taken)
    bom = {
        "$schema": "http://cyclonedx.org/schema/bom-1.6.schema.json", "bomFormat": "CycloneDX", "specVersion": "1.6",
        "serialNumber": "urn:uuid:%s" % uuid.uuid5(SERIAL_NAMESPACE, facts.digest(exe)), "version": 1,
        "metadata": {"timestamp": time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(epoch)),
                     "lifecycles": [{"phase": "build"}],
                     "tools": {"components": [tool(*t, toolchain) for t in TOOLS]},
                     "manufacturer": creator, "component": launcher},
        "components": [library(key, by_component[key]) for key in keys],
        "dependencies": [{"ref": LAUNCHER, "dependsOn": keys}] +
                        [{"ref": key, "dependsOn": sorted(between.get(key, ()))} for key in keys],
        # Complete: the map names every file the link took code from, and the
        # files' symbols every reference between the components.
        "compositions": [{"aggregate": "complete", "assemblies": [LAUNCHER] + keys,
                          "dependencies": [LAUNCHER] + keys}],
    }
    return (json.dumps(bom, indent=2, ensure_ascii=True) + "\n").encode("ascii")
