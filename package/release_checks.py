#!/usr/bin/env python3
"""Two checks of scripts/check-release that need more than a shell line.

release_checks.py notices MAPFILE NOTICES
    Every toolchain archive and object file that the GNU ld map of the release
    link shows pulled into the exe is named in the third-party notices.
release_checks.py log-key SOURCE_ROOT README
    Every message that the launcher can write to its log appears in README.
Each exits 1, naming what is missing.
"""
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
    return ["not in %s: %s" % (notices_path, n) for n in checked if not re.search(
        r"(?<![\w.+-])" + re.escape(n) + r"(?![\w+-]|\.\w)", notices)]


# --- log-key -----------------------------------------------------------------
# A message is a wide string literal inside the argument of a Log( call, in
# the body of a function returning std::wstring whose name ends in "Line"
# (CpuLine, GpuSelectionLine), or a named message text, a kLog... array
# initialised with one (kLogStillRunning[] = L"..."), in a source file or a
# header. Adjacent literals count separately; each is stripped of surrounding
# blanks, and those without a letter or digit (")", " < ") are left out.
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
        if word.startswith("kLog") and text[i + 1:i + 4] == ["[", "]", "="] and i + 4 < len(tokens):
            if tokens[i + 4]["str"] and tokens[i + 4]["p"] == "L":
                found.append(decode(tokens[i + 4]["text"]).strip())
            continue
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
        folder_path = pathlib.Path(source_root) / folder
        for path in sorted(list(folder_path.glob("*.cpp")) + list(folder_path.glob("*.h"))):
            found += [m for m in log_messages(path.read_text(encoding="utf-8")) if m not in found]
    if not found:
        return ["no log messages found below %s" % source_root]
    print("log-key: %d log messages checked" % len(found))
    return ["missing from %s: %s" % (readme_path, m) for m in found if m not in readme]


if __name__ == "__main__":
    checks = {"notices": check_notices, "log-key": check_log_key}
    if len(sys.argv) != 4 or sys.argv[1] not in checks:
        sys.exit(__doc__)
    problems = checks[sys.argv[1]](sys.argv[2], sys.argv[3])
    for problem in problems:
        print(problem)
    sys.exit(1 if problems else 0)
