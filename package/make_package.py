#!/usr/bin/env python3
"""Writes the release package: <output>/OrvelLauncher-<version>-win64.zip and
<output>/SHA256SUMS.

The zip is reproducible: its entries come in a fixed order with fixed times
(SOURCE_DATE_EPOCH, or the commit's time), permissions and compression, so
one commit gives the same bytes wherever and whenever it is packed. A work
tree with uncommitted changes gives a package marked "-dirty", so that no
package claims a commit it does not match.

Usage: make_package.py --version V --epoch SECONDS --source DIR --output DIR
                       EXE SAMPLE_CONFIG README_TEMPLATE
"""
import argparse
import hashlib
import os
import subprocess
import sys
import time
import zipfile

ZIP_EPOCH_FLOOR = 315532800  # 1980-01-01, the earliest time a zip entry holds


def git(source, *args):
    try:
        return subprocess.run(["git", "-C", source, *args], check=True, capture_output=True,
                              text=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return None


def source_revision(source):
    """The commit being packed and whether the work tree differs from it."""
    commit = git(source, "rev-parse", "HEAD")
    if commit is None:
        return "unknown (not built from a git work tree)", False
    dirty = git(source, "status", "--porcelain", "--untracked-files=no") != ""
    return (commit + " with uncommitted changes" if dirty else commit), dirty


def readme_text(template, version, commit):
    with open(template, encoding="utf-8") as f:
        text = f.read()
    text = text.replace("@VERSION@", version).replace("@COMMIT@", commit)
    # Plain text for Notepad and every other Windows tool: CR LF line ends.
    return text.replace("\r\n", "\n").replace("\n", "\r\n").encode("ascii")


def zip_entry(name, epoch):
    entry = zipfile.ZipInfo(name, date_time=time.gmtime(max(epoch, ZIP_EPOCH_FLOOR))[:6])
    entry.compress_type = zipfile.ZIP_DEFLATED
    entry.create_system = 3  # Unix, so that the permissions below are read
    entry.external_attr = 0o100644 << 16
    return entry


def write_zip(path, entries, epoch):
    with zipfile.ZipFile(path, "w") as archive:
        for name, data in entries:
            archive.writestr(zip_entry(name, epoch), data, compresslevel=9)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--version", required=True)
    parser.add_argument("--epoch", type=int, required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--output", required=True)
    parser.add_argument("exe")
    parser.add_argument("sample_config")
    parser.add_argument("readme_template")
    args = parser.parse_args()

    commit, dirty = source_revision(args.source)
    name = "OrvelLauncher-%s%s-win64" % (args.version, "-dirty" if dirty else "")
    with open(args.exe, "rb") as f:
        exe = f.read()
    with open(args.sample_config, "rb") as f:
        sample = f.read()
    entries = [
        ("OrvelLauncher.exe", exe),
        ("Orvel.config.sample.ini", sample),
        ("README.txt", readme_text(args.readme_template, args.version, commit)),
    ]

    os.makedirs(args.output, exist_ok=True)
    for old in os.listdir(args.output):
        if old.endswith(".zip") or old == "SHA256SUMS":
            os.remove(os.path.join(args.output, old))
    zip_path = os.path.join(args.output, name + ".zip")
    write_zip(zip_path, entries, args.epoch)
    with open(zip_path, "rb") as f:
        zip_bytes = f.read()

    sums = "".join("%s  %s\n" % (hashlib.sha256(data).hexdigest(), file)
                   for file, data in [(name + ".zip", zip_bytes), ("OrvelLauncher.exe", exe)])
    with open(os.path.join(args.output, "SHA256SUMS"), "w", newline="\n") as f:
        f.write(sums)

    print("%s (%d bytes)" % (zip_path, len(zip_bytes)))
    sys.stdout.write(sums)
    if dirty:
        print("warning: the work tree has uncommitted changes; the package is marked -dirty and is not for release")


if __name__ == "__main__":
    main()
