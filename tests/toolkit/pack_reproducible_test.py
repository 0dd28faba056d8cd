#!/usr/bin/env python3
"""Packs the same folders twice, with different file times in between, and
checks the archives are identical and readable by Python's own zip reader."""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

packer, *folders = sys.argv[1:]
with tempfile.TemporaryDirectory() as work:
    first, second = os.path.join(work, "a.zip"), os.path.join(work, "b.zip")
    subprocess.run([sys.executable, packer, first, *folders], check=True)
    copies = []
    for i, folder in enumerate(folders):
        copy = os.path.join(work, "copy%d" % i)
        shutil.copytree(folder, copy)
        for root, _, names in os.walk(copy):
            for name in names:
                os.utime(os.path.join(root, name), (time.time() - 86400, time.time() - 86400))
        copies.append(copy)
    subprocess.run([sys.executable, packer, second, *copies], check=True)
    a, b = open(first, "rb").read(), open(second, "rb").read()
    if a != b:
        sys.exit("packing is not reproducible")
    with zipfile.ZipFile(first) as z:
        if z.testzip() is not None:
            sys.exit("archive fails its own checksums")
        names = z.namelist()
        if names != sorted(names) or not names:
            sys.exit("members not sorted: %r" % names)
print("reproducible:", len(a), "bytes")
