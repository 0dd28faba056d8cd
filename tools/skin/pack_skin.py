#!/usr/bin/env python3
"""Packs skin folders into one zip, byte for byte the same on every build.

usage: pack_skin.py OUTPUT.zip FOLDER [FOLDER...]

Members are sorted by name, dated 1980-01-01 00:00, deflated with zlib at
level 9 (stored when that does not shrink them), with no extra fields and no
comments, so the archive depends only on the folders' contents. A later
folder's file replaces an earlier folder's file of the same name.
"""
import os
import struct
import sys
import zlib

DOS_DATE = (0 << 9) | (1 << 5) | 1  # 1980-01-01
DOS_TIME = 0


def collect(folders):
    files = {}
    for folder in folders:
        for root, dirs, names in os.walk(folder):
            dirs.sort()
            for name in sorted(names):
                path = os.path.join(root, name)
                rel = os.path.relpath(path, folder).replace(os.sep, "/")
                files[rel] = path
    return [(name, files[name]) for name in sorted(files)]


def pack(output, folders):
    local_parts = []
    directory = []
    offset = 0
    for name, path in collect(folders):
        with open(path, "rb") as f:
            data = f.read()
        crc = zlib.crc32(data) & 0xFFFFFFFF
        compressor = zlib.compressobj(9, zlib.DEFLATED, -15, 9)
        packed = compressor.compress(data) + compressor.flush()
        method = 8
        if len(packed) >= len(data):
            packed, method = data, 0
        raw_name = name.encode("utf-8")
        flags = 0x800  # names are UTF-8
        header = struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, flags, method, DOS_TIME, DOS_DATE,
                             crc, len(packed), len(data), len(raw_name), 0)
        local_parts += [header, raw_name, packed]
        directory.append(struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, flags, method,
                                     DOS_TIME, DOS_DATE, crc, len(packed), len(data),
                                     len(raw_name), 0, 0, 0, 0, 0o100644 << 16, offset) + raw_name)
        offset += len(header) + len(raw_name) + len(packed)
    directory_bytes = b"".join(directory)
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(directory), len(directory),
                      len(directory_bytes), offset, 0)
    content = b"".join(local_parts) + directory_bytes + end
    # Leave an unchanged archive untouched so nothing downstream rebuilds.
    if os.path.exists(output):
        with open(output, "rb") as f:
            if f.read() == content:
                return
    os.makedirs(os.path.dirname(os.path.abspath(output)), exist_ok=True)
    temporary = output + ".tmp"
    with open(temporary, "wb") as f:
        f.write(content)
    os.replace(temporary, output)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    pack(sys.argv[1], sys.argv[2:])
