#!/usr/bin/env python3
"""Writes the release package into the output folder:

  OrvelLauncher-<version>-win64.zip          the exe, the sample configuration,
                                             README.txt, LICENSE.txt and
                                             THIRD-PARTY-NOTICES.txt
  SHA256SUMS                                 the zip's checksum, alone, so that
                                             `sha256sum -c SHA256SUMS` works
                                             beside the downloaded zip
  OrvelLauncher-<version>-win64-symbols.zip  OrvelLauncher.debug, the exe's
                                             debug information
  OrvelLauncher-<version>-win64-symbols.zip.sha256
  OrvelLauncher-<version>-win64.cdx.json     the software bill of materials
                                             (CycloneDX 1.6, see sbom.py) of
                                             the exe in the zip
  OrvelLauncher-<version>-win64.cdx.json.sha256

Both zips are reproducible: their entries come in a fixed order, stored
uncompressed (deflate streams differ between zlib builds), with fixed times
(SOURCE_DATE_EPOCH, or the commit's time) and permissions, so one commit gives
the same bytes wherever and whenever it is packed; so is the bill of
materials. A work tree with
uncommitted changes gives a package marked "-dirty", so that no package claims
a commit it does not match. Only these files are replaced in the output
folder; nothing else there is touched.

With ORVEL_SIGN_COMMAND set, the exe is signed before it is zipped and summed:
the command (split as a shell would, without pipes or redirections) is run with
the path of a copy of the exe as its last argument and signs that file in
place. README.txt then gives the checksums of the signed exe and of the exe as
built.

The bill of materials reads the link map (--map; by default OrvelLauncher.map
in the folder above the exe's, where the build writes it). What only the
organisation that ships the exe knows, it gives in the environment:
ORVEL_SBOM_SUPPLIER (its name; Orvel without it), ORVEL_SBOM_CONTACT (an
e-mail address or a URL), ORVEL_SBOM_PURL and ORVEL_SBOM_CPE (its product's
identifiers) and ORVEL_SBOM_SOURCE_URL (where its sources of the exe are).

Usage: make_package.py --version V --epoch SECONDS --source DIR --output DIR
                       --toolchain FILE [--map FILE]
                       EXE DEBUG SAMPLE_CONFIG README_TEMPLATE LICENSE NOTICES
"""
import argparse
import hashlib
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

ZIP_EPOCH_FLOOR = 315532800  # 1980-01-01, the earliest time a zip entry holds


def git(source, *args):
    try:
        return subprocess.run(["git", "-C", source, *args], check=True, capture_output=True,
                              text=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return None


def archived_commit(source):
    """The commit that `git archive` wrote into a release tarball, if this is one."""
    with open(os.path.join(source, "cmake", "archived_commit.txt"), encoding="ascii", errors="replace") as f:
        lines = f.read().split()
    return lines[1] if len(lines) == 2 and re.fullmatch(r"[0-9a-f]{40}", lines[1]) else None


def source_revision(source):
    """The commit being packed and whether the sources differ from it."""
    archived = archived_commit(source)
    if archived:
        return archived, False
    commit = git(source, "rev-parse", "HEAD")
    if commit is None:
        return "unknown (not built from a git work tree or a release tarball)", False
    dirty = git(source, "status", "--porcelain", "--untracked-files=no") != ""
    return (commit + " with uncommitted changes" if dirty else commit), dirty


def read(path):
    with open(path, "rb") as f:
        return f.read()


def crlf(data):
    """Text for Notepad and every other Windows tool: CR LF line ends."""
    return data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


def sha256(data):
    return hashlib.sha256(data).hexdigest()


def signed(exe, command):
    """The exe after the signing command has signed a copy of it in place."""
    with tempfile.TemporaryDirectory() as folder:
        copy = os.path.join(folder, "OrvelLauncher.exe")
        with open(copy, "wb") as f:
            f.write(exe)
        subprocess.run(shlex.split(command) + [copy], check=True)
        return read(copy)


def readme_text(template, values):
    text = read(template).decode("utf-8")
    for name, value in values.items():
        text = text.replace("@%s@" % name, value)
    left = re.search(r"@[A-Z0-9_]+@", text)
    if left:
        sys.exit("make_package.py: %s holds %s, which nothing fills" % (template, left.group()))
    # UTF-8 with a byte-order mark, so that every Notepad shows the Turkish letters.
    return b"\xef\xbb\xbf" + crlf(text.encode("utf-8"))


def zip_entry(name, epoch):
    entry = zipfile.ZipInfo(name, date_time=time.gmtime(max(epoch, ZIP_EPOCH_FLOOR))[:6])
    entry.compress_type = zipfile.ZIP_STORED
    entry.create_system = 3  # Unix, so that the permissions below are read
    entry.external_attr = 0o100644 << 16
    return entry


def zip_bytes(entries, epoch):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as archive:
        for name, data in entries:
            archive.writestr(zip_entry(name, epoch), data)
    return buffer.getvalue()


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)
    return data


def remove_earlier_package(output, version):
    for marker in ("", "-dirty"):
        base = "OrvelLauncher-%s%s-win64" % (version, marker)
        for file in (base + ".zip", base + "-symbols.zip", base + "-symbols.zip.sha256", base + ".cdx.json",
                     base + ".cdx.json.sha256"):
            path = os.path.join(output, file)
            if os.path.exists(path):
                os.remove(path)


def write_sums(path, files):
    with open(path, "w", newline="\n") as f:
        f.write("".join("%s  %s\n" % (sha256(data), name) for name, data in files))


def main():
    parser = argparse.ArgumentParser()
    for option in ("version", "source", "output", "toolchain"):
        parser.add_argument("--" + option, required=True)
    parser.add_argument("--epoch", type=int, required=True)
    parser.add_argument("--map")
    for file in ("exe", "debug", "sample_config", "readme_template", "license", "notices"):
        parser.add_argument(file)
    args = parser.parse_args()

    commit, dirty = source_revision(args.source)
    name = "OrvelLauncher-%s%s-win64" % (args.version, "-dirty" if dirty else "")
    built = read(args.exe)
    sign_command = os.environ.get("ORVEL_SIGN_COMMAND", "").strip()
    exe = signed(built, sign_command) if sign_command else built
    toolchain = read(args.toolchain).decode("utf-8").strip().splitlines()
    readme = readme_text(args.readme_template, {
        "VERSION": args.version,
        "COMMIT": commit,
        "EXE_SHA256": sha256(exe),
        "BUILD_SHA256": sha256(built),
        "SOURCE_DATE_EPOCH": str(args.epoch),
        "TOOLCHAIN": "\n".join("  " + line for line in toolchain),
    })
    entries = [
        ("OrvelLauncher.exe", exe),
        ("Orvel.config.sample.ini", crlf(read(args.sample_config))),
        ("README.txt", readme),
        ("LICENSE.txt", crlf(read(args.license))),
        ("THIRD-PARTY-NOTICES.txt", crlf(read(args.notices))),
    ]
    package = zip_bytes(entries, args.epoch)
    # Made before anything is written, so that a link the table does not know
    # leaves no package without its bill of materials.
    map_path = args.map or os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(args.exe))),
                                        "OrvelLauncher.map")
    try:
        bom = sbom.document_bytes(sbom.bill_of_materials(
            version=args.version, epoch=args.epoch, exe=exe, exe_name="OrvelLauncher.exe", zip_name=name + ".zip",
            zip_bytes=package, map_text=read(map_path).decode("utf-8", "replace"), toolchain_lines=toolchain,
            toolchain_path=args.toolchain, read=read, studio=sbom.studio_from_environment()))
    except (OSError, ValueError, subprocess.CalledProcessError) as e:
        sys.exit("make_package.py: no bill of materials from %s: %s" % (map_path, e))

    os.makedirs(args.output, exist_ok=True)
    remove_earlier_package(args.output, args.version)
    write(os.path.join(args.output, name + ".zip"), package)
    write_sums(os.path.join(args.output, "SHA256SUMS"), [(name + ".zip", package)])
    symbols = name + "-symbols.zip"
    symbols_bytes = write(os.path.join(args.output, symbols),
                          zip_bytes([("OrvelLauncher.debug", read(args.debug))], args.epoch))
    write_sums(os.path.join(args.output, symbols + ".sha256"), [(symbols, symbols_bytes)])
    bom_name = name + ".cdx.json"
    write(os.path.join(args.output, bom_name), bom)
    write_sums(os.path.join(args.output, bom_name + ".sha256"), [(bom_name, bom)])

    print("%s (%d bytes), exe %s%s" % (os.path.join(args.output, name + ".zip"), len(package), sha256(exe),
                                       " (signed; as built %s)" % sha256(built) if sign_command else ""))
    print("%s  %s.zip" % (sha256(package), name))
    if dirty:
        print("warning: the work tree has uncommitted changes; the package is marked -dirty and is not for release")


if __name__ == "__main__":
    main()
