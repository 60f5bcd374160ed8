"""The release's software bill of materials: a CycloneDX 1.6 JSON document.

It names the launcher (the exe exactly as the zip holds it), each toolchain
runtime that the link pulled code from, the tools that built it, and the
build's time. The runtimes come from the link map, the same one that the
third-party notices are checked against, so that the document follows the
link rather than a list kept by hand; the table below only says which
upstream component an archive belongs to. Versions and Debian packages come
from the toolchain file that CMake writes at configure time (dpkg's answer).

The document holds nothing that varies between packings: its time is the
build's SOURCE_DATE_EPOCH, its serial number is derived from the exe's hash,
and its keys come in a fixed order, so one exe gives the same bytes.
"""
import hashlib
import json
import os
import re
import time
import uuid

from link_map import linked_files

# Which upstream component each toolchain file belongs to. An archive that
# the link takes code from and that is missing here stops the packing.
COMPONENT_OF_FILE = {
    "libstdc++.a": "libstdc++",
    "libgcc.a": "libgcc",
    "libgcc_eh.a": "libgcc",
    "crtbegin.o": "libgcc",
    "crtend.o": "libgcc",
    "crt2.o": "mingw-w64-crt",
    "crt2u.o": "mingw-w64-crt",
    "libmingw32.a": "mingw-w64-crt",
    "libmingwex.a": "mingw-w64-crt",
    "libmsvcrt.a": "mingw-w64-crt",
    "libmoldname.a": "mingw-w64-crt",
    "libpthread.a": "winpthreads",
    "libwinpthread.a": "winpthreads",
}

# The licences are those that THIRD-PARTY-NOTICES.txt gives for each part.
# Terms with no SPDX identifier carry the name that Debian's copyright file
# gives them, as a LicenseRef.
COMPONENTS = {
    "libgcc": {
        "group": "gcc",
        "debian": "gcc-mingw-w64-x86-64-posix",
        "licence": "GPL-3.0-or-later WITH GCC-exception-3.1",
        "cpe": "cpe:2.3:a:gnu:gcc:{version}:*:*:*:*:*:*:*",
        "description": "GCC's low-level runtime (libgcc, libgcc_eh: stack probes, "
                       "unwinding, emulated TLS) and its start and end objects",
    },
    "libstdc++": {
        "group": "gcc",
        "debian": "g++-mingw-w64-x86-64-posix",
        "licence": "GPL-3.0-or-later WITH GCC-exception-3.1 AND GPL-2.0-or-later WITH GCC-exception-2.0 "
                   "AND LicenseRef-HP-SGI-STL",
        "cpe": "cpe:2.3:a:gnu:gcc:{version}:*:*:*:*:*:*:*",
        "description": "GCC's C++ standard library",
    },
    "mingw-w64-crt": {
        "group": "mingw-w64",
        "debian": "mingw-w64-x86-64-dev",
        "licence": "ZPL-2.1 AND LicenseRef-public-domain AND LicenseRef-Lucent AND LicenseRef-David-Gay "
                   "AND LicenseRef-Keith-Marshall",
        "description": "The mingw-w64 runtime: program start-up, libmingw32, libmingwex and "
                       "the code members of the msvcrt import library",
    },
    "winpthreads": {
        "group": "mingw-w64",
        "debian": "mingw-w64-x86-64-dev",
        "licence": "MIT AND BSD-3-Clause",
        "description": "POSIX threads for Windows, which libstdc++ uses",
    },
}

# The tools, by the toolchain file's line and the Debian package of each.
TOOLS = [
    ("compiler", "gcc", "g++-mingw-w64-x86-64-posix"),
    ("linker", "binutils", "binutils-mingw-w64-x86-64"),
]

# Name-based serial numbers live under this namespace.
SERIAL_NAMESPACE = uuid.uuid5(uuid.NAMESPACE_URL, "urn:orvel:OrvelLauncher:sbom")


def debian_packages(toolchain_lines):
    """{package: (version, architecture)} from the toolchain file's
    "Debian package NAME VERSION ARCH" lines."""
    found = {}
    for line in toolchain_lines:
        m = re.fullmatch(r"Debian package (\S+) (\S+) (\S+)", line.strip())
        if m:
            found[m.group(1)] = (m.group(2), m.group(3))
    return found


def upstream_version(debian_version):
    """12.2.0-14+deb12u1+25.2+b1 -> 12.2.0: Debian's version without its
    epoch and revision."""
    return debian_version.split(":", 1)[-1].rsplit("-", 1)[0]


def purl(package, version, arch):
    return "pkg:deb/debian/%s@%s?arch=%s" % (package, version.replace(":", "%3A"), arch)


def file_hashes(data):
    return [{"alg": "SHA-512", "content": hashlib.sha512(data).hexdigest()},
            {"alg": "SHA-256", "content": hashlib.sha256(data).hexdigest()}]


def file_name_property(name):
    # BSI TR-03183-2's name for a component's file name.
    return [{"name": "bsi:component:filename", "value": name}]


def package_of(packages, name, toolchain_path):
    if name not in packages:
        raise ValueError("%s names no Debian package %s" % (toolchain_path, name))
    return packages[name]


def library_component(key, files, packages, toolchain_path, read):
    known = COMPONENTS[key]
    version, arch = package_of(packages, known["debian"], toolchain_path)
    component = {
        "type": "library",
        "bom-ref": key,
        "supplier": {"name": "Debian", "url": ["https://www.debian.org"]},
        "group": known["group"],
        "name": key,
        "version": upstream_version(version),
        "description": known["description"] + "; statically linked into the launcher",
        "scope": "required",
        "licenses": [{"expression": known["licence"]}],
        "purl": purl(known["debian"], version, arch),
    }
    if "cpe" in known:
        component["cpe"] = known["cpe"].format(version=upstream_version(version))
    component["components"] = [{
        "type": "file",
        "bom-ref": "%s/%s" % (key, name),
        "name": name,
        "description": "%d member%s linked in" % (count, "" if count == 1 else "s")
                       if name.endswith(".a") else "linked in whole",
        "hashes": file_hashes(read(path)),
        "properties": file_name_property(name),
    } for name, (path, count) in files]
    return component


def tool_component(role, name, package, packages, toolchain_lines, toolchain_path):
    version, arch = package_of(packages, package, toolchain_path)
    said = next((line.split(":", 1)[1].strip() for line in toolchain_lines if line.startswith(role + ":")), None)
    if not said:
        raise ValueError("%s names no %s" % (toolchain_path, role))
    return {
        "type": "application",
        "group": "gnu",
        "name": name,
        "version": upstream_version(version),
        "description": "%s: %s" % (role, said),
        "purl": purl(package, version, arch),
    }


def bill_of_materials(*, version, epoch, exe, exe_name, map_text, toolchain_lines, toolchain_path, read):
    """The document as a dict, its keys in the order they are written."""
    packages = debian_packages(toolchain_lines)
    by_component = {}
    for name, (path, count) in sorted(linked_files(map_text).items()):
        key = COMPONENT_OF_FILE.get(name)
        if key is None:
            raise ValueError("the link takes code from %s, which no component in package/sbom.py holds" % name)
        by_component.setdefault(key, []).append((name, (path, count)))
    libraries = [library_component(key, by_component[key], packages, toolchain_path, read)
                 for key in COMPONENTS if key in by_component]
    launcher = {
        "type": "application",
        "bom-ref": "OrvelLauncher",
        "supplier": {"name": "Orvel"},
        "name": "OrvelLauncher",
        "version": version,
        "description": "Starts the game with Direct3D 11 or 12, chosen for the machine",
        "licenses": [{"license": {"id": "MIT"}}],
        "hashes": file_hashes(exe),
        "properties": file_name_property(exe_name),
    }
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
            "manufacturer": {"name": "Orvel"},
            "component": launcher,
        },
        "components": libraries,
        # Only the launcher's entry: an entry without dependsOn would claim
        # that a runtime depends on nothing, and libstdc++ does.
        "dependencies": [{"ref": "OrvelLauncher", "dependsOn": [c["bom-ref"] for c in libraries]}],
    }


def document_bytes(bom):
    return (json.dumps(bom, indent=2, ensure_ascii=True) + "\n").encode("ascii")
