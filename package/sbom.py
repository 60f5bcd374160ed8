"""The release's software bill of materials: a CycloneDX 1.6 JSON document.

It names the launcher (the exe exactly as the zip holds it), each toolchain
runtime that the link pulled code from, the tools that built it, and the
build's time. Every fact about the runtimes comes from release_facts.py's
sources, which the checks read too: the files from the link map, their
hashes from their bytes, their Debian packages from dpkg, their licences and
creators from the notices' table.

The document holds nothing that varies between packings: its time is the
build's SOURCE_DATE_EPOCH, its serial number is derived from the exe's hash,
and its keys come in a fixed order, so one exe gives the same bytes.

The fields that only the organisation that ships the exe can give come from
the packer's environment (see make_package.py): its name, its contact (an
e-mail address or a URL), its product's identifiers (a purl, a CPE) and the
URL of the sources it built from.
"""
import hashlib
import json
import os
import re
import time
import uuid

import release_facts
from link_map import linked_files

# The tools, by the toolchain file's line and the Debian package of each.
TOOLS = [
    ("compiler", "gcc", "g++-mingw-w64-x86-64-posix"),
    ("linker", "binutils", "binutils-mingw-w64-x86-64"),
]
LAUNCHER = "OrvelLauncher"

# Name-based serial numbers live under this namespace.
SERIAL_NAMESPACE = uuid.uuid5(uuid.NAMESPACE_URL, "urn:orvel:OrvelLauncher:sbom")


def file_properties(name, executable, archive, structured):
    """BSI TR-03183-2's file fields, by the BSI's CycloneDX property names."""
    return [{"name": "bsi:component:filename", "value": name},
            {"name": "bsi:component:executable", "value": "executable" if executable else "non-executable"},
            {"name": "bsi:component:archive", "value": "archive" if archive else "no archive"},
            {"name": "bsi:component:structured", "value": "structured" if structured else "unstructured"}]


def linked_file_properties(name):
    # Static libraries and objects hold machine code that runs in the exe. An
    # archive keeps each member's name and symbols, so what it is made of can
    # still be told apart; a single object cannot be taken apart further.
    is_archive = name.endswith(".a")
    return file_properties(name, True, is_archive, is_archive)


def organisation(studio):
    """The organisation that ships the exe, with its contact where it gave one."""
    entity = {"name": studio.get("name") or "Orvel"}
    contact = studio.get("contact")
    if contact and "@" in contact and "://" not in contact:
        entity["contact"] = [{"email": contact}]
    elif contact:
        entity["url"] = [contact]
    return entity


def debian_package_of_files(key, files):
    """The one Debian package that supplied all of a component's files."""
    packages = {release_facts.debian_package(path)["package"]: release_facts.debian_package(path)
                for _, (path, _) in files}
    if len(packages) != 1:
        raise ValueError("the files of %s come from %s, expected one Debian package" % (
            key, ", ".join(sorted(packages))))
    return next(iter(packages.values()))


def library_component(key, files, read):
    known = release_facts.components()[key]
    package = debian_package_of_files(key, files)
    version = release_facts.upstream_version(package["version"])
    component = {
        "type": "library",
        "bom-ref": key,
        "supplier": {"name": "Debian", "url": ["https://www.debian.org"]},
        "manufacturer": {"name": known["creator"], "url": [package["homepage"]]},
        "group": known["group"],
        "name": key,
        "version": version,
        "description": known["description"] + "; statically linked into the launcher",
        "scope": "required",
        "licenses": [{"expression": known["licence"], "acknowledgement": "concluded"}],
    }
    if "cpe" in known:
        component["cpe"] = known["cpe"].format(version=version)
    component["purl"] = release_facts.purl(package)
    component["externalReferences"] = [
        {"type": "distribution", "url": release_facts.deb_url(package),
         "comment": "Debian's package %s %s, which installed the files" % (package["package"], package["version"])},
        {"type": "source-distribution", "url": release_facts.source_url(package),
         "comment": "the sources of Debian's source package %s %s" % (package["source"], package["source_version"])},
    ]
    component["components"] = [{
        "type": "file",
        "bom-ref": "%s/%s" % (key, name),
        "name": name,
        "description": "%d member%s linked in" % (count, "" if count == 1 else "s")
                       if name.endswith(".a") else "linked in whole",
        "hashes": release_facts.file_hashes(read(path)),
        "properties": linked_file_properties(name),
    } for name, (path, count) in files]
    return component


def tool_component(role, name, package, packages, toolchain_lines, toolchain_path):
    if package not in packages:
        raise ValueError("%s names no Debian package %s" % (toolchain_path, package))
    said = next((line.split(":", 1)[1].strip() for line in toolchain_lines if line.startswith(role + ":")), None)
    if not said:
        raise ValueError("%s names no %s" % (toolchain_path, role))
    version, arch = packages[package]
    return {
        "type": "application",
        "group": "gnu",
        "name": name,
        "version": release_facts.upstream_version(version),
        "description": "%s: %s" % (role, said),
        "purl": release_facts.purl({"package": package, "version": version, "architecture": arch}),
    }


def debian_packages(toolchain_lines):
    """{package: (version, architecture)} from the toolchain file's
    "Debian package NAME VERSION ARCH" lines."""
    found = {}
    for line in toolchain_lines:
        m = re.fullmatch(r"Debian package (\S+) (\S+) (\S+)", line.strip())
        if m:
            found[m.group(1)] = (m.group(2), m.group(3))
    return found


def bill_of_materials(*, version, epoch, exe, exe_name, zip_name, zip_bytes, map_text, toolchain_lines,
                      toolchain_path, read, studio):
    """The document as a dict, its keys in the order they are written."""
    packages = debian_packages(toolchain_lines)
    by_component = {}
    for name, (path, count) in sorted(linked_files(map_text).items()):
        key = release_facts.component_of_file(name)
        if key is None:
            raise ValueError("the link takes code from %s, which no component in package/release_facts.py "
                             "holds" % name)
        by_component.setdefault(key, []).append((name, (path, count)))
    libraries = [library_component(key, by_component[key], read)
                 for key in release_facts.components() if key in by_component]
    keys = [c["bom-ref"] for c in libraries]
    creator = organisation(studio)
    launcher = {
        "type": "application",
        "bom-ref": LAUNCHER,
        "supplier": creator,
        "manufacturer": creator,
        "name": LAUNCHER,
        "version": version,
        "description": "Starts the game with Direct3D 11 or 12, chosen for the machine",
        "licenses": [{"license": {"id": "MIT", "acknowledgement": "declared"}},
                     {"license": {"id": "MIT", "acknowledgement": "concluded"}}],
    }
    if studio.get("cpe"):
        launcher["cpe"] = studio["cpe"]
    if studio.get("purl"):
        launcher["purl"] = studio["purl"]
    launcher["hashes"] = release_facts.file_hashes(exe)
    launcher["externalReferences"] = [
        {"type": "distribution", "url": zip_name, "hashes": release_facts.file_hashes(zip_bytes),
         "comment": "the release zip that holds the exe, beside this document"}]
    if studio.get("source"):
        launcher["externalReferences"].append({"type": "vcs", "url": studio["source"]})
    # The exe is linked statically: no archive, and what it is made of cannot
    # be taken apart from its bytes.
    launcher["properties"] = file_properties(exe_name, True, False, False)
    between = release_facts.component_dependencies(map_text)
    return {
        "$schema": "http://cyclonedx.org/schema/bom-1.6.schema.json",
        "bomFormat": "CycloneDX",
        "specVersion": "1.6",
        "serialNumber": "urn:uuid:%s" % uuid.uuid5(SERIAL_NAMESPACE, hashlib.sha256(exe).hexdigest()),
        "version": 1,
        "metadata": {
            "timestamp": time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(epoch)),
            "lifecycles": [{"phase": "build"}],
            "tools": {"components": [tool_component(role, name, package, packages, toolchain_lines,
                                                    toolchain_path) for role, name, package in TOOLS]},
            "manufacturer": creator,
            "component": launcher,
        },
        "components": libraries,
        "dependencies": [{"ref": LAUNCHER, "dependsOn": keys}] +
                        [{"ref": key, "dependsOn": sorted(between.get(key, ()))} for key in keys],
        # Complete: the map names every file the link took code from, and the
        # files' symbols every reference between the components.
        "compositions": [{"aggregate": "complete", "assemblies": [LAUNCHER] + keys, "dependencies": [LAUNCHER] + keys}],
    }


def studio_from_environment(environ=os.environ):
    """What the organisation that ships the exe says about itself."""
    return {field: environ.get(variable, "").strip() for field, variable in (
        ("name", "ORVEL_SBOM_SUPPLIER"), ("contact", "ORVEL_SBOM_CONTACT"), ("purl", "ORVEL_SBOM_PURL"),
        ("cpe", "ORVEL_SBOM_CPE"), ("source", "ORVEL_SBOM_SOURCE_URL"))}


def document_bytes(bom):
    return (json.dumps(bom, indent=2, ensure_ascii=True) + "\n").encode("ascii")
