#!/usr/bin/env python3
"""Packs an installed tree into a release archive that any build of the same
commit reproduces byte for byte: entries in name order under one top
folder, every time the commit's (SOURCE_DATE_EPOCH), owner root, modes 755
for folders and programs and 644 for the rest, no other metadata.

  pack.py tgz|zip EPOCH TREE TOP OUT
"""
import gzip
import io
import os
import sys
import tarfile
import time
import zipfile


def entries(tree):
    """(path in the archive below TOP, path on disk, is a folder), sorted."""
    found = []
    for folder, dirs, files in os.walk(tree):
        for name in dirs + files:
            disk = os.path.join(folder, name)
            found.append((os.path.relpath(disk, tree).replace(os.sep, "/"),
                          disk, os.path.isdir(disk)))
    return sorted(found)


def mode(disk, is_dir):
    return 0o755 if is_dir or os.access(disk, os.X_OK) else 0o644


def tgz(epoch, tree, top, out):
    raw = io.BytesIO()
    with tarfile.open(fileobj=raw, mode="w", format=tarfile.GNU_FORMAT) as tar:
        for name, disk, is_dir in [(".", tree, True)] + entries(tree):
            info = tarfile.TarInfo(top if name == "." else f"{top}/{name}")
            info.type = tarfile.DIRTYPE if is_dir else tarfile.REGTYPE
            info.mode = mode(disk, is_dir)
            info.mtime = epoch
            info.uid = info.gid = 0
            info.uname = info.gname = "root"
            if is_dir:
                tar.addfile(info)
            else:
                info.size = os.path.getsize(disk)
                with open(disk, "rb") as f:
                    tar.addfile(info, f)
    with open(out, "wb") as f, gzip.GzipFile(
            filename="", mode="wb", fileobj=f, compresslevel=9,
            mtime=epoch) as z:
        z.write(raw.getvalue())


def zip_(epoch, tree, top, out):
    stamp = time.gmtime(max(epoch, 315532800))[:6]  # zip times start in 1980
    with zipfile.ZipFile(out, "w") as z:
        for name, disk, is_dir in entries(tree):
            info = zipfile.ZipInfo(f"{top}/{name}" + ("/" if is_dir else ""),
                                   stamp)
            info.create_system = 3  # Unix, so the modes below mean something
            info.external_attr = (mode(disk, is_dir)
                                  | (0o40000 if is_dir else 0o100000)) << 16
            if is_dir:
                z.writestr(info, b"")
            else:
                info.compress_type = zipfile.ZIP_DEFLATED
                with open(disk, "rb") as f:
                    z.writestr(info, f.read(), compresslevel=9)


if __name__ == "__main__":
    kind, epoch, tree, top, out = sys.argv[1:]
    (tgz if kind == "tgz" else zip_)(int(epoch), tree, top, out)
