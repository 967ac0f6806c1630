#!/usr/bin/env python3
"""Writes TvVcl.hlp, the WinHelp file of the demo's component library: the WinHelp 3.1
container (header, internal directory as a B+ tree) with its |SYSTEM file (title,
copyright). Debian has no WinHelp compiler, so it carries no topics; the setup and the
development environments only need the file to be there and to be named in their indexes.

Usage: make_hlp.py OUT.hlp
"""
import struct
import sys

GEN_DATE = 1430763488  # 2015-05-04 18:18:08 UTC, fixed so that rebuilds give the same file
PAGE_SIZE = 1024


def internal_file(data):
    return struct.pack("<IIB", len(data) + 9, len(data), 4) + data


def system_file():
    def record(kind, text):
        data = text.encode("cp1252") + b"\0"
        return struct.pack("<HH", kind, len(data)) + data
    header = struct.pack("<HHHIH", 0x036C, 21, 1, GEN_DATE, 0)
    return header + record(1, "Tramvelon VCL Components") + record(2, "Copyright (c) Tramvelon")


def directory(files):
    """files: name -> offset of its internal file; one leaf page."""
    entries = b"".join(name.encode("ascii") + b"\0" + struct.pack("<I", off) for name, off in sorted(files.items()))
    page = struct.pack("<HHhh", PAGE_SIZE - 8 - len(entries), len(files), -1, -1) + entries
    page += b"\0" * (PAGE_SIZE - len(page))
    header = struct.pack("<HHH16sHHHhHHI", 0x293B, 0x0402, PAGE_SIZE, b"z4", 0, 0, 0, -1, 1, 1, len(files))
    return header + page


system = internal_file(system_file())
files = {"|SYSTEM": 16}
dir_start = 16 + len(system)
body = system + internal_file(directory(files))
out = struct.pack("<IIiI", 0x00035F3F, dir_start, -1, 16 + len(body)) + body
with open(sys.argv[1], "wb") as f:
    f.write(out)
