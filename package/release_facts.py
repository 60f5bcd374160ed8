"""The facts about the third-party code in the release exe, each from one
source, read alike by the packer (sbom.py) and by the checks (sbom_checks.py,
release_checks.py):
- which toolchain files the link took code from, and their paths: the link
  map (link_map.py); which of them refers to which: their symbols, as nm
  reads them from those files' bytes;
- a linked file's hashes: its bytes at that path;
- the Debian package that supplied a linked file, its version, architecture,
  source package and home page: dpkg, asked about that path;
- each component's files, licence and creator, and the licence texts that its
  section of THIRD-PARTY-NOTICES.txt must hold: NOTICE_SECTIONS below, which
  is held to Debian's copyright file wherever that file names the licences in
  Debian's machine-readable format.
"""
import fnmatch
import functools
import hashlib
import os
import re
import subprocess
import urllib.parse

from link_map import symbol_references

# One entry per numbered section of THIRD-PARTY-NOTICES.txt, in order:
# - components: the SBOM's components that the section covers, each with
#   - files: every toolchain file the link may take that component's code
#     from (an archive the link takes code from that no component holds stops
#     the packing);
#   - licence: its SPDX expression (terms with no SPDX identifier carry the
#     name that Debian's copyright file gives them, as a LicenseRef);
#   - creator and home page fallback: who made and maintains it upstream
#     (the URL is dpkg's Homepage of the package that supplied it);
#   - debian_sources: upstream source files of the members the link takes, by
#     which Debian's machine-readable copyright file gives the licences;
#     empty where that file is not machine-readable;
# - texts: each licence text or notice that the section must give, by the
#   SHA-256 of its words (an indented block of the section, its white space
#   folded to single blanks).
NOTICE_SECTIONS = [
    {
        "title": "GCC runtime libraries",
        "components": {
            "libstdc++": {
                "files": ["libstdc++.a"],
                "licence": "GPL-3.0-or-later WITH GCC-exception-3.1 AND GPL-2.0-or-later WITH GCC-exception-2.0 "
                           "AND LicenseRef-HP-SGI-STL",
                "group": "gcc",
                "creator": "GCC, the GNU Compiler Collection (Free Software Foundation)",
                "cpe": "cpe:2.3:a:gnu:gcc:{version}:*:*:*:*:*:*:*",
                "description": "GCC's C++ standard library",
                "debian_sources": [],
            },
            "libgcc": {
                "files": ["libgcc.a", "libgcc_eh.a", "crtbegin.o", "crtend.o"],
                "licence": "GPL-3.0-or-later WITH GCC-exception-3.1",
                "group": "gcc",
                "creator": "GCC, the GNU Compiler Collection (Free Software Foundation)",
                "cpe": "cpe:2.3:a:gnu:gcc:{version}:*:*:*:*:*:*:*",
                "description": "GCC's low-level runtime (libgcc, libgcc_eh: stack probes, unwinding, "
                               "emulated TLS) and its start and end objects",
                "debian_sources": [],
            },
        },
        "texts": {
            "GCC's copyright statement":
                "82b80dee6635625631e0d5627ba16241f66315c64f6eeac06387488ba00468f5",
            "the libstdc++ notice":
                "cb68bf28b134df10e4033455369e565f1f8fcc24c312abfdad595056759e1b4b",
            "the GCC Runtime Library Exception 3.1":
                "5303f8f10d5f395d1e6ac85700b75b802078b1a2b59bdfa9b80fa5257c904056",
            "the SGI and HP STL notices":
                "ba627d571e84b722decd37dfa8404ec43448c1b5dfef6bbea387288e51b77b1f",
            "the demangler's permission":
                "71595b06f0a118f79b2969903e0bf65077d31b50ba2a4743d4c19823e83fe7db",
        },
    },
    {
        "title": "mingw-w64 runtime",
        "components": {
            "mingw-w64-crt": {
                "files": ["crt2.o", "crt2u.o", "libmingw32.a", "libmingwex.a", "libmsvcrt.a", "libmoldname.a"],
                "licence": "ZPL-2.1 AND LicenseRef-public-domain AND LicenseRef-Lucent AND LicenseRef-David-Gay "
                           "AND LicenseRef-Keith-Marshall",
                "group": "mingw-w64",
                "creator": "the mingw-w64 project",
                "description": "The mingw-w64 runtime: program start-up, libmingw32, libmingwex and the code "
                               "members of the msvcrt import library",
                "debian_sources": [
                    "mingw-w64-crt/crt/crtexe.c",
                    "mingw-w64-crt/stdio/acrt_iob_func.c",
                    "mingw-w64-crt/gdtoa/gdtoa.c",
                    "mingw-w64-crt/gdtoa/strtodnrp.c",
                    "mingw-w64-crt/stdio/mingw_vsnprintf.c",
                ],
            },
        },
        "texts": {
            "the Zope Public License 2.1":
                "b8a893b43a3610308b974a6a83e35e1c0a616ada16e815412fe8a08c45d866d0",
            "the public-domain statement":
                "3fd355a0906f3ce15785ebdba6f3bf56cbbd15f56e3d4dc64237ddd3e54626ef",
            "the Lucent Technologies notice":
                "ca70287b4d01ce2ea833704318c9799617a5baebd0e2661212f143257170a77e",
            "the David M. Gay notice":
                "c8f0a38e39a28f8bcfb23277a040d5dabe96f5242bcf9de7671f50eac1592b11",
            "the Keith Marshall notice":
                "77f3d7ad900c6f961d92fe4d8fc85cf7220b65152bfabb7bea24a5e17e10f4ab",
        },
    },
    {
        "title": "winpthreads",
        "components": {
            "winpthreads": {
                "files": ["libpthread.a", "libwinpthread.a"],
                "licence": "MIT AND BSD-3-Clause",
                "group": "mingw-w64",
                "creator": "the mingw-w64 project",
                "description": "POSIX threads for Windows, which libstdc++ uses",
                "debian_sources": [
                    "mingw-w64-libraries/winpthreads/src/thread.c",
                    "mingw-w64-libraries/winpthreads/include/pthread.h",
                ],
            },
        },
        "texts": {
            "the MIT licence":
                "a83176f769cc169874c59d9713eb15200a93af356489112f1b82b1e5470c3470",
            "the Lockless Inc. licence":
                "8538a13648d9476f8022eb3be549f87ff55733bc2859109bffa15e9e41885980",
        },
    },
]

# The licence names of Debian's machine-readable copyright files, as SPDX
# identifiers or this project's LicenseRefs.
DEBIAN_LICENCES = {
    "ZPL-2.1": "ZPL-2.1",
    "public-domain": "LicenseRef-public-domain",
    "Lucent": "LicenseRef-Lucent",
    "David-Gay": "LicenseRef-David-Gay",
    "Keith-Marshall": "LicenseRef-Keith-Marshall",
    "expat": "MIT",
    "BSD-3-clause-Lockless": "BSD-3-Clause",
}
MACHINE_READABLE = "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"


def components():
    """{component: its entry, with the title of its section}."""
    found = {}
    for section in NOTICE_SECTIONS:
        for key, entry in section["components"].items():
            found[key] = dict(entry, section=section["title"])
    return found


def component_of_file(name):
    return next((key for key, entry in components().items() if name in entry["files"]), None)


def component_dependencies(map_text):
    """{component: the other components whose code its linked code refers to}."""
    found = {}
    for referring, defining in symbol_references(map_text):
        source, target = component_of_file(referring), component_of_file(defining)
        if source and target and source != target:
            found.setdefault(source, set()).add(target)
    return found


def licence_ids(expression):
    """The licence and exception identifiers of an SPDX expression, WITH's
    exceptions left out."""
    words = re.findall(r"[\w.+-]+", expression)
    return {w for i, w in enumerate(words)
            if w not in ("AND", "OR", "WITH") and (i == 0 or words[i - 1] != "WITH")}


# --- the files' bytes ---------------------------------------------------------


def file_hashes(data):
    return [{"alg": "SHA-512", "content": hashlib.sha512(data).hexdigest()},
            {"alg": "SHA-256", "content": hashlib.sha256(data).hexdigest()}]


def read(path):
    with open(path, "rb") as f:
        return f.read()


# --- dpkg ---------------------------------------------------------------------


def dpkg(*args):
    return subprocess.run(["dpkg-query", *args], check=True, capture_output=True, text=True).stdout


@functools.lru_cache(maxsize=None)
def debian_package(path):
    """{package, version, architecture, source, source_version, homepage} of
    the Debian package that installed the file at path (dpkg -S), as dpkg
    gives them."""
    owners = None
    for candidate in dict.fromkeys([os.path.normpath(path), os.path.realpath(path)]):
        try:
            answer = dpkg("-S", candidate)
        except (OSError, subprocess.CalledProcessError):
            continue
        for line in answer.splitlines():
            names, _, owned = line.rpartition(": ")
            if owned == candidate and not names.startswith("diversion "):
                owners = [n.strip() for n in names.split(",")]
        if owners:
            break
    if not owners or len(owners) != 1:
        raise ValueError("expected one Debian package to own %s, found %s" % (path, owners or "none"))
    fields = ["Package", "Version", "Architecture", "source:Package", "source:Version", "Homepage"]
    values = dpkg("-W", "-f=" + "\t".join("${%s}" % f for f in fields), owners[0]).split("\t")
    return dict(zip(["package", "version", "architecture", "source", "source_version", "homepage"], values))


def purl(package):
    """The package's purl in the canonical form: packageurl-js's (the name
    percent-encoded as encodeURIComponent does, '+' and ':' kept in the
    version)."""
    safe = "-_.!~*'()"
    return "pkg:deb/debian/%s@%s?arch=%s" % (urllib.parse.quote(package["package"], safe=safe),
                                             urllib.parse.quote(package["version"], safe=safe + ":+"),
                                             urllib.parse.quote(package["architecture"], safe=safe))


def upstream_version(debian_version):
    """12.2.0-14+deb12u1+25.2+b1 -> 12.2.0: Debian's version without its
    epoch and revision."""
    return debian_version.split(":", 1)[-1].rsplit("-", 1)[0]


def deb_url(package):
    """Where Debian's archive keeps the package's .deb: its pool, by source."""
    source = package["source"]
    prefix = source[:4] if source.startswith("lib") else source[0]
    return "https://deb.debian.org/debian/pool/main/%s/%s/%s_%s_%s.deb" % (
        prefix, source, package["package"], package["version"].split(":", 1)[-1], package["architecture"])


def source_url(package):
    """The source code of the exact source package version that built it."""
    return "https://sources.debian.org/src/%s/%s/" % (package["source"], package["source_version"])


# --- Debian's copyright file --------------------------------------------------


def debian_copyright_licences(copyright_text, sources):
    """{source file: SPDX identifier of the licence of the last paragraph
    whose Files patterns match it}, from a machine-readable copyright file;
    None when the file is not machine-readable."""
    if not copyright_text.startswith(MACHINE_READABLE):
        return None
    paragraphs = []
    for paragraph in re.split(r"\n\s*\n", copyright_text):
        files = re.search(r"^Files:(.*(?:\n[ \t].*)*)", paragraph, re.M)
        licence = re.search(r"^License: *(\S+)", paragraph, re.M)
        if files and licence:
            paragraphs.append((files.group(1).split(), licence.group(1)))
    found = {}
    for source in sources:
        names = [lic for patterns, lic in paragraphs if any(fnmatch.fnmatchcase(source, p) for p in patterns)]
        found[source] = DEBIAN_LICENCES.get(names[-1], "Debian's " + names[-1]) if names else None
    return found


# --- THIRD-PARTY-NOTICES.txt ----------------------------------------------------


def text_checksum(lines):
    return hashlib.sha256(" ".join(" ".join(lines).split()).encode("utf-8")).hexdigest()


def indented_texts(body):
    """The indented blocks of a section's lines (blank lines within a block
    belong to it), each as its list of lines."""
    blocks, current = [], []
    for line in body + [""]:
        if line.startswith(" ") or (not line.strip() and current):
            current.append(line)
            continue
        while current and not current[-1].strip():
            current.pop()
        if current:
            blocks.append(current)
        current = []
    return blocks
