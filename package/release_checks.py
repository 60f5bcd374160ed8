#!/usr/bin/env python3
"""Two checks of scripts/check-release that need more than a shell line.

release_checks.py notices MAPFILE NOTICES
    Every toolchain archive and object file that the GNU ld map of the release
    link shows pulled into the exe is claimed by exactly one section of the
    third-party notices, in its "Linked from" line and its member list; and
    every file a section claims is one that the link pulled in.
release_checks.py log-key SOURCE_ROOT README
    Every message that the launcher can write to its log appears in README.
release_checks.py checksums README ZIPPED_EXE BUILT_EXE
    README gives ZIPPED_EXE's SHA-256 under its label for the exe as it is in
    the zip, and BUILT_EXE's under its label for the exe as built.
Each exits 1, naming what is missing.
"""
import hashlib
import os
import pathlib
import re
import sys

# --- notices -----------------------------------------------------------------
# Collected: each archive with a member in "Archive member included to satisfy
# reference by file", and each .o file in a LOAD line (the project's own objects
# end in .obj). Ignored: the project's archives, and import libraries: an
# archive whose every pulled member is a dlltool import stub (lib<name>s<digits>.o,
# or the lib<name>h.o and lib<name>t.o that stubs pull). Code members have a '-'
# in their names (lib64_libmingwex_a-gdtoa.o). This is decided per link, not by
# a list of names: libkernel32.a needs a notice once one of its code members is
# pulled, and libmsvcrt.a needs one now, as code members (rand_s, mbrtowc, ...)
# come from it besides its stubs.
OWN_ARCHIVES = {"liborvel_logic.a", "liborvel_platform.a"}
MEMBER = re.compile(r"^(\S+\.a)\(([^()]+)\)")
STUB = re.compile(r"^lib\w+?(h|t|s\d+)\.o$")


def check_notices(map_path, notices_path):
    map_text = open(map_path, encoding="utf-8", errors="replace").read()
    notices = open(notices_path, encoding="utf-8").read()
    head, sep, rest = map_text.partition("\nDiscarded input sections")
    if not head.startswith("Archive member included") or not sep:
        return ["%s is not a GNU ld map with archive members" % map_path]
    members = {}
    for line in head.splitlines():
        m = MEMBER.match(line)
        if m:
            members.setdefault(os.path.basename(m.group(1)), set()).add(m.group(2))
    for m in re.finditer(r"^LOAD (\S+\.o)$", rest, re.M):
        members.setdefault(os.path.basename(m.group(1)), set()).add("")
    stubs_only = {a for a, ms in members.items()
                  if a.endswith(".a") and all(STUB.match(x) for x in ms)
                  and any(STUB.match(x).group(1)[0] == "s" for x in ms)}
    checked = sorted(set(members) - OWN_ARCHIVES - stubs_only)
    print("notices: checked " + " ".join(checked))
    sections = notice_sections(notices)
    if not sections:
        return ["%s: expected numbered sections with a 'Linked from:' line, found none" % notices_path]
    problems = []
    for title, linked, entries in sections:
        print("notices: %s: %s" % (title, " ".join(linked)))
        for name in linked:
            if name not in checked:
                problems.append("%s: section '%s' claims %s, expected only files the link pulled in (%s)"
                                % (notices_path, title, name, " ".join(checked)))
        # A section of one file may describe its members in prose, without an
        # entry that names the file; with entries, each file has its own.
        if entries or len(linked) > 1:
            if set(entries) != set(linked):
                problems.append("%s: section '%s': expected member-list entries for %s, found entries for %s"
                                % (notices_path, title, ", ".join(linked), ", ".join(dict.fromkeys(entries)) or "none"))
    for name in checked:
        claims = [title for title, linked, _ in sections if name in linked]
        if len(claims) != 1:
            problems.append("%s: expected %s in the 'Linked from' line of one section, found it in %s"
                            % (notices_path, name, ", ".join("'%s'" % c for c in claims) or "none"))
    return problems


# A section starts with its numbered title between two rules of '='. Its
# "Linked from:" line lists the files before any parenthesis; its member list,
# from "Members pulled in" to the first unindented line after a blank one, has an entry
# per file: the file names, then a gap of two or more blanks before the text.
RULE = re.compile(r"^=+$")
FILE_NAME = r"[\w.+-]+\.(?:a|o)"
ENTRY = re.compile(r"^ +(%s(?:, %s)*) {2,}\S" % (FILE_NAME, FILE_NAME))


def notice_sections(notices):
    lines = notices.splitlines()
    starts = [i + 1 for i in range(len(lines) - 2)
              if RULE.match(lines[i]) and RULE.match(lines[i + 2]) and re.match(r"\d+\. ", lines[i + 1])]
    sections = []
    for number, start in enumerate(starts):
        body = lines[start + 2:starts[number + 1] - 1 if number + 1 < len(starts) else len(lines)]
        linked = []
        for line in body:
            if line.startswith("Linked from:"):
                linked = re.findall(FILE_NAME, line.partition(":")[2].partition("(")[0])
        entries = []
        members = next((i for i, line in enumerate(body) if line.startswith("Members pulled in")), None)
        if members is not None:
            for previous, line in zip(body[members:], body[members + 1:]):
                if not previous and line and not line.startswith(" "):
                    break
                entry = ENTRY.match(line)
                if entry:
                    entries += entry.group(1).split(", ")
        sections.append((lines[start], linked, entries))
    return sections


# --- log-key -----------------------------------------------------------------
# A message is a wide string literal inside the argument of a Log( call, or in
# the body of a function returning std::wstring whose name ends in "Line"
# (CpuLine, GpuSelectionLine). Adjacent literals count separately; each is
# stripped of surrounding blanks, and those without a letter or digit (")",
# " < ") are left out.
MESSAGE_FOLDERS = ["launcher", "config", "hardware", "decision", "launch"]
TOKEN = re.compile(r'(?P<comment>//[^\n]*|/\*.*?\*/)|(?:\b(?:L|u8|u|U)?R"(?P<d>[^(\s]*)\(.*?\)(?P=d)")'
                   r'|(?P<str>(?P<p>\b(?:L|u8|u|U))?"(?P<text>(?:\\.|[^"\\\n])*)")'
                   r"|(?:\b(?:L|u8|u|U))?'(?:\\.|[^'\\\n])*'|\w+|\S", re.S)
ESCAPE = re.compile(r"\\(u[0-9a-fA-F]{4}|U[0-9a-fA-F]{8}|.)")
SIMPLE_ESCAPES = {"n": "\n", "t": "\t", "r": "\r", "0": "\0"}


def decode(text):
    return ESCAPE.sub(lambda m: chr(int(m[1][1:], 16)) if len(m[1]) > 1 else SIMPLE_ESCAPES.get(m[1], m[1]), text)


def log_messages(source):
    tokens = [m for m in TOKEN.finditer(source) if not m["comment"]]
    text = [m[0] for m in tokens] + [""]
    found = []
    for i, word in enumerate(text[:-1]):
        if word == "Log" and text[i + 1] == "(":
            opener, closer, start = "(", ")", i + 1
        elif word.endswith("Line") and text[i + 1] == "(" and text[i - 1] == "wstring":
            start = next((j for j in range(i + 2, len(tokens)) if text[j] in ("{", ";")), len(tokens))
            if text[start] != "{":
                continue  # a declaration, not a definition
            opener, closer = "{", "}"
        else:
            continue
        depth = 0
        for j in range(start, len(tokens)):
            depth += (text[j] == opener) - (text[j] == closer)
            if tokens[j]["str"] and tokens[j]["p"] == "L":
                found.append(decode(tokens[j]["text"]).strip())
            if depth == 0:
                break
    return [m for m in found if any(c.isalnum() for c in m)]


def check_log_key(source_root, readme_path):
    readme = pathlib.Path(readme_path).read_text(encoding="utf-8-sig")
    found = []
    for folder in MESSAGE_FOLDERS:
        for path in sorted((pathlib.Path(source_root) / folder).glob("*.cpp")):
            found += [m for m in log_messages(path.read_text(encoding="utf-8")) if m not in found]
    if not found:
        return ["no log messages found below %s" % source_root]
    print("log-key: %d log messages checked" % len(found))
    return ["missing from %s: %s" % (readme_path, m) for m in found if m not in readme]


# --- checksums ---------------------------------------------------------------
# Each checksum stands alone on the first line of the paragraph after the one
# that labels it (README.txt.in, CHECKING THE DOWNLOAD). The two are equal for
# an unsigned exe, so each is checked under its own label, not just present.
CHECKSUM_LABELS = [
    ("of OrvelLauncher.exe exactly as it is in this zip:", "the zipped exe"),
    ("OrvelLauncher.exe as built, before any signing", "the exe as built"),
]


def labelled_checksum(lines, label):
    at = [i for i, line in enumerate(lines) if label in line]
    if len(at) != 1:
        return None, "%d lines holding '%s'" % (len(at), label)
    i = at[0]
    while i < len(lines) and lines[i].strip():
        i += 1
    while i < len(lines) and not lines[i].strip():
        i += 1
    line = lines[i] if i < len(lines) else ""
    return (line[2:] if re.fullmatch(r"  [0-9a-f]{64}", line) else None), repr(line)


def check_checksums(readme_path, zipped_exe, built_exe):
    lines = pathlib.Path(readme_path).read_text(encoding="utf-8-sig").splitlines()
    problems = []
    for (label, what), exe in zip(CHECKSUM_LABELS, (zipped_exe, built_exe)):
        want = hashlib.sha256(pathlib.Path(exe).read_bytes()).hexdigest()
        found, line = labelled_checksum(lines, label)
        if found != want:
            problems.append("%s: under '%s' expected %s's checksum %s, found %s"
                            % (readme_path, label, what, want, line))
    if not problems:
        print("checksums: each under its own label in %s" % readme_path)
    return problems


if __name__ == "__main__":
    checks = {"notices": check_notices, "log-key": check_log_key, "checksums": check_checksums}
    arguments = {"notices": 2, "log-key": 2, "checksums": 3}
    if len(sys.argv) < 2 or sys.argv[1] not in checks or len(sys.argv) != 2 + arguments[sys.argv[1]]:
        sys.exit(__doc__)
    problems = checks[sys.argv[1]](*sys.argv[2:])
    for problem in problems:
        print(problem)
    sys.exit(1 if problems else 0)
