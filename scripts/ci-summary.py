#!/usr/bin/env python3
"""What the CI workflow writes into a job's summary ($GITHUB_STEP_SUMMARY, or
standard output outside a workflow run).

ci-summary.py failed-tests PATH...
    The names of the failed tests in the GoogleTest XML and CTest JUnit files
    at PATH (files, or folders searched for *.xml). Exits 0: the test steps
    themselves fail the job.
ci-summary.py compare-exes FIRST SECOND
    Whether two builds gave the same exe and, if not, the PE header fields,
    sections and debug entries that differ. Exits 1 when they differ.
"""
import glob
import hashlib
import os
import struct
import sys
import xml.etree.ElementTree as ElementTree


def write_summary(lines):
    text = "\n".join(lines) + "\n"
    path = os.environ.get("GITHUB_STEP_SUMMARY")
    if path:
        with open(path, "a", encoding="utf-8") as summary:
            summary.write(text)
    sys.stdout.write(text)


# --- failed-tests --------------------------------------------------------------
# GoogleTest and CTest both write <testcase> elements; a failed one holds a
# <failure> or <error> element, and CTest also marks it status="fail".
def result_files(paths):
    for path in paths:
        if os.path.isdir(path):
            yield from sorted(glob.glob(os.path.join(path, "**", "*.xml"), recursive=True))
        elif os.path.isfile(path):
            yield path


def failed_tests(paths):
    lines, failed, counted, unread = [], [], 0, []
    files = list(result_files(paths))
    for path in files:
        try:
            root = ElementTree.parse(path).getroot()
        except ElementTree.ParseError as error:
            unread.append("%s (%s)" % (path, error))
            continue
        for case in root.iter("testcase"):
            counted += 1
            if case.find("failure") is not None or case.find("error") is not None or case.get("status") == "fail":
                name, group = case.get("name", "?"), case.get("classname", "")
                failed.append("%s: %s" % (os.path.basename(path), "%s.%s" % (group, name) if group and group != name
                                          else name))
    if not files:
        lines.append("### Tests: no result file found in %s" % ", ".join(paths))
    elif failed:
        lines.append("### Failed tests: %d of %d" % (len(failed), counted))
        lines += ["- `%s`" % name for name in failed]
    else:
        lines.append("### Tests: none of %d failed (%s)" % (counted, ", ".join(os.path.basename(f) for f in files)))
    lines += ["- unreadable: %s" % u for u in unread]
    write_summary(lines)
    return 0


# --- compare-exes --------------------------------------------------------------
COFF = ("Machine", "NumberOfSections", "TimeDateStamp", "PointerToSymbolTable", "NumberOfSymbols",
        "SizeOfOptionalHeader", "Characteristics")
OPTIONAL_64 = ("Magic", "MajorLinkerVersion", "MinorLinkerVersion", "SizeOfCode", "SizeOfInitializedData",
               "SizeOfUninitializedData", "AddressOfEntryPoint", "BaseOfCode", "ImageBase", "SectionAlignment",
               "FileAlignment", "MajorOperatingSystemVersion", "MinorOperatingSystemVersion",
               "MajorImageVersion", "MinorImageVersion", "MajorSubsystemVersion", "MinorSubsystemVersion",
               "Win32VersionValue", "SizeOfImage", "SizeOfHeaders", "CheckSum", "Subsystem",
               "DllCharacteristics", "SizeOfStackReserve", "SizeOfStackCommit", "SizeOfHeapReserve",
               "SizeOfHeapCommit", "LoaderFlags", "NumberOfRvaAndSizes")
OPTIONAL_64_FORMAT = "<HBBIIIIIQIIHHHHHHIIIIHHQQQQII"
DEBUG_TYPES = {2: "CodeView", 13: "PogoInfo", 16: "Repro", 20: "ExDllCharacteristics"}


def pe_fields(data):
    """The fields of a PE32+ image by name, in file order."""
    fields = {}
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE signature")
    coff = struct.unpack_from("<HHIIIHH", data, pe + 4)
    fields.update(("COFF " + n, v) for n, v in zip(COFF, coff))
    optional = pe + 24
    if struct.unpack_from("<H", data, optional)[0] != 0x20B:
        raise ValueError("not a PE32+ image")
    values = struct.unpack_from(OPTIONAL_64_FORMAT, data, optional)
    fields.update(("optional " + n, v) for n, v in zip(OPTIONAL_64, values))
    directories = optional + struct.calcsize(OPTIONAL_64_FORMAT)
    count = fields["optional NumberOfRvaAndSizes"]
    dirs = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(count)]
    for i, (rva, size) in enumerate(dirs):
        fields["data directory %d" % i] = "RVA 0x%x, size %d" % (rva, size)
    sections = []
    table = optional + coff[5]
    for i in range(coff[1]):
        name, vsize, vaddr, rawsize, rawptr = struct.unpack_from("<8sIIII", data, table + 40 * i)
        name = name.rstrip(b"\0").decode("ascii", "replace")
        sections.append((vaddr, vsize, rawptr, rawsize))
        fields["section %s" % name] = "virtual 0x%x+%d, raw %d bytes, sha256 %s" % (
            vaddr, vsize, rawsize, hashlib.sha256(data[rawptr:rawptr + rawsize]).hexdigest()[:16])

    def offset(rva):
        for vaddr, vsize, rawptr, rawsize in sections:
            if vaddr <= rva < vaddr + max(vsize, rawsize):
                return rawptr + rva - vaddr
        return None

    if len(dirs) > 6 and dirs[6][1]:
        start = offset(dirs[6][0])
        for i in range(dirs[6][1] // 28 if start is not None else 0):
            _, stamp, _, _, kind, size, _, pointer = struct.unpack_from("<IIHHIIII", data, start + 28 * i)
            entry = "debug %s" % DEBUG_TYPES.get(kind, "type %d" % kind)
            fields[entry + " TimeDateStamp"] = stamp
            blob = data[pointer:pointer + size]
            if kind == 2 and blob[:4] == b"RSDS":
                fields[entry + " GUID"] = blob[4:20].hex()
                fields[entry + " age"] = struct.unpack_from("<I", blob, 20)[0]
                fields[entry + " path"] = blob[24:].split(b"\0")[0].decode("utf-8", "replace") or "(none)"
            else:
                fields[entry + " data"] = hashlib.sha256(blob).hexdigest()[:16]
    return fields


def compare_exes(first, second):
    a, b = (open(path, "rb").read() for path in (first, second))
    if a == b:
        write_summary(["### The two Visual Studio builds: the same exe",
                       "`%s` and `%s`: %d bytes, sha256 `%s`" % (first, second, len(a),
                                                                hashlib.sha256(a).hexdigest())])
        return 0
    lines = ["### The two Visual Studio builds: different exes",
             "`%s`: %d bytes, sha256 `%s`" % (first, len(a), hashlib.sha256(a).hexdigest()),
             "`%s`: %d bytes, sha256 `%s`" % (second, len(b), hashlib.sha256(b).hexdigest()),
             "first differing byte at offset 0x%x" % next(
                 (i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b))), ""]
    try:
        fields_a, fields_b = pe_fields(a), pe_fields(b)
    except (ValueError, struct.error) as error:
        write_summary(lines + ["the PE headers could not be read: %s" % error])
        return 1
    differing = [n for n in dict.fromkeys(list(fields_a) + list(fields_b)) if fields_a.get(n) != fields_b.get(n)]
    lines += ["| PE field | first build | second build |", "|---|---|---|"]
    lines += ["| %s | %s | %s |" % (n, fields_a.get(n, "(none)"), fields_b.get(n, "(none)")) for n in differing]
    if not differing:
        lines = lines[:-2] + ["no PE header field, section or debug entry differs: only bytes outside them"]
    write_summary(lines)
    return 1


if __name__ == "__main__":
    if len(sys.argv) >= 3 and sys.argv[1] == "failed-tests":
        sys.exit(failed_tests(sys.argv[2:]))
    if len(sys.argv) == 4 and sys.argv[1] == "compare-exes":
        sys.exit(compare_exes(sys.argv[2], sys.argv[3]))
    sys.exit(__doc__)
