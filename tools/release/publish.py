#!/usr/bin/env python3
"""Publishes a built product installer: writes what the servers must serve
and the configuration lines that point setup.exe at it.

usage: publish.py INSTALLER --version 3.1.0 --server https://release.example
                  [--download-base URL ...] [--out FOLDER] [options]

Writes into FOLDER (default ./published), laid out as serve.py serves it:
  release.json              the release reply: answer every POST to the
                            release address (DownloadInfoUrl) with it
  version.ini               the version file (UpdateIni)
  files/<installer>         a copy of the installer, for the download bases
  InitConfigure-release.ini the [Product] lines to paste into InitConfigure.ini
  release-record.json       for your records (not read by setup.exe): size,
                            MD5 and SHA-256 of the installer, its addresses

The reply holds every member setup.exe reads and nothing else. When a later
setup.exe checks SHA-256 digests or the publisher's signature, their members
join in reply_members() below; release-record.json already carries SHA-256.
"""

import argparse
import datetime
import hashlib
import json
import os
import re
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_config import address_problem  # noqa: E402

RELEASE_PATH = "/release"
VERSION_PATH = "/version.ini"
FILES_PATH = "/files/"
MAX_DOWNLOADS = 3  # download, download2, download3
# A file name that survives a URL unencoded (setup.exe sends addresses as
# they are and takes the file name after the last "/").
SAFE_FILE_NAME = re.compile(r"[A-Za-z0-9][A-Za-z0-9._-]{0,127}")
# What the companion run accepts as REFERNUMBER.
SAFE_REFER_NUMBER = re.compile(r"[A-Za-z0-9_-][A-Za-z0-9._-]{0,31}")


class PublishError(Exception):
    pass


def digests(path):
    md5, sha256, size = hashlib.md5(), hashlib.sha256(), 0
    with open(path, "rb") as f:
        for chunk in iter(lambda: f.read(1 << 20), b""):
            md5.update(chunk)
            sha256.update(chunk)
            size += len(chunk)
    return md5.hexdigest(), sha256.hexdigest(), size


def reply_members(args, downloads, md5, sha256):
    """The "data" members setup.exe reads, all strings. Only members the
    program reads belong here."""
    return {
        "md5": md5,
        "sha256": sha256,
        "killSwitch": "true" if args.kill_switch else "false",
        "WriteLogSwitch": "false" if args.no_setup_log else "true",
        "curNum": args.version,
        "download": downloads[0],
        "download2": downloads[1],
        "download3": downloads[2],
        "tuijian": args.companion_url or "",
        "referNumber": args.refer_number or "",
        "url": args.ads_url or "",
        "testid": args.testid or "",
    }


def check_address(what, url):
    problem = address_problem(url)
    if problem:
        raise PublishError("%s %s: %s" % (what, url, problem))
    return url


def join(base, name):
    return base + ("" if base.endswith("/") else "/") + name


def publish(args):
    installer = args.installer
    if not os.path.isfile(installer):
        raise PublishError("%s is not a file" % installer)
    name = os.path.basename(installer)
    if not SAFE_FILE_NAME.fullmatch(name):
        raise PublishError("the installer's name %r must be letters, digits, '.', '_' and '-' (it becomes part "
                           "of an address and the downloaded file's name)" % name)
    if not re.fullmatch(r"[0-9A-Za-z][0-9A-Za-z._+-]{0,63}", args.version):
        raise PublishError("--version %r: letters, digits and . _ + - only" % args.version)
    if args.refer_number and not SAFE_REFER_NUMBER.fullmatch(args.refer_number):
        raise PublishError("--refer-number %r: up to 32 letters, digits, '.', '_' or '-'" % args.refer_number)
    if args.refer_number and ".." in args.refer_number:
        raise PublishError("--refer-number %r must not hold '..'" % args.refer_number)
    if args.refer_number and not args.companion_url:
        raise PublishError("--refer-number needs --companion-url (the companion it is passed to)")
    server = check_address("--server", args.server.rstrip("/"))
    bases = args.download_base or [server + FILES_PATH]
    if len(bases) > MAX_DOWNLOADS:
        raise PublishError("at most %d download bases (download, download2, download3)" % MAX_DOWNLOADS)
    downloads = [check_address("--download-base", join(base, name)) for base in bases]
    downloads += [""] * (MAX_DOWNLOADS - len(downloads))
    for option, value in (("--companion-url", args.companion_url), ("--ads-url", args.ads_url)):
        if value:
            check_address(option, value)
    release_url = check_address("--release-url", args.release_url or server + RELEASE_PATH)
    version_url = check_address("--version-url", args.version_url or server + VERSION_PATH)

    md5, sha256, size = digests(installer)
    if size == 0:
        raise PublishError("%s is empty" % installer)
    out = args.out
    os.makedirs(os.path.join(out, "files"), exist_ok=True)
    target = os.path.join(out, "files", name)
    if not os.path.exists(target) or not os.path.samefile(installer, target):
        shutil.copyfile(installer, target + ".tmp")
        os.replace(target + ".tmp", target)

    reply = {"data": reply_members(args, downloads, md5, sha256)}
    write_text(os.path.join(out, "release.json"), json.dumps(reply, indent=2) + "\n")
    write_text(os.path.join(out, "version.ini"), "[Version]\nProductVersion = %s\n" % args.version)
    pinned = args.pin
    lines = [
        "; Paste into the [Product] section of InitConfigure.ini (release %s)." % args.version,
        "DownloadInfoUrl=" + release_url,
        "UpdateIni=" + version_url,
        "; Empty: the release reply names the download and its digest. --pin sets them here instead.",
        "DownloadUrl=" + (downloads[0] if pinned else ""),
        "URLMD5=" + (md5 if pinned else ""),
        "URLSHA256=" + (sha256 if pinned else ""),
        "fileRealName=" + (name if pinned else ""),
    ]
    if args.report_url:
        lines.append("UpdateEventUrl=" + check_address("--report-url", args.report_url))
    write_text(os.path.join(out, "InitConfigure-release.ini"), "\n".join(lines) + "\n")
    record = {
        "version": args.version,
        "file": name,
        "size": size,
        "md5": md5,
        "sha256": sha256,
        "downloads": [d for d in downloads if d],
        "release_url": release_url,
        "version_url": version_url,
        "published": datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ"),
    }
    write_text(os.path.join(out, "release-record.json"), json.dumps(record, indent=2) + "\n")
    return record, lines


def write_text(path, text):
    with open(path + ".tmp", "w", encoding="utf-8", newline="\n") as f:
        f.write(text)
    os.replace(path + ".tmp", path)


def main(argv=None):
    parser = argparse.ArgumentParser(description="Writes the release reply, the version file and the "
                                     "configuration lines for a built installer.")
    parser.add_argument("installer", help="the product's full installer")
    parser.add_argument("--version", required=True, help="the product version it installs (curNum, version.ini)")
    parser.add_argument("--server", required=True,
                        help="base address of the release server: the reply is at <server>/release, the version "
                        "file at <server>/version.ini, the installer at <server>/files/ unless --download-base")
    parser.add_argument("--download-base", action="append",
                        help="folder address the installer is served from; repeat for the fallbacks "
                        "(download2, download3), at most 3")
    parser.add_argument("--release-url", help="address setup.exe posts its release query to (DownloadInfoUrl)")
    parser.add_argument("--version-url", help="address of the version file (UpdateIni)")
    parser.add_argument("--report-url", help="run-report address (UpdateEventUrl) to paste as well")
    parser.add_argument("--companion-url", help="companion product's downloader, started after a good install")
    parser.add_argument("--refer-number", help="number passed on to the companion run")
    parser.add_argument("--ads-url", help="web page shown in the progress page's ads panel")
    parser.add_argument("--testid", help="test identifier (kept in the reply; the program does not act on it)")
    parser.add_argument("--kill-switch", action="store_true",
                        help="end a running product without asking (default: ask the user to close it)")
    parser.add_argument("--no-setup-log", action="store_true", help="WriteLogSwitch false")
    parser.add_argument("--pin", action="store_true",
                        help="also put DownloadUrl, URLMD5, URLSHA256 and fileRealName into the configuration lines")
    parser.add_argument("--out", default="published", help="output folder (default ./published)")
    args = parser.parse_args(argv)
    try:
        record, lines = publish(args)
    except (PublishError, OSError) as e:
        sys.stderr.write("publish: %s\n" % e)
        return 1
    print("published %s %s: %d bytes, MD5 %s, SHA-256 %s" % (record["file"], record["version"], record["size"],
                                                             record["md5"], record["sha256"]))
    print("into %s; paste these lines into InitConfigure.ini [Product]:" % os.path.abspath(args.out))
    print("\n".join(line for line in lines if not line.startswith(";")))
    return 0


if __name__ == "__main__":
    sys.exit(main())
