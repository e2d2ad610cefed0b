#!/usr/bin/python3
"""Writes the zip of a staged folder: entries in a fixed order, each with the
same time (the commit's) and the same attributes, so that two builds of one
commit give the same bytes.

    write_zip.py STAGE_ROOT OUT.zip EPOCH
"""
import os
import sys
import time
import zipfile

# Zip times start in 1980.
ZIP_EPOCH_MIN = 315532800


def main():
    root, out, epoch = sys.argv[1], sys.argv[2], int(sys.argv[3])
    stamp = time.gmtime(max(epoch, ZIP_EPOCH_MIN))[:6]
    files = []
    for folder, _, names in os.walk(root):
        files += [os.path.relpath(os.path.join(folder, n), root) for n in names]
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        for rel in sorted(files, key=lambda p: p.replace(os.sep, "/")):
            info = zipfile.ZipInfo(rel.replace(os.sep, "/"), stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            info.create_system = 0
            with open(os.path.join(root, rel), "rb") as f:
                z.writestr(info, f.read(), compresslevel=9)


if __name__ == "__main__":
    main()
