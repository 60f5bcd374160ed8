#!/usr/bin/env python3
"""The release checks of scripts/check-release that compute. Each prints one
line, saying what it expected and what it found, and exits 1.

release_checks.py notices MAP NOTICES
    Every toolchain file that the link map shows pulled into the exe is
    claimed by exactly one section, in its "Linked from" line and its member
    list; every file a section claims was linked, and is one that the table
    (release_facts.NOTICE_SECTIONS) gives that section; each section holds
    the table's licence texts.
release_checks.py log-key ZIP BUILT_EXE
    Each guide in ZIP is UTF-8 with a byte-order mark and CR LF line ends,
    and gives the zipped exe's SHA-256 and BUILT_EXE's on the lines where its
    template has them, under the same labels. And it holds to
    log/log_messages.h: its log key (the section that holds the most lines
    reading as a message) has an entry line for every message, and every
    entry line there reads as one. An entry line is indented by two blanks,
    in a run of such lines that a line indented by four explains; it reads as
    the message does, with <a name>, or one word, for each "{}".
release_checks.py exe EXE DEBUG README_MD
    The exe imports only the system DLLs that README_MD names; it and its
    symbols carry the same build ID, and the symbols resolve wmain.
release_checks.py crash LOG DEBUG
    LOG holds a crash line naming dxgi.dll, with the symbols' build ID and
    frames that they resolve to DetectGpu and RunLauncher.
"""
import ast
import os
import re
import subprocess
import sys
import zipfile

import release_facts as facts
from make_package import GUIDES

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MESSAGES_HEADER = "log/log_messages.h"
IMPORTS = ["ADVAPI32.dll", "KERNEL32.dll", "msvcrt.dll", "USER32.dll"]
IMPORTS_SAID = "imports ADVAPI32, KERNEL32, USER32 and msvcrt."


def check_notices(map_path, notices_path):
    taken, text = sorted(facts.linked_files(map_path)), open(notices_path, encoding="utf-8").read()
    problems = notice_problems(taken, text, notices_path)
    # The check must be able to fail: the notices without winpthreads' MIT text.
    cut = text[:text.find("  Copyright (c) 2011-2016 mingw-w64 project")] + text[text.find("winpthreads' header"):]
    refused = notice_problems(taken, cut, "spoiled")
    if not problems and not any("'3. winpthreads': expected the MIT licence" in p for p in refused):
        problems.append("notices: expected the check to refuse notices without winpthreads' MIT text, found %s" % (
            refused or "it passed"))
    if not problems:
        print("notices: %s; notices without winpthreads' MIT text refused" % "; ".join(
            "%s: %s" % (s[0], " ".join(s[1])) for s in facts.notice_sections(text)))
    return problems


def notice_problems(taken, text, notices_path):
    sections = facts.notice_sections(text)
    titles = ["%d. %s" % (n + 1, s["title"]) for n, s in enumerate(facts.NOTICE_SECTIONS)]
    if [s[0] for s in sections] != titles:
        return ["%s: expected the sections %s, as NOTICE_SECTIONS gives them, found %s" % (
            notices_path, titles, [s[0] for s in sections])]
    problems = []
    for (title, linked, entries, texts), known in zip(sections, facts.NOTICE_SECTIONS):
        files = [f for entry in known["components"].values() for f in entry["files"]]
        for name in linked:
            if name not in taken:
                problems.append("%s: section '%s' claims %s, expected only files the link pulled in (%s)" % (
                    notices_path, title, name, " ".join(taken)))
            elif name not in files:
                problems.append("%s: section '%s' claims %s, expected only the files of %s as NOTICE_SECTIONS "
                                "gives them, found %s filed under %s" % (notices_path, title, name, ", ".join(
                                    known["components"]), name, facts.component_of_file(name) or "no component"))
        # A section of one file may tell its members in prose; with entries, each file has its own.
        if (entries or len(linked) > 1) and set(entries) != set(linked):
            problems.append("%s: section '%s': expected member-list entries for %s, found entries for %s" % (
                notices_path, title, ", ".join(linked), ", ".join(dict.fromkeys(entries)) or "none"))
        problems += ["%s: section '%s': expected %s (SHA-256 of its words %s), found no indented text with that "
                     "checksum among its %d" % (notices_path, title, what, checksum, len(texts))
                     for what, checksum in known["texts"].items() if checksum not in texts]
    for name in taken:
        claims = [s[0] for s in sections if name in s[1]]
        if len(claims) != 1:
            problems.append("%s: expected %s in the 'Linked from' line of one section, found it in %s" % (
                notices_path, name, ", ".join("'%s'" % c for c in claims) or "none"))
    return problems


def log_messages():
    """{constant: its text} for every kLog constant of the header with its wide literal."""
    code = re.sub(r'^([^"\n]*?)//.*$', r"\1", open(os.path.join(SOURCE, MESSAGES_HEADER), encoding="utf-8").read(),
                  flags=re.M)
    return {name: ast.literal_eval('"%s"' % text)
            for name, text in re.findall(r'\b(kLog\w+)\b[^;"]*?L"((?:\\.|[^"\\\n])*)"', code)}


def sections(lines):
    """The guide's lines, cut at its headings: unindented lines in capitals."""
    cut = [i for i, line in enumerate(lines) if line == line.strip() == line.upper() and re.search(r"[^\W\d_]", line)]
    return [lines[a:b] for a, b in zip([0] + cut, cut + [len(lines)])]


def check_guide(name, template, text, values):
    problems = []
    if not text.startswith(b"\xef\xbb\xbf") or text.count(b"\n") != text.count(b"\r\n") or not text.endswith(b"\r\n"):
        problems.append("%s: expected UTF-8 with a byte-order mark and CR LF line ends, found %r...%r" % (
            name, text[:3], text[-2:]))
    lines = text.decode("utf-8", "replace").lstrip("\ufeff").replace("\r\n", "\n").split("\n")
    for placeholder, (want, what) in values.items():
        at = [i for i, line in enumerate(template) if placeholder in line]
        if not at:
            problems.append("%s: expected %s in its template, found none" % (name, placeholder))
            continue
        label = next((line for line in reversed(template[:at[0]]) if line.strip()), "")
        under = [i for i, line in enumerate(lines) if line == label]
        found = next((line for line in lines[under[0] + 1:] if line.strip()), "none") if len(under) == 1 else \
            "%d lines reading %r" % (len(under), label)
        if found != template[at[0]].replace(placeholder, want):
            problems.append("%s: under %r expected %s's checksum %s, found %r" % (name, label, what, want, found))

    messages = log_messages()
    patterns = {key: re.compile("".join(r"(?:<[^<>]+>|\S+)" if i % 2 else re.escape(part)
                                        for i, part in enumerate(re.split(r"(\{\})", message))))
                for key, message in messages.items()}
    reads = lambda entry: [key for key, pattern in patterns.items() if pattern.fullmatch(entry)]
    key = max(sections(lines), key=lambda s: sum(bool(reads(line[2:])) for line in s if line.startswith("  ")))
    entries, run = [], []
    for line in key:
        if re.match(r"  \S", line):
            run.append(line[2:])
            continue
        entries += run if re.match(r"    \S", line) else []
        run = []
    covered = {k for entry in entries for k in reads(entry)}
    problems += ["%s: expected an entry line for %s in its log key (%s), reading %r, found none" % (
        name, k, key[0], message.replace("{}", "<...>")) for k, message in messages.items() if k not in covered]
    problems += ["%s: expected each entry line of its log key (%s) to read as a message of %s, found %r" % (
        name, key[0], MESSAGES_HEADER, entry) for entry in entries if not reads(entry)]
    if not problems:
        print("log-key: %s: the exe's checksums under their labels; %d entries for the %d messages of %s, under %s"
              % (name, len(entries), len(messages), MESSAGES_HEADER, key[0]))
    return problems


def check_guides(zip_path, built_exe):
    archive = zipfile.ZipFile(zip_path)
    values = {"@EXE_SHA256@": (facts.digest(archive.read("OrvelLauncher.exe")), "the zipped exe"),
              "@BUILD_SHA256@": (facts.digest(facts.read(built_exe)), "the exe as built")}
    problems = []
    for name, template in GUIDES.items():
        lines = open(os.path.join(SOURCE, "package", template), encoding="utf-8").read().splitlines()
        text = archive.read(name) if name in archive.namelist() else b""
        problems += check_guide(name, lines, text, values)
    return problems


def tool(name, *args):
    return subprocess.run(["x86_64-w64-mingw32-" + name, *args], check=True, capture_output=True, text=True).stdout


def build_id(path):
    found = re.search(r"format RSDS signature ([0-9a-f]+)", tool("objdump", "-p", path))
    return found and found[1]


def check_exe(exe, debug, readme_md):
    problems = []
    imports = sorted(re.findall(r"^\s*DLL Name: (\S+)", tool("objdump", "-p", exe), re.M), key=str.lower)
    if imports != IMPORTS:
        problems.append("%s: expected it to import %s, found %s" % (exe, " ".join(IMPORTS), " ".join(imports)))
    if IMPORTS_SAID not in open(readme_md, encoding="utf-8").read():
        problems.append("%s: expected it to say the exe '%s', found no such sentence" % (readme_md, IMPORTS_SAID))
    if not build_id(exe) or build_id(exe) != build_id(debug):
        problems.append("expected the exe and its symbols to carry one build ID, found %s and %s" % (
            build_id(exe), build_id(debug)))
    wmain = re.search(r"^([0-9a-f]+) T wmain$", tool("nm", debug), re.M)
    line = wmain and tool("addr2line", "-e", debug, "0x" + wmain[1]).strip()
    if line != "./launcher/main.cpp:4":
        problems.append("%s: expected wmain at ./launcher/main.cpp:4, found %s" % (debug, line))
    if not problems:
        print("exe: imports %s; build ID %s, as its symbols'" % (" ".join(imports), build_id(exe)))
    return problems


def check_crash(log, debug):
    text = open(log, encoding="utf-8", errors="replace").read().replace("\r", "") if os.path.exists(log) else ""
    if "İstisna kodu: 0xC0000005, adres: dxgi.dll+0x" not in text:
        return ["%s: expected a crash line naming dxgi.dll, found: %s" % (log, text.strip().replace("\n", " | "))]
    crash_id = re.search(r"\(build ID\): ([0-9a-f]+)$", text, re.M)
    if not crash_id or crash_id[1] != build_id(debug):
        return ["%s: expected the symbols' build ID %s, found %s" % (log, build_id(debug), crash_id and crash_id[1])]
    base = int(re.search(r"^ImageBase\s+([0-9a-fA-F]+)", tool("objdump", "-p", debug), re.M)[1], 16)
    # Each frame is a return address: the call that made it is one byte before.
    frames = re.findall(r"OrvelLauncher\.exe\+0x([0-9A-Fa-f]+)", "".join(re.findall(r"çağrı zinciri: (.*)", text)))
    functions = tool("addr2line", "-f", "-i", "-C", "-e", debug,
                     *["0x%x" % (base + int(f, 16) - 1) for f in frames]).splitlines()[::2] if frames else []
    if not all(any(f.startswith(name + "(") for f in functions) for name in ("DetectGpu", "RunLauncher")):
        return ["%s: expected frames that resolve to DetectGpu and RunLauncher, found %s" % (log, functions)]
    print("crash: the symbols' build ID; frames in %s" % " ".join(f.partition("(")[0] for f in functions))
    return []


if __name__ == "__main__":
    checks = {"notices": (check_notices, 2), "log-key": (check_guides, 2), "exe": (check_exe, 3),
              "crash": (check_crash, 2)}
    if len(sys.argv) < 2 or sys.argv[1] not in checks or len(sys.argv) != 2 + checks[sys.argv[1]][1]:
        sys.exit(__doc__)
    try:
        problems = checks[sys.argv[1]][0](*sys.argv[2:])
    except (OSError, ValueError, KeyError, subprocess.CalledProcessError) as e:
        problems = ["%s: %s" % (sys.argv[1], e)]
    if problems:
        sys.exit("; ".join(problems))
