"""The facts about the third-party code in the release exe, each from one
source, read alike by the packer (sbom.py) and the checks:
- which toolchain files the link took code from, and where: the link map;
  which refers to which: their symbols, as nm reads them from their bytes;
- a file's hashes: its bytes;
- the Debian package that installed a file, its version, architecture, source
  package and home page: dpkg, asked about that path;
- each component's files, licence and creator, and the licence texts its
  section of THIRD-PARTY-NOTICES.txt holds: NOTICE_SECTIONS, held to Debian's
  copyright file wherever that file is machine-readable.
"""
import functools
import hashlib
import os
import re
import subprocess
import urllib.parse

GCC = {"group": "gcc", "creator": "GCC, the GNU Compiler Collection (Free Software Foundation)",
       "cpe": "cpe:2.3:a:gnu:gcc:{version}:*:*:*:*:*:*:*", "debian_sources": []}
MINGW = {"group": "mingw-w64", "creator": "the mingw-w64 project"}
# One entry per numbered section of THIRD-PARTY-NOTICES.txt, in order. Each
# component has: every toolchain file the link may take its code from; its
# licence, an SPDX expression (terms without an SPDX identifier are
# LicenseRefs named as Debian's copyright file names them); its upstream
# creator; the upstream sources of the members the link takes, by which
# Debian's copyright file gives their licences (none where that file is not
# machine-readable). Each text the section must give is known by the SHA-256
# of its words (an indented block, its white space folded to single blanks).
NOTICE_SECTIONS = [
    {"title": "GCC runtime libraries", "components": {
        "libstdc++": dict(GCC, files=["libstdc++.a"], description="GCC's C++ standard library",
                          licence="GPL-3.0-or-later WITH GCC-exception-3.1 AND GPL-2.0-or-later WITH "
                                  "GCC-exception-2.0 AND LicenseRef-HP-SGI-STL"),
        "libgcc": dict(GCC, files=["libgcc.a", "libgcc_eh.a", "crtbegin.o", "crtend.o"],
                       licence="GPL-3.0-or-later WITH GCC-exception-3.1",
                       description="GCC's low-level runtime (libgcc, libgcc_eh: stack probes, unwinding, "
                                   "emulated TLS) and its start and end objects")},
     "texts": {
        "GCC's copyright statement": "82b80dee6635625631e0d5627ba16241f66315c64f6eeac06387488ba00468f5",
        "the libstdc++ notice": "cb68bf28b134df10e4033455369e565f1f8fcc24c312abfdad595056759e1b4b",
        "the GCC Runtime Library Exception 3.1": "5303f8f10d5f395d1e6ac85700b75b802078b1a2b59bdfa9b80fa5257c904056",
        "the SGI and HP STL notices": "ba627d571e84b722decd37dfa8404ec43448c1b5dfef6bbea387288e51b77b1f",
        "the demangler's permission": "71595b06f0a118f79b2969903e0bf65077d31b50ba2a4743d4c19823e83fe7db"}},
    {"title": "mingw-w64 runtime", "components": {
        "mingw-w64-crt": dict(MINGW, files=["crt2.o", "crt2u.o", "libmingw32.a", "libmingwex.a", "libmsvcrt.a",
                                            "libmoldname.a"],
                              licence="ZPL-2.1 AND LicenseRef-public-domain AND LicenseRef-Lucent AND "
                                      "LicenseRef-David-Gay AND LicenseRef-Keith-Marshall",
                              description="The mingw-w64 runtime: program start-up, libmingw32, libmingwex and "
                                          "the code members of the msvcrt import library",
                              debian_sources=["mingw-w64-crt/crt/crtexe.c", "mingw-w64-crt/stdio/acrt_iob_func.c",
                                              "mingw-w64-crt/gdtoa/gdtoa.c", "mingw-w64-crt/gdtoa/strtodnrp.c",
                                              "mingw-w64-crt/stdio/mingw_vsnprintf.c"])},
     "texts": {
        "the Zope Public License 2.1": "b8a893b43a3610308b974a6a83e35e1c0a616ada16e815412fe8a08c45d866d0",
        "the public-domain statement": "3fd355a0906f3ce15785ebdba6f3bf56cbbd15f56e3d4dc64237ddd3e54626ef",
        "the Lucent Technologies notice": "ca70287b4d01ce2ea833704318c9799617a5baebd0e2661212f143257170a77e",
        "the David M. Gay notice": "c8f0a38e39a28f8bcfb23277a040d5dabe96f5242bcf9de7671f50eac1592b11",
        "the Keith Marshall notice": "77f3d7ad900c6f961d92fe4d8fc85cf7220b65152bfabb7bea24a5e17e10f4ab"}},
    {"title": "winpthreads", "components": {
        "winpthreads": dict(MINGW, files=["libpthread.a", "libwinpthread.a"], licence="MIT AND BSD-3-Clause",
                            description="POSIX threads for Windows, which libstdc++ uses",
                            debian_sources=["mingw-w64-libraries/winpthreads/src/thread.c",
                                            "mingw-w64-libraries/winpthreads/include/pthread.h"])},
     "texts": {
        "the MIT licence": "a83176f769cc169874c59d9713eb15200a93af356489112f1b82b1e5470c3470",
        "the Lockless Inc. licence": "8538a13648d9476f8022eb3be549f87ff55733bc2859109bffa15e9e41885980"}},
]
# The licence names of Debian's machine-readable copyright files, as SPDX
# identifiers or this project's LicenseRefs.
DEBIAN_LICENCES = {"ZPL-2.1": "ZPL-2.1", "public-domain": "LicenseRef-public-domain", "Lucent": "LicenseRef-Lucent",
                   "David-Gay": "LicenseRef-David-Gay", "Keith-Marshall": "LicenseRef-Keith-Marshall",
                   "expat": "MIT", "BSD-3-clause-Lockless": "BSD-3-Clause"}


def components():
    """{component: its entry, with its section's title}."""
    return {key: dict(entry, section=s["title"]) for s in NOTICE_SECTIONS for key, entry in s["components"].items()}


def component_of_file(name):
    return next((key for key, entry in components().items() if name in entry["files"]), None)


def digest(data, alg="SHA-256"):
    return hashlib.new(alg.replace("-", "").lower(), data).hexdigest()


def hashes(data):
    """The hashes the bill of materials gives for a file's bytes."""
    return [{"alg": alg, "content": digest(data, alg)} for alg in ("SHA-512", "SHA-256")]


def read(path):
    with open(path, "rb") as f:
        return f.read()


# --- the link map and the files' symbols ----------------------------------------
# Taken: each archive with a member "included to satisfy reference by file",
# and each .o file on a LOAD line (the project's own objects end in .obj).
# Left out: the project's archives, and import libraries: an archive whose
# every taken member is a dlltool stub (lib<name>s<digits>.o, and the
# lib<name>h.o and lib<name>t.o that stubs pull) refers to a Windows DLL and
# brings no third-party code. Decided per link, not by a list of names:
# libmsvcrt.a needs a notice, as code members (rand_s, mbrtowc...) come from
# it besides its stubs.
OWN_ARCHIVES = {"liborvel_logic.a", "liborvel_platform.a"}
STUB = re.compile(r"^lib\w+?(h|t|s\d+)\.o$")


def linked_files(map_path):
    """{file name: (path, {member})} of each toolchain archive or object file
    that the GNU ld map shows contributing code (an object file's one member
    is itself)."""
    head, sep, rest = read(map_path).decode("utf-8", "replace").partition("\nDiscarded input sections")
    if not head.startswith("Archive member included") or not sep:
        raise ValueError("expected a GNU ld map with archive members, found %s" % map_path)
    taken = {}
    for path, member in re.findall(r"^(\S+\.a)\(([^()]+)\)", head, re.M) + \
            [(p, os.path.basename(p)) for p in re.findall(r"^LOAD (\S+\.o)$", rest, re.M)]:
        taken.setdefault(os.path.basename(path), (os.path.normpath(path), set()))[1].add(member)
    return {name: (path, members) for name, (path, members) in taken.items() if name not in OWN_ARCHIVES and not (
        all(STUB.match(m) for m in members) and any(STUB.match(m)[1][0] == "s" for m in members))}


def component_dependencies(taken):
    """{component: the other components that define a symbol that its taken
    members leave undefined}, by the files' symbols (nm); symbols that no
    taken member defines (the Windows DLLs', the linker's own) lead nowhere."""
    defined, undefined = {}, []
    for name, (path, members) in taken.items():
        listing = subprocess.run(["x86_64-w64-mingw32-nm", "-A", "-g", path], check=True, capture_output=True,
                                 text=True).stdout
        for line in listing.splitlines():
            where, _, symbol = line[len(path) + 1:].rpartition(" ")
            kind = where.rsplit(" ", 1)[-1]
            if (name if name.endswith(".o") else where.split(":", 1)[0]) not in members:
                continue
            if kind == "U":
                undefined.append((component_of_file(name), symbol))
            elif kind not in ("w", "v"):
                defined.setdefault(symbol, set()).add(component_of_file(name))
    found = {}
    for key, symbol in undefined:
        found.setdefault(key, set()).update(defined.get(symbol, set()) - {key, None})
    return {key: others for key, others in found.items() if key and others}


# --- dpkg -------------------------------------------------------------------------


def dpkg(*args):
    return subprocess.run(["dpkg-query", *args], check=True, capture_output=True, text=True).stdout


@functools.lru_cache(maxsize=None)
def debian_package(path):
    """{package, version, architecture, source, source_version, homepage} of
    the one Debian package that installed the file at path, as dpkg gives them."""
    owners = []
    for candidate in dict.fromkeys([os.path.normpath(path), os.path.realpath(path)]):
        try:
            answer = dpkg("-S", candidate)
        except (OSError, subprocess.CalledProcessError):
            continue
        owners = [n.strip() for line in answer.splitlines() for names, _, owned in [line.rpartition(": ")]
                  if owned == candidate and not names.startswith("diversion ") for n in names.split(",")]
        if owners:
            break
    if len(owners) != 1:
        raise ValueError("expected one Debian package to own %s, found %s" % (path, owners or "none"))
    fields = ["Package", "Version", "Architecture", "source:Package", "source:Version", "Homepage"]
    values = dpkg("-W", "-f=" + "\t".join("${%s}" % f for f in fields), owners[0]).split("\t")
    return dict(zip(["package", "version", "architecture", "source", "source_version", "homepage"], values))


def purl(package):
    """The package's purl in packageurl-js's canonical form (the name encoded
    as encodeURIComponent does, '+' and ':' kept in the version)."""
    safe = "-_.!~*'()"
    return "pkg:deb/debian/%s@%s?arch=%s" % tuple(urllib.parse.quote(package[k], safe=safe + extra) for k, extra in (
        ("package", ""), ("version", ":+"), ("architecture", "")))


def upstream_version(debian_version):
    """12.2.0-14+deb12u1+25.2+b1 -> 12.2.0: without epoch and revision."""
    return debian_version.split(":", 1)[-1].rsplit("-", 1)[0]


def deb_url(package):
    """Where Debian's archive keeps the package's .deb: its pool, by source."""
    source = package["source"]
    return "https://deb.debian.org/debian/pool/main/%s/%s/%s_%s_%s.deb" % (
        source[:4] if source.startswith("lib") else source[0], source, package["package"],
        package["version"].split(":", 1)[-1], package["architecture"])


def source_url(package):
    return "https://sources.debian.org/src/%s/%s/" % (package["source"], package["source_version"])


def debian_licences(package, sources):
    """{source file: its licence as an SPDX identifier or LicenseRef}, as
    Debian's machine-readable copyright file of the package gives it; None
    where that file is not machine-readable."""
    from debian.copyright import Copyright, NotMachineReadableError  # Debian's python3-debian
    try:
        with open("/usr/share/doc/%s/copyright" % package, encoding="utf-8") as f:
            found = Copyright(f)
    except NotMachineReadableError:
        return None
    synopses = {s: getattr(getattr(found.find_files_paragraph(s), "license", None), "synopsis", None) for s in sources}
    return {s: DEBIAN_LICENCES.get(name, "Debian's %s" % name) for s, name in synopses.items()}


# --- THIRD-PARTY-NOTICES.txt ----------------------------------------------------------
FILE_NAME = r"[\w.+-]+\.(?:a|o)"
ENTRY = re.compile(r"^ +(%s(?:, %s)*) {2,}\S" % (FILE_NAME, FILE_NAME))


def words_checksum(lines):
    return digest(" ".join(" ".join(lines).split()).encode("utf-8"))


def notice_sections(text):
    """Each numbered section (its title between two rules of '='), as
    (title, the files its "Linked from:" line names before any parenthesis,
    the files its member list names, the words checksums of its indented
    blocks). The member list runs from "Members pulled in" to the first
    unindented line after a blank one; an entry there is file names, then a
    gap of two blanks or more. Blank lines within an indented block belong to it."""
    lines = text.splitlines()
    rule = lambda i: re.fullmatch(r"=+", lines[i])
    starts = [i + 1 for i in range(len(lines) - 2) if rule(i) and rule(i + 2) and re.match(r"\d+\. ", lines[i + 1])]
    sections = []
    for start, end in zip(starts, [s - 1 for s in starts[1:]] + [len(lines)]):
        body = lines[start + 2:end]
        linked = [f for line in body if line.startswith("Linked from:")
                  for f in re.findall(FILE_NAME, line.partition(":")[2].partition("(")[0])]
        members = next((i for i, line in enumerate(body) if line.startswith("Members pulled in")), len(body))
        entries = []
        for previous, line in zip(body[members:], body[members + 1:]):
            if not previous and line and not line.startswith(" "):
                break
            entries += ENTRY.match(line)[1].split(", ") if ENTRY.match(line) else []
        texts, block = set(), []
        for line in body + ["end"]:
            if line.startswith(" ") or (block and not line.strip()):
                block.append(line)
            elif block:
                texts.add(words_checksum(block))
                block = []
        sections.append((lines[start], linked, entries, texts))
    return sections
