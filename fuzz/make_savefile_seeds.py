#!/usr/bin/env python3
"""Writes the seed corpus of savefile_fuzz: valid save data files and near-valid damaged ones.

Run from the repository root: python3 fuzz/make_savefile_seeds.py
"""
import os
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "savefile_fuzz")
VERSION = b"This save data version is 3"


def s(b, form=None):
    """An archive string; form forces the 16-bit ("w") or 32-bit ("d") length form."""
    n = len(b)
    if form == "d" or (form is None and n >= 0xFFFE):
        return b"\xff\xff\xff" + struct.pack("<I", n) + b
    if form == "w" or n >= 0xFF:
        return b"\xff" + struct.pack("<H", n) + b
    return bytes([n]) + b


def u32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def record(name=b"a.txt", folder=False, subs=(), count=None, layer=0, files=None, folds=None,
           full=b"/home/u/a.txt", form=None):
    subs = list(subs)
    n = len(subs) if count is None else count
    if files is None:
        files = sum(1 for x in subs if not x[1])
    if folds is None:
        folds = sum(1 for x in subs if x[1])
    out = u32(1 if folder else 0) + u32(n if folder else 0)
    out += u32(0) + u32(0) + u32(123) + u32(0) + u32(files) + u32(folds)
    out += u32(0) + u32(layer) + u32(len(name)) + u32(1) + u32(0) * 4 + u32(0)
    out += s(name, form) + s(name, form) + s(b"txt") + s(b"/home/u") + s(full) + s(b"")
    out += s(b"/home/u/DataTrace.txt") + s(b"000_" + name) + s(b"/home/u/000_" + name)
    out += u32(0) + bytes([2]) + bytes([0]) + u32(1700000000) + bytes([0x20])
    out += u32(1700000000) + u32(1700000000) + u32(123) + s(full)
    out += u32(0) + u32(123) + u32(0x80) + u32(0) + u32(0) + u32(1) + u32(2) + u32(3) + u32(4)
    out += u32(5) + u32(6) + s(b"A~1.TXT") + s(name)
    for sub in subs:
        out += sub[0]
    return (out, folder)


def tree():
    sj = "名前.txt".encode("cp932")
    d = record(b"sub", True, [record(b"x.txt", layer=2), record(sj, layer=2)], layer=1)
    return record(b"Root", True, [d, record(b"e.txt", layer=1),
                                  record(b"empty", True, [], layer=1)])


def nested(levels):
    inner = record(b"deep", True, [])
    for _ in range(levels):
        inner = record(b"d", True, [inner])
    return record(b"Root", True, [inner])


def main():
    os.makedirs(OUT, exist_ok=True)
    head = s(VERSION)
    seeds = {
        "root_only": head + record(b"Root", True, [])[0],
        "tree": head + tree()[0],
        "nested_20": head + nested(20)[0],
        "long_forms": head + record(b"Root", True, [record(b"w" * 300, form="w"),
                                                    record(b"dd", form="d")])[0],
        "long_path_300": head + record(b"Root", True, [record(full=b"/" + b"p" * 299)])[0],
        "old_version": s(b"This save data version is 2") + record(b"Root", True, [])[0],
        "count_too_big": head + record(b"Root", True, [], count=1073742)[0],
        "count_past_end": head + record(b"Root", True, [record()], count=5)[0],
        "wrong_counts": head + record(b"Root", True, [record(), record(b"f", True)],
                                      files=9, folds=-1, layer=7)[0],
        "counts_overflow": head + record(b"Root", True, [record(), record(b"f", True)],
                                         files=-1448542206, folds=-1448498775)[0],
        "truncated": (head + tree()[0])[:-40],
        "damaged_fffe": head + u32(0) + u32(0) + b"\x00" * 60 + b"\xff\xfe\xff",
        "header_only": head,
        "file_root": head + record(b"lonely.txt")[0],
    }
    for name, data in seeds.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
