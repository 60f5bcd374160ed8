"""The toolchain files that a GNU ld map of the release link shows
contributing code: what the third-party notices must name and the bill of
materials must list. Both read the map here, the same way."""
import os
import re

# Collected: each archive with a member in "Archive member included to satisfy
# reference by file", and each .o file in a LOAD line (the project's own objects
# end in .obj). Ignored: the project's archives, and import libraries: an
# archive whose every pulled member is a dlltool import stub (lib<name>s<digits>.o,
# or the lib<name>h.o and lib<name>t.o that stubs pull), which refers to a
# Windows DLL and brings no third-party code. Code members have a '-' in their
# names (lib64_libmingwex_a-gdtoa.o). This is decided per link, not by a list
# of names: libkernel32.a needs a notice once one of its code members is
# pulled, and libmsvcrt.a needs one now, as code members (rand_s, mbrtowc, ...)
# come from it besides its stubs.
OWN_ARCHIVES = {"liborvel_logic.a", "liborvel_platform.a"}
MEMBER = re.compile(r"^(\S+\.a)\(([^()]+)\)")
STUB = re.compile(r"^lib\w+?(h|t|s\d+)\.o$")


def linked_files(map_text):
    """{file name: (path, member count)} of each toolchain archive or object
    file that the GNU ld map shows contributing code to the link."""
    head, sep, rest = map_text.partition("\nDiscarded input sections")
    if not head.startswith("Archive member included") or not sep:
        raise ValueError("not a GNU ld map with archive members")
    members = {}
    paths = {}
    for line in head.splitlines():
        m = MEMBER.match(line)
        if m:
            name = os.path.basename(m.group(1))
            paths.setdefault(name, os.path.normpath(m.group(1)))
            members.setdefault(name, set()).add(m.group(2))
    for m in re.finditer(r"^LOAD (\S+\.o)$", rest, re.M):
        name = os.path.basename(m.group(1))
        paths.setdefault(name, os.path.normpath(m.group(1)))
        members.setdefault(name, set()).add(name)
    files = {}
    for name, pulled in members.items():
        stubs = [STUB.match(x) for x in pulled]
        if name in OWN_ARCHIVES or (all(stubs) and any(s.group(1)[0] == "s" for s in stubs)):
            continue
        files[name] = (paths[name], len(pulled))
    return files


# "archive(member)", then, after blanks or a line break, the file whose
# reference pulled that member in (an archive member or an object file) and
# the symbol in parentheses.
PULLED_BY = re.compile(r"^(\S+?\.a)\([^()\s]+\)\s+(\S+?)(?:\([^()\s]+\))? \(", re.M)


def pulling_references(map_text):
    """{(file that referred, file whose member the reference pulled in)}, by
    file name, from the map's first part: for each archive member the link
    took, the one reference that made it take it (not every reference)."""
    head = map_text.partition("\nDiscarded input sections")[0]
    return {(os.path.basename(m.group(2)), os.path.basename(m.group(1))) for m in PULLED_BY.finditer(head)}
