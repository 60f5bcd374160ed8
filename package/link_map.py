"""The toolchain files that a GNU ld map of the release link shows
contributing code: what the third-party notices must name and the bill of
materials must list. Both read the map here, the same way."""
import os
import re
import subprocess

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


def taken_members(map_text):
    """{file name: (path, {member})} of each toolchain archive or object file
    that the GNU ld map shows contributing code to the link (an object file's
    one member is itself)."""
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
        files[name] = (paths[name], pulled)
    return files


def linked_files(map_text):
    """{file name: (path, member count)} of each toolchain archive or object
    file that the GNU ld map shows contributing code to the link."""
    return {name: (path, len(pulled)) for name, (path, pulled) in taken_members(map_text).items()}


def symbol_references(map_text, nm="x86_64-w64-mingw32-nm"):
    """{(file, file)}, by file name: the toolchain files the link took code
    from, each with every other such file that defines a symbol that its
    taken members leave undefined. nm reads the symbols from the files' bytes
    at the map's paths; symbols that no taken member defines (the Windows
    DLLs', the linker's own) lead nowhere."""
    taken = taken_members(map_text)
    defined, undefined = {}, []
    for name, (path, members) in taken.items():
        listing = subprocess.run([nm, "-A", "-g", path], check=True, capture_output=True, text=True).stdout
        for line in listing.splitlines():
            where, _, symbol = line[len(path) + 1:].rpartition(" ")
            member = name if name.endswith(".o") else where.split(":", 1)[0]
            if member not in members:
                continue
            kind = where.rsplit(" ", 1)[-1]
            if kind == "U":
                undefined.append((name, symbol))
            elif kind not in ("w", "v"):
                defined.setdefault(symbol, set()).add(name)
    return {(name, definer) for name, symbol in undefined for definer in defined.get(symbol, ()) if definer != name}
