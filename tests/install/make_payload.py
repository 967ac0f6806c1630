#!/usr/bin/env python3
"""Builds the test payload archives and the .rc file that embeds them as TRAMVELON resources.

Usage: make_payload.py OUTDIR
"""
import io
import os
import shutil
import subprocess
import struct
import sys
import tempfile
import zipfile
import zlib

out = sys.argv[1]
os.makedirs(out, exist_ok=True)


def write_zip(name, entries, method=zipfile.ZIP_DEFLATED):
    """entries: list of (name, bytes or None for a folder entry)."""
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", method) as z:
        for n, data in entries:
            if data is None:
                z.writestr(zipfile.ZipInfo(n), b"")
            else:
                z.writestr(n, data)
    return buf.getvalue()


def save(name, data):
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)


text = b"".join(b"line %d of the sample text\r\n" % i for i in range(200))
plain = write_zip("plain", [
    ("a.txt", b"alpha\r\n"),
    ("Data/", None),
    ("Data/Sub/x.txt", text),
    ("Dict/de.lex", b"lexicon de" * 50),
    ("Dict/fr.lex", b"lexicon fr" * 50),
])
save("plain.zip", plain)

deep = write_zip("deep", [("z.txt", b"zeta")])
inner = write_zip("inner", [("a.txt", b"inner alpha"), ("B/b.txt", b"inner beta"), ("deep.zip", deep)])
save("nested.zip", write_zip("nested", [("outer.txt", b"outer"), ("inner.zip", inner)], zipfile.ZIP_STORED))

# Encrypted archives come from the packers themselves.
work = tempfile.mkdtemp()
try:
    os.makedirs(os.path.join(work, "pkg"))
    with open(os.path.join(work, "pkg", "project.tvp"), "wb") as f:
        f.write(b"<project name='demo'/>" * 20)
    with open(os.path.join(work, "pkg", "readme.txt"), "wb") as f:
        f.write(b"read me\r\n" * 10)
    target = os.path.join(out, "encrypted.zip")
    if os.path.exists(target):
        os.remove(target)
    subprocess.run(["zip", "-q", "-P", "secret", "-D", target, "pkg/project.tvp", "pkg/readme.txt"],
                   cwd=work, check=True)
    target = os.path.join(out, "aes.zip")
    if os.path.exists(target):
        os.remove(target)
    subprocess.run(["7z", "a", "-bd", "-bso0", "-tzip", "-mem=AES256", "-psecret", target,
                    "pkg/project.tvp", "pkg/readme.txt"], cwd=work, check=True)
finally:
    shutil.rmtree(work)



def colliding_password(archive):
    """A wrong password that passes the one-byte header check of the first traditional entry."""
    data = open(archive, "rb").read()
    assert data[:4] == b"PK\x03\x04"
    flags, = struct.unpack_from("<H", data, 6)
    mtime, = struct.unpack_from("<H", data, 10)
    crc, = struct.unpack_from("<I", data, 14)
    nlen, xlen = struct.unpack_from("<HH", data, 26)
    header = data[30 + nlen + xlen:30 + nlen + xlen + 12]
    check = (mtime >> 8) if flags & 8 else (crc >> 24)

    def step(k, c):
        return ~zlib.crc32(bytes([c]), ~k & 0xFFFFFFFF) & 0xFFFFFFFF

    for n in range(100000):
        pw = b"w%05d" % n
        k0, k1, k2 = 0x12345678, 0x23456789, 0x34567890
        for c in pw:
            k0 = step(k0, c)
            k1 = ((k1 + (k0 & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
            k2 = step(k2, k1 >> 24)
        last = 0
        for b in header:
            t = (k2 | 2) & 0xFFFF
            last = b ^ (((t * (t ^ 1)) >> 8) & 0xFF)
            k0 = step(k0, last)
            k1 = ((k1 + (k0 & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
            k2 = step(k2, k1 >> 24)
        if last == check:
            return pw.decode()
    raise SystemExit("no colliding password found")


with open(os.path.join(out, "payload_password.h"), "w") as f:
    f.write('#define TV_COLLIDING_PASSWORD u"%s"\n' % colliding_password(os.path.join(out, "encrypted.zip")))

# Damaged: the second entry's stored data altered, so its CRC no longer matches.
damaged = bytearray(write_zip("damaged", [("good.txt", b"good data"), ("bad.txt", b"bad data here")],
                              zipfile.ZIP_STORED))
pos = damaged.find(b"bad data here")
damaged[pos] ^= 0x20
save("damaged.zip", bytes(damaged))

# An entry that would leave the destination.
save("evil.zip", write_zip("evil", [("fine.txt", b"fine"), ("../escape.txt", b"escaped")]))

names = {"PLAIN": "plain.zip", "NESTED": "nested.zip", "ENCRYPTED": "encrypted.zip", "AES": "aes.zip",
         "DAMAGED": "damaged.zip", "EVIL": "evil.zip"}
with open(os.path.join(out, "payload.rc"), "w") as f:
    f.write("LANGUAGE 0, 0\n")
    for res, file in names.items():
        f.write('%s TRAMVELON "%s"\n' % (res, os.path.join(out, file).replace("\\", "/")))
