#!/usr/bin/env python3
"""Renders the skin twice (the second time from a copy with other file
times), checks both renderings are byte for byte the same, packs one and
checks the archive equals the build's dist/skin.zip, so the shipped archive
is exactly what the sources give.

usage: render_reproducible_test.py RENDER_SKIN PACK_SKIN SKIN_FOLDER BUILT_ZIP
"""
import filecmp
import os
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

render, pack, skin, built = sys.argv[1:]


def fail(message):
    sys.exit("skin_render_reproducible: " + message)


with tempfile.TemporaryDirectory() as work:
    copy = os.path.join(work, "skin")
    shutil.copytree(skin, copy)
    old = time.time() - 86400
    for root, _, names in os.walk(copy):
        for name in names:
            os.utime(os.path.join(root, name), (old, old))
    first, second = os.path.join(work, "a"), os.path.join(work, "b")
    subprocess.run([sys.executable, render, skin, first], check=True)
    subprocess.run([sys.executable, render, copy, second], check=True)
    comparison = filecmp.dircmp(first, second)
    if comparison.left_only or comparison.right_only:
        fail("the renderings hold different files: %r %r" % (comparison.left_only, comparison.right_only))
    _, mismatch, errors = filecmp.cmpfiles(first, second, sorted(os.listdir(first)), shallow=False)
    if mismatch or errors:
        fail("rendering is not reproducible: %r" % (mismatch + errors))

    packed = os.path.join(work, "skin.zip")
    subprocess.run([sys.executable, pack, packed, first], check=True)
    with zipfile.ZipFile(packed) as archive:
        if archive.testzip() is not None:
            fail("the archive fails its own checksums")
        for name in archive.namelist():
            if "/" in name or name.endswith(".svg") or name.endswith(".ini"):
                fail("a source or a folder reached the archive: " + name)
            if name.endswith(".xml") and b"{{" in archive.read(name):
                fail(name + " still names a palette colour")
    with open(packed, "rb") as a, open(built, "rb") as b:
        if a.read() != b.read():
            fail("%s differs from what the sources give (rebuild?)" % built)
print("reproducible:", os.path.getsize(built), "bytes")
