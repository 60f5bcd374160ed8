#!/usr/bin/env python3
"""Writes the release package of EXE into the output folder:

  OrvelLauncher-<version>-win64.zip          the exe, the sample configuration,
                                             the guides (README.txt, BENIOKU.txt),
                                             LICENSE.txt, THIRD-PARTY-NOTICES.txt
  SHA256SUMS                                 the zip's checksum alone, for
                                             `sha256sum -c SHA256SUMS` beside it
  OrvelLauncher-<version>-win64-symbols.zip  OrvelLauncher.debug (beside EXE)
  OrvelLauncher-<version>-win64.cdx.json     the bill of materials (sbom.py)
  and a NAME.sha256 beside each of the last two.

The texts come from the source folder, with CR LF line ends. Both zips are
reproducible: entries in a fixed order, stored uncompressed (deflate streams
differ between zlib builds), with the time SOURCE_DATE_EPOCH in UTC and fixed
permissions. Uncommitted changes mark the package "-dirty". Only these files
are replaced in the output folder.

With ORVEL_SIGN_COMMAND set, the command (split as a shell would) signs a
copy of the exe in place, given its path as its last argument, before it is
zipped and summed; the guides then give the checksums of the signed exe and
of the exe as built. The bill of materials reads the link map (--map; by
default OrvelLauncher.map in the folder above EXE's).

Usage: make_package.py --version V --epoch SECONDS --source DIR --output DIR --toolchain FILE [--map FILE] EXE
"""
import argparse
import io
import os
import re
import shlex
import subprocess
import sys
import tempfile
import time
import zipfile

import sbom
from release_facts import digest, read

# Each guide in the zip, from its template in package/: UTF-8 with a
# byte-order mark, so that every Notepad shows the Turkish letters.
GUIDES = {"README.txt": "README.txt.in", "BENIOKU.txt": "BENIOKU.txt.in"}
ZIP_EPOCH_FLOOR = 315532800  # 1980-01-01, the earliest time a zip entry holds


def git(source, *args):
    try:
        return subprocess.run(["git", "-C", source, *args], check=True, capture_output=True, text=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return None


def source_revision(source):
    """The commit being packed: the one `git archive` wrote into a release
    tarball, or HEAD, with whether the work tree differs from it."""
    archived = read(os.path.join(source, "cmake", "archived_commit.txt")).decode("ascii", "replace").split()
    if len(archived) == 2 and re.fullmatch(r"[0-9a-f]{40}", archived[1]):
        return archived[1], False
    commit = git(source, "rev-parse", "HEAD")
    if commit is None:
        return "unknown (not built from a git work tree or a release tarball)", False
    dirty = git(source, "status", "--porcelain", "--untracked-files=no") != ""
    return commit + (" with uncommitted changes" if dirty else ""), dirty


def crlf(data):
    return data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


def guide(template, values):
    text = read(template).decode("utf-8")
    for name, value in values.items():
        text = text.replace("@%s@" % name, value)
    left = re.search(r"@[A-Z0-9_]+@", text)
    if left:
        sys.exit("make_package.py: %s holds %s, which nothing fills" % (template, left.group()))
    return b"\xef\xbb\xbf" + crlf(text.encode("utf-8"))


def zip_bytes(entries, epoch):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as archive:
        for name, data in entries:
            entry = zipfile.ZipInfo(name, date_time=time.gmtime(max(epoch, ZIP_EPOCH_FLOOR))[:6])
            entry.create_system = 3  # Unix, so that the permissions are read
            entry.external_attr = 0o100644 << 16
            archive.writestr(entry, data)
    return buffer.getvalue()


def main():
    parser = argparse.ArgumentParser()
    for option in ("version", "source", "output", "toolchain"):
        parser.add_argument("--" + option, required=True)
    parser.add_argument("--epoch", type=int, required=True)
    parser.add_argument("--map")
    parser.add_argument("exe")
    args = parser.parse_args()
    source = lambda *path: os.path.join(args.source, *path)

    commit, dirty = source_revision(args.source)
    name = "OrvelLauncher-%s%s-win64" % (args.version, "-dirty" if dirty else "")
    built = read(args.exe)
    exe = built
    sign_command = os.environ.get("ORVEL_SIGN_COMMAND", "").strip()
    if sign_command:
        with tempfile.TemporaryDirectory() as folder:
            copy = os.path.join(folder, "OrvelLauncher.exe")
            with open(copy, "wb") as f:
                f.write(built)
            subprocess.run(shlex.split(sign_command) + [copy], check=True)
            exe = read(copy)
    toolchain = read(args.toolchain).decode("utf-8").strip()
    values = {"VERSION": args.version, "COMMIT": commit, "EXE_SHA256": digest(exe), "BUILD_SHA256": digest(built),
              "SOURCE_DATE_EPOCH": str(args.epoch), "TOOLCHAIN": "\n".join("  " + x for x in toolchain.splitlines())}
    package = zip_bytes([("OrvelLauncher.exe", exe),
                         ("Orvel.config.sample.ini", crlf(read(source("config", "Orvel.config.sample.ini"))))] +
                        [(text, guide(source("package", template), values)) for text, template in GUIDES.items()] +
                        [("LICENSE.txt", crlf(read(source("LICENSE")))),
                         ("THIRD-PARTY-NOTICES.txt", crlf(read(source("THIRD-PARTY-NOTICES.txt"))))], args.epoch)
    # Made before anything is written, so that a link the table does not know
    # leaves no package without its bill of materials.
    map_path = args.map or os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(args.exe))),
                                        "OrvelLauncher.map")
    try:
        bom = sbom.document(version=args.version, epoch=args.epoch, exe=exe, zip_name=name + ".zip",
                            zip_bytes=package, map_path=map_path, toolchain=toolchain)
    except (OSError, ValueError, subprocess.CalledProcessError) as e:
        sys.exit("make_package.py: no bill of materials from %s: %s" % (map_path, e))
    symbols = zip_bytes([("OrvelLauncher.debug", read(os.path.join(os.path.dirname(args.exe), "OrvelLauncher.debug")))],
                        args.epoch)

    os.makedirs(args.output, exist_ok=True)
    for marker in ("", "-dirty"):
        for suffix in (".zip", "-symbols.zip", "-symbols.zip.sha256", ".cdx.json", ".cdx.json.sha256"):
            path = os.path.join(args.output, "OrvelLauncher-%s%s-win64%s" % (args.version, marker, suffix))
            if os.path.exists(path):
                os.remove(path)
    for file, data, sums in ((".zip", package, "SHA256SUMS"), ("-symbols.zip", symbols, 0), (".cdx.json", bom, 0)):
        with open(os.path.join(args.output, name + file), "wb") as f:
            f.write(data)
        with open(os.path.join(args.output, sums or name + file + ".sha256"), "w", newline="\n") as f:
            f.write("%s  %s\n" % (digest(data), name + file))
    print("%s (%d bytes), exe %s%s" % (os.path.join(args.output, name + ".zip"), len(package), digest(exe),
                                       " (signed; as built %s)" % digest(built) if sign_command else ""))
    if dirty:
        print("warning: the work tree has uncommitted changes; the package is marked -dirty and is not for release")


if __name__ == "__main__":
    main()
