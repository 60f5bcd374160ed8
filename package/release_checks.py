#!/usr/bin/env python3
"""Two checks of scripts/check-release that need more than a shell line.

release_checks.py notices MAPFILE NOTICES
    Every toolchain archive and object file that the GNU ld map of the release
    link shows pulled into the exe is claimed by exactly one section of the
    third-party notices, in its "Linked from" line and its member list; and
    every file a section claims is one that the link pulled in, and one that
    the notices' table (release_facts.NOTICE_SECTIONS) gives that section.
    Each section holds every licence text that the table asks of it.
release_checks.py log-key BUILD_DIR README
    Every message of log/log_messages.h has its own entry in README's READING
    THE LOG, and nothing else reaches the launcher's log, in every source and
    header that the Ninja build in BUILD_DIR (built) compiles into the exe.
release_checks.py checksums README ZIPPED_EXE BUILT_EXE
    README gives ZIPPED_EXE's SHA-256 under its label for the exe as it is in
    the zip, and BUILT_EXE's under its label for the exe as built.
release_checks.py zip-texts ZIP LICENSE NOTICES
    ZIP's LICENSE.txt and THIRD-PARTY-NOTICES.txt are LICENSE and NOTICES,
    with CR LF line ends.
release_checks.py sums PACKAGE_DIR
    SHA256SUMS and each .sha256 file hold exactly one line: the checksum of
    the file beside them that the line names (the zip for SHA256SUMS, NAME
    for NAME.sha256).
Each exits 1, naming what is missing.
"""
import hashlib
import json
import os
import pathlib
import re
import subprocess
import sys
import zipfile

import release_facts
from link_map import linked_files

# --- notices -----------------------------------------------------------------
# The files come from link_map.linked_files, which the bill of materials reads
# too.


def check_notices(map_path, notices_path):
    notices = open(notices_path, encoding="utf-8").read()
    try:
        checked = sorted(linked_files(open(map_path, encoding="utf-8", errors="replace").read()))
    except ValueError:
        return ["%s is not a GNU ld map with archive members" % map_path]
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
    return problems + check_notice_table(notices_path, sections, notices)


def check_notice_table(notices_path, sections, notices):
    """Each section is the table's section of that number: it claims only the
    files the table gives its components, and holds each of its texts."""
    problems = []
    bodies = section_bodies(notices)
    if len(sections) != len(release_facts.NOTICE_SECTIONS):
        return ["%s: expected the %d sections of package/release_facts.py's NOTICE_SECTIONS, found %d" % (
            notices_path, len(release_facts.NOTICE_SECTIONS), len(sections))]
    for number, ((title, linked, _), body, known) in enumerate(zip(sections, bodies, release_facts.NOTICE_SECTIONS)):
        if title != "%d. %s" % (number + 1, known["title"]):
            problems.append("%s: expected section %d to be '%d. %s', as NOTICE_SECTIONS gives it, found '%s'" % (
                notices_path, number + 1, number + 1, known["title"], title))
        files = {f: key for key, entry in known["components"].items() for f in entry["files"]}
        for name in linked:
            if name not in files:
                owner = release_facts.component_of_file(name)
                problems.append("%s: section '%s' claims %s, expected only the files of %s as NOTICE_SECTIONS "
                                "gives them, found %s filed under %s" % (notices_path, title, name,
                                                                         ", ".join(known["components"]),
                                                                         name, owner or "no component"))
        texts = {release_facts.text_checksum(block): block[0].strip() for block in release_facts.indented_texts(body)}
        for what, checksum in known["texts"].items():
            if checksum not in texts:
                problems.append("%s: section '%s': expected %s (SHA-256 of its words %s), found no indented text "
                                "with that checksum among its %d" % (notices_path, title, what, checksum, len(texts)))
    return problems


def section_bodies(notices):
    lines = notices.splitlines()
    starts = [i + 1 for i in range(len(lines) - 2)
              if RULE.match(lines[i]) and RULE.match(lines[i + 2]) and re.match(r"\d+\. ", lines[i + 1])]
    return [lines[start + 2:starts[n + 1] - 1 if n + 1 < len(starts) else len(lines)]
            for n, start in enumerate(starts)]


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
# log/log_messages.h holds every text the launcher logs, one constant each,
# with "{}" for each value. Both sides are held to it:
# - README: each message has its own entry in the READING THE LOG section, a
#   line indented by two blanks that reads as the message, with <a name> (or
#   one word, as in "PreferDx12=true") in place of each "{}";
# - code: in every source and header that the launcher's build compiles (read
#   from the build itself: Ninja's compile commands, and the headers each
#   object was found to include), what a Log( call is handed is a constant of
#   that header, FillIn( of one with as many values as it has "{}", or a call
#   of a function whose every return is one of these; the logger's WriteNow(
#   (for a damaged run) takes a constant and its values itself. Every constant
#   reaches a Log( or a WriteNow( call: a line built and dropped is not logged.
# - the logger: inside log/, only the functions in LOG_WRITERS put text into
#   the pending lines (PENDING_LINES) or into the file (LOG_FILE_WRITE), or
#   helpers that nothing but those functions calls. Anything else may only
#   write out, look at or empty the pending lines.
MESSAGES_HEADER = "log/log_messages.h"
LOG_WRITERS = ("Log", "WriteNow")
PENDING_LINES = "pending_"
LOG_FILE_WRITE = "AppendToLog"
# What leaves the pending lines' text as it is, or takes it away.
PENDING_READS = ("clear", "size", "empty", "capacity", "reserve")
LAUNCHER_TARGET = "OrvelLauncher"
SOURCE_SUFFIXES = (".c", ".cc", ".cpp", ".cxx")
HEADER_SUFFIXES = (".h", ".hh", ".hpp", ".hxx", ".inl")
TOKEN = re.compile(r'(?P<comment>//[^\n]*|/\*.*?\*/)|(?:\b(?:L|u8|u|U)?R"(?P<d>[^(\s]*)\(.*?\)(?P=d)")'
                   r'|(?P<str>(?P<p>\b(?:L|u8|u|U))?"(?P<text>(?:\\.|[^"\\\n])*)")'
                   r"|(?:\b(?:L|u8|u|U))?'(?:\\.|[^'\\\n])*'|::|->|\w+|\S", re.S)
ESCAPE = re.compile(r"\\(u[0-9a-fA-F]{4}|U[0-9a-fA-F]{8}|.)")
SIMPLE_ESCAPES = {"n": "\n", "t": "\t", "r": "\r", "0": "\0"}
MESSAGE = re.compile(r'constexpr\s+wchar_t\s+(\w+)\s*\[\s*\]\s*=\s*L"((?:\\.|[^"\\])*)"\s*;')


def decode(text):
    return ESCAPE.sub(lambda m: chr(int(m[1][1:], 16)) if len(m[1]) > 1 else SIMPLE_ESCAPES.get(m[1], m[1]), text)


def read_messages(header):
    code = " ".join(m[0] for m in TOKEN.finditer(header) if not m["comment"])
    return {name: decode(text) for name, text in MESSAGE.findall(code)}


def log_section(readme):
    lines = readme.splitlines()
    start = next((i for i, line in enumerate(lines) if line == "READING THE LOG"), None)
    if start is None:
        return []
    end = next((i for i in range(start + 1, len(lines)) if re.fullmatch(r"[A-Z][A-Z ,()-]+", lines[i])), len(lines))
    return lines[start + 1:end]


def entry_pattern(message):
    return re.compile("".join(r"(?:<[^<>]+>|\S+)" if i % 2 else re.escape(part)
                              for i, part in enumerate(re.split(r"(\{\})", message))))


def compiled_files(build_dir):
    """The sources and headers below the source tree that the build in
    build_dir compiles into the launcher, relative to the source tree, and
    that tree."""
    cache = (pathlib.Path(build_dir) / "CMakeCache.txt").read_text(encoding="utf-8")
    setting = lambda name: re.search(r"^%s:\w+=(.*)$" % name, cache, re.M)[1]
    root, ninja = pathlib.Path(setting("CMAKE_HOME_DIRECTORY")).resolve(), setting("CMAKE_MAKE_PROGRAM")
    build = pathlib.Path(build_dir).resolve()
    tool = lambda *args: subprocess.run([ninja, "-C", str(build), "-t", *args], check=True, capture_output=True,
                                        text=True).stdout
    inputs = {os.path.normpath(line) for line in tool("inputs", LAUNCHER_TARGET).splitlines()}
    compiles = [c for c in json.loads(tool("compdb"))
                if c["file"].endswith(SOURCE_SUFFIXES) and os.path.normpath(c["output"]) in inputs]
    if not compiles:
        return root, [], ["%s: expected the compile commands of %s, found none" % (build_dir, LAUNCHER_TARGET)]
    deps, current = {}, None
    for line in tool("deps").splitlines():
        if line and not line[0].isspace():
            current = deps.setdefault(os.path.normpath(line.split(": #deps")[0]), [])
        elif line.strip() and current is not None:
            current.append(line.strip())
    files, problems = set(), []
    for compile in compiles:
        output = os.path.normpath(compile["output"])
        if output not in deps:
            problems.append("%s: expected the headers that %s included, found no record of its build: build %s first"
                            % (build_dir, output, build_dir))
        for name in [compile["file"]] + deps.get(output, []):
            path = (pathlib.Path(compile["directory"]) / name).resolve()
            if path.is_relative_to(root) and not path.is_relative_to(build) and \
                    path.suffix in SOURCE_SUFFIXES + HEADER_SUFFIXES:
                files.add(path.relative_to(root).as_posix())
    return root, sorted(files), problems


class Sources:
    """The launcher's sources as tokens, with every function body found by name."""

    def __init__(self, root, files):
        self.files = {}
        for rel in files:
            if rel != MESSAGES_HEADER:
                source = (pathlib.Path(root) / rel).read_text(encoding="utf-8")
                tokens = [m for m in TOKEN.finditer(source) if not m["comment"]]
                self.files[rel] = (source, tokens, [m[0] for m in tokens] + [""])
        self.bodies = {}
        self.ranges = {rel: [] for rel in self.files}
        for rel, (_, tokens, text) in self.files.items():
            for i in range(1, len(tokens)):
                if text[i] == "(" and re.fullmatch(r"[A-Za-z_]\w*", text[i - 1]):
                    close = self.closing(text, i)
                    j = close + 1
                    while text[j] in ("const", "noexcept", "override"):
                        j += 1
                    if text[j] == "{" and text[i - 2] not in (".", "->", "=", "(", ",", "return"):
                        name = ("~" if text[i - 2] == "~" else "") + text[i - 1]
                        end = self.closing(text, j)
                        self.bodies.setdefault(name, []).append((rel, j, end))
                        self.ranges[rel].append((j, end, name))

    def enclosing(self, rel, index):
        """The name of the innermost function whose body holds token index, or None."""
        holding = [(start, name) for start, end, name in self.ranges[rel] if start < index < end]
        return max(holding)[1] if holding else None

    @staticmethod
    def closing(text, start):
        depth = 0
        for j in range(start, len(text) - 1):
            depth += (text[j] in "({[") - (text[j] in ")}]")
            if depth == 0:
                return j
        return len(text) - 2

    def where(self, rel, index):
        source, tokens, _ = self.files[rel]
        return "%s:%d" % (rel, source.count("\n", 0, tokens[index].start()) + 1)


def top_level_items(text, start, end):
    """The comma-separated items between start and end (exclusive), as ranges."""
    items, depth, first = [], 0, start
    for j in range(start, end):
        depth += (text[j] in "({[") - (text[j] in ")}]")
        if text[j] == "," and depth == 0:
            items.append((first, j))
            first = j + 1
    if first < end:
        items.append((first, end))
    return items


def check_pattern_call(sources, messages, rel, call, used):
    """Problems with a call at token `call` that takes a message of the header
    and, in braces, its values: FillIn(kLogCpu, {name, threads}), and the
    logger's WriteNow(kLogStillRunning), whose values may be left out."""
    text = sources.files[rel][2]
    args = top_level_items(text, call + 2, sources.closing(text, call + 1))
    name = text[args[0][0]] if args and args[0][1] - args[0][0] == 1 else None
    if name not in messages:
        return ["%s: %s of something other than a message of %s" % (
            sources.where(rel, call), text[call], MESSAGES_HEADER)]
    used.add(name)
    values = None
    if len(args) == 1:
        values = []
    elif len(args) == 2 and text[args[1][0]] == "{" and sources.closing(text, args[1][0]) == args[1][1] - 1:
        values = top_level_items(text, args[1][0] + 1, args[1][1] - 1)
    want = messages[name].count("{}")
    if values is None or len(values) != want:
        return ["%s: %s has %d values to fill in, given %s" % (
            sources.where(rel, call), name, want, "?" if values is None else len(values))]
    return []


def check_message_expression(sources, messages, rel, start, end, used, seen):
    """Problems with what tokens [start, end) of rel hand to the logger."""
    _, tokens, text = sources.files[rel]
    if end - start == 1 and text[start] in messages:
        used.add(text[start])
        return [] if "{}" not in messages[text[start]] else [
            "%s: %s has values to fill in but is logged as it is" % (sources.where(rel, start), text[start])]
    if text[start] == "FillIn" and text[start + 1] == "(" and sources.closing(text, start + 1) == end - 1:
        return check_pattern_call(sources, messages, rel, start, used)
    if text[start + 1] == "(" and sources.closing(text, start + 1) == end - 1 and text[start] in sources.bodies:
        problems = []
        for body_rel, body_start, body_end in sources.bodies[text[start]]:
            if (body_rel, body_start) in seen:
                continue
            seen.add((body_rel, body_start))
            body_text = sources.files[body_rel][2]
            returns = [j for j in range(body_start, body_end) if body_text[j] == "return"]
            if not returns:
                problems.append("%s: %s returns no log message" % (sources.where(body_rel, body_start), text[start]))
            for j in returns:
                stop = next(k for k in range(j, body_end + 1) if body_text[k] == ";")
                problems += check_message_expression(sources, messages, body_rel, j + 1, stop, used, seen)
        return problems
    shown = " ".join(text[start:end])
    return ["%s: the logger is handed text that is not from %s: %s" % (
        sources.where(rel, start), MESSAGES_HEADER, shown[:80])]


def log_writes(sources):
    """Each place in log/ that puts text into the pending lines or the file:
    (file, token index, what it does)."""
    for rel, (_, tokens, text) in sources.files.items():
        if not rel.startswith("log/"):
            continue
        for i in range(1, len(tokens)):
            if text[i] == PENDING_LINES:
                if text[i + 1] in (".", "->") and text[i + 2] in PENDING_READS:
                    continue
                if text[i + 1] == ";" and re.fullmatch(r"\w+|>", text[i - 1]):
                    continue  # its declaration
                call = next((j for j in range(i - 1, 0, -1) if text[j] == LOG_FILE_WRITE and text[j + 1] == "("
                             and sources.closing(text, j + 1) > i), None)
                if call is not None and text[i - 1] == "," and text[i + 1] == ")":
                    continue  # the pending lines written out
                yield rel, i, "%s %s" % (PENDING_LINES, "".join(text[i + 1:i + 3]))
            elif text[i] == LOG_FILE_WRITE and text[i + 1] == "(" and text[i - 1] not in ("void", "::"):
                args = top_level_items(text, i + 2, sources.closing(text, i + 1))
                if len(args) == 2 and text[args[1][0]:args[1][1]] == [PENDING_LINES]:
                    continue
                yield rel, i, "%s(%s)" % (LOG_FILE_WRITE, " ".join(text[i + 2:sources.closing(text, i + 1)])[:60])


def check_log_writers(sources):
    """Problems with the places in log/ that put text into the log, other than
    through LOG_WRITERS or helpers only they call."""
    def calls_of(name):
        for rel, (_, tokens, text) in sources.files.items():
            for i in range(1, len(tokens)):
                if text[i] == name and text[i + 1] == "(" and sources.enclosing(rel, i) is not None:
                    yield rel, i

    def only_writers_reach(name, seen):
        if name in LOG_WRITERS:
            return True
        if name is None or name in seen:
            return name is not None
        seen.add(name)
        callers = [sources.enclosing(rel, i) for rel, i in calls_of(name)]
        return bool(callers) and all(only_writers_reach(caller, seen) for caller in callers)

    problems = []
    for rel, i, what in log_writes(sources):
        name = sources.enclosing(rel, i)
        if not only_writers_reach(name, set()):
            problems.append("%s: %s puts text into the log (%s); expected that only %s do" % (
                sources.where(rel, i), name or "code outside any function", what, " and ".join(LOG_WRITERS)))
    return problems


def check_log_key(build_dir, readme_path):
    source_root, files, problems = compiled_files(build_dir)
    if problems:
        return problems
    header = pathlib.Path(source_root) / MESSAGES_HEADER
    messages = read_messages(header.read_text(encoding="utf-8"))
    if not messages:
        return ["no log messages found in %s" % header]
    if MESSAGES_HEADER not in files:
        return ["%s: expected the build to include %s, found it in none of its %d files" % (
            build_dir, MESSAGES_HEADER, len(files))]
    sources = Sources(source_root, files)
    problems = check_log_writers(sources)
    used, seen = set(), set()
    calls = 0
    for rel, (_, tokens, text) in sources.files.items():
        for i in range(1, len(tokens)):
            if text[i] == "Log" and text[i + 1] == "(" and text[i - 1] not in ("void", "::"):
                calls += 1
                problems += check_message_expression(sources, messages, rel, i + 2, sources.closing(text, i + 1),
                                                     used, seen)
            elif text[i] == "WriteNow" and text[i + 1] == "(" and text[i - 1] not in ("void", "::"):
                calls += 1
                problems += check_pattern_call(sources, messages, rel, i, used)
            elif text[i] == "FillIn" and text[i + 1] == "(" and text[i - 1] != "wstring":
                # Checked wherever it is; counts as used only where it reaches the logger.
                problems += check_pattern_call(sources, messages, rel, i, set())
    problems += ["%s: %s is never logged" % (MESSAGES_HEADER, name) for name in messages if name not in used]

    readme = pathlib.Path(readme_path).read_text(encoding="utf-8-sig")
    entries = [line[2:].rstrip() for line in log_section(readme) if line.startswith("  ") and line[2:3] != " "]
    if not entries:
        problems.append("%s: no entries found in a READING THE LOG section" % readme_path)
    for name, message in messages.items():
        if not any(entry_pattern(message).fullmatch(entry) for entry in entries):
            problems.append("%s: READING THE LOG has no entry for %s, expected a line reading %r" % (
                readme_path, name, message.replace("{}", "<...>")))
    print("log-key: %d messages of %s, %d Log and WriteNow calls checked in the %d files that %s compiles" % (
        len(messages), MESSAGES_HEADER, calls, len(sources.files) + 1, build_dir))
    return list(dict.fromkeys(problems))


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


# --- zip-texts and sums -------------------------------------------------------


def check_zip_texts(zip_path, license_path, notices_path):
    """The zip's LICENSE.txt and THIRD-PARTY-NOTICES.txt are the repository's
    files, with CR LF line ends."""
    problems = []
    archive = zipfile.ZipFile(zip_path)
    for entry, source in (("LICENSE.txt", license_path), ("THIRD-PARTY-NOTICES.txt", notices_path)):
        want = pathlib.Path(source).read_bytes().replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
        found = archive.read(entry) if entry in archive.namelist() else None
        if found != want:
            problems.append("%s: expected %s to be %s with CR LF line ends (sha256 %s), found %s" % (
                zip_path, entry, source, hashlib.sha256(want).hexdigest(),
                "no such entry" if found is None else "other bytes (sha256 %s, first line %r)" % (
                    hashlib.sha256(found).hexdigest(), found.split(b"\r\n", 1)[0].decode("utf-8", "replace"))))
    if not problems:
        print("zip-texts: LICENSE.txt and THIRD-PARTY-NOTICES.txt are the repository's, in CR LF")
    return problems


def check_sums(folder):
    """Each checksum file of the package holds one line, the checksum of the
    file beside it that it names: SHA256SUMS the zip's, NAME.sha256 NAME's."""
    problems = []
    folder = pathlib.Path(folder)
    zips = sorted(p.name for p in folder.glob("OrvelLauncher-*-win64.zip"))
    wanted = [("SHA256SUMS", name) for name in zips[:1]]
    wanted += [(p.name, p.name[:-len(".sha256")]) for p in sorted(folder.glob("OrvelLauncher-*.sha256"))]
    if len(zips) != 1 or len(wanted) != 3:
        return ["%s: expected one release zip, SHA256SUMS and two .sha256 files, found %s" % (
            folder, " ".join(sorted(p.name for p in folder.iterdir())))]
    for sums, neighbour in wanted:
        lines = (folder / sums).read_text(encoding="utf-8").splitlines()
        digest = hashlib.sha256((folder / neighbour).read_bytes()).hexdigest()
        if lines != ["%s  %s" % (digest, neighbour)]:
            problems.append("%s: expected the one line '%s  %s', found %d line%s: %s" % (
                folder / sums, digest, neighbour, len(lines), "" if len(lines) == 1 else "s", " | ".join(lines)))
    if not problems:
        print("sums: " + ", ".join("%s names %s" % pair for pair in wanted))
    return problems


if __name__ == "__main__":
    checks = {"notices": check_notices, "log-key": check_log_key, "checksums": check_checksums,
              "zip-texts": check_zip_texts, "sums": check_sums}
    arguments = {"notices": 2, "log-key": 2, "checksums": 3, "zip-texts": 3, "sums": 1}
    if len(sys.argv) < 2 or sys.argv[1] not in checks or len(sys.argv) != 2 + arguments[sys.argv[1]]:
        sys.exit(__doc__)
    problems = checks[sys.argv[1]](*sys.argv[2:])
    for problem in problems:
        print(problem)
    sys.exit(1 if problems else 0)
