#!/usr/bin/env python3
"""Compiles an HTML Help project with chmcmd (Free Pascal's CHM compiler) and pins the
time stamps that it writes, so that the same sources give the same .chm.

Usage: make_chm.py PROJECT.hhp OUT.chm WORKDIR [CHMCMD]
The project folder is copied to WORKDIR first: the compiler writes beside the project.
The projects have no keyword index (.hhk): chmcmd writes an uninitialised byte into it.
"""
import os
import shutil
import struct
import subprocess
import sys

# 2015-05-04 18:18:08 UTC as a FILETIME (100 ns units since 1601).
FIXED_FILETIME = (1430763488 + 11644473600) * 10000000


def encint(data, pos):
    value = 0
    while True:
        b = data[pos]
        pos += 1
        value = (value << 7) | (b & 0x7F)
        if b < 0x80:
            return value, pos


def directory(data):
    """The entries of the directory chunks: name -> (section, offset, length)."""
    (off1, len1), = [struct.unpack_from("<QQ", data, 0x48)]
    itsp = data[off1:off1 + len1]
    if itsp[:4] != b"ITSP":
        raise SystemExit("make_chm: no ITSP header")
    header_len, = struct.unpack_from("<I", itsp, 8)
    chunk_size, = struct.unpack_from("<I", itsp, 0x10)
    chunks, = struct.unpack_from("<I", itsp, 0x2C)
    entries = {}
    for c in range(chunks):
        chunk = itsp[header_len + c * chunk_size:header_len + (c + 1) * chunk_size]
        if chunk[:4] != b"PMGL":
            continue
        free, = struct.unpack_from("<I", chunk, 4)
        pos = 20
        while pos < chunk_size - free:
            n, pos = encint(chunk, pos)
            name = chunk[pos:pos + n].decode("utf-8")
            pos += n
            section, pos = encint(chunk, pos)
            offset, pos = encint(chunk, pos)
            length, pos = encint(chunk, pos)
            entries[name] = (section, offset, length)
    return entries


def pin_times(data):
    data = bytearray(data)
    if data[:4] != b"ITSF":
        raise SystemExit("make_chm: no ITSF header")
    struct.pack_into("<I", data, 0x10, 0)  # the header's own time stamp
    content, = struct.unpack_from("<Q", data, 0x58)
    section, offset, length = directory(data)["/#SYSTEM"]
    if section != 0:
        raise SystemExit("make_chm: #SYSTEM is compressed")
    pos, end = content + offset + 4, content + offset + length
    while pos + 4 <= end:
        code, size = struct.unpack_from("<HH", data, pos)
        if code == 4 and size >= 28:  # LCID, flags, ..., FILETIME of the compilation
            struct.pack_into("<Q", data, pos + 4 + 20, FIXED_FILETIME)
        elif code == 10 and size == 4:  # the compilation time again, 32 bits
            struct.pack_into("<I", data, pos + 4, 0)
        pos += 4 + size
    return bytes(data)


project, out, work = sys.argv[1:4]
chmcmd = sys.argv[4] if len(sys.argv) > 4 else "chmcmd"
src = os.path.dirname(os.path.abspath(project))
shutil.rmtree(work, ignore_errors=True)
shutil.copytree(src, work)
hhp = os.path.join(work, os.path.basename(project))
log = subprocess.run([chmcmd, "--no-html-scan", hhp], cwd=work, capture_output=True, text=True)
compiled = os.path.join(work, os.path.splitext(os.path.basename(project))[0] + ".chm")
if log.returncode != 0 or not os.path.exists(compiled):
    sys.stderr.write(log.stdout + log.stderr)
    raise SystemExit("make_chm: chmcmd failed on " + project)
with open(compiled, "rb") as f:
    data = pin_times(f.read())
with open(out + ".tmp", "wb") as f:
    f.write(data)
os.replace(out + ".tmp", out)
