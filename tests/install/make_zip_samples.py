#!/usr/bin/env python3
"""Writes zipsamples.inc: small archives made by foreign tools (Info-ZIP zip, 7-Zip, Python's
zipfile, bsdtar), with the files that unzip or 7z extract from them. The Windows tests carry
these bytes because the tools do not run there. Run it again after changing the tree."""
import io
import os
import random
import shutil
import subprocess
import sys
import tempfile
import zipfile

PASSWORD = "Geheim-42"
HERE = os.path.dirname(os.path.abspath(__file__))


def make_tree(root):
    rnd = random.Random(4711)
    files = {
        "readme.txt": "".join(f"Line {i}: the quick brown fox jumps over the lazy dog\n" for i in range(60)).encode(),
        "bin/data.bin": bytes(rnd.getrandbits(8) for _ in range(3000)),
        "bin/empty.dat": b"",
        "docs/deep/nested/notes.md": b"# Notes\n\n" + b"tramvelon " * 200,
        "Gr\u00f6\u00dfe.txt": "\u00c4pfel und Birnen\n".encode(),
    }
    for name, data in files.items():
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    return files


def run(cmd, cwd, **kw):
    subprocess.run(cmd, cwd=cwd, check=True, stdout=subprocess.DEVNULL, **kw)


class Unseekable(io.RawIOBase):
    def __init__(self, f):
        self.f = f

    def writable(self):
        return True

    def write(self, b):
        return self.f.write(b)


def python_stream(tree, out, files):
    with open(out, "wb") as f:
        with zipfile.ZipFile(Unseekable(f), "w", zipfile.ZIP_DEFLATED) as z:
            for name in files:
                z.write(os.path.join(tree, name), name,
                        compress_type=zipfile.ZIP_STORED if name.endswith(".bin") else zipfile.ZIP_DEFLATED)


def python_zip64(tree, out, files):
    # Tiny limits make zipfile write every Zip64 record and field it knows.
    old = zipfile.ZIP64_LIMIT, zipfile.ZIP_FILECOUNT_LIMIT
    zipfile.ZIP64_LIMIT, zipfile.ZIP_FILECOUNT_LIMIT = 16, 1
    try:
        with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
            for name in files:
                z.write(os.path.join(tree, name), name)
    finally:
        zipfile.ZIP64_LIMIT, zipfile.ZIP_FILECOUNT_LIMIT = old


def extract_oracle(archive, password):
    d = tempfile.mkdtemp()
    try:
        run(["7z", "x", "-y", f"-p{password}", f"-o{d}", archive], cwd=d)
        got = {}
        for base, _, names in os.walk(d):
            for n in names:
                p = os.path.join(base, n)
                with open(p, "rb") as f:
                    got[os.path.relpath(p, d).replace(os.sep, "/")] = f.read()
        return got
    finally:
        shutil.rmtree(d)


def c_bytes(data):
    out = []
    for i in range(0, len(data), 24):
        out.append("    " + "".join(f"{b}," for b in data[i:i + 24]))
    return "\n".join(out) if out else "    0,"


def main():
    work = tempfile.mkdtemp()
    try:
        tree = os.path.join(work, "tree")
        os.makedirs(tree)
        files = make_tree(tree)
        names = list(files)
        a = lambda n: os.path.join(work, n)
        samples = []  # (symbol, description, password, aes strength)

        def add(sym, desc, password="", aes=0):
            samples.append((sym, desc, password, aes))

        run(["zip", "-q", "-r", "-X", "-9", a("zip_deflate.zip"), "."], tree); add("zip_deflate", "zip -9")
        run(["zip", "-q", "-r", "-X", "-0", a("zip_stored.zip"), "."], tree); add("zip_stored", "zip -0")
        run(["zip", "-q", "-r", "-X", "-P", PASSWORD, a("zip_crypt.zip"), "."], tree)
        add("zip_crypt", "zip -P", PASSWORD)
        # Writing to a pipe gives data descriptors (and the time-based check byte).
        with open(a("zip_crypt_stream.zip"), "wb") as f:
            p = subprocess.Popen(["zip", "-q", "-X", "-P", PASSWORD, "-", *names], cwd=tree, stdout=subprocess.PIPE)
            shutil.copyfileobj(p.stdout, f)
            assert p.wait() == 0
        add("zip_crypt_stream", "zip -P to a pipe", PASSWORD)
        run(["zip", "-q", "-r", "-X", "-fz", a("zip_fz.zip"), "."], tree); add("zip_fz", "zip -fz")
        run(["7z", "a", "-tzip", "-mm=Deflate", a("sz_deflate.zip"), "."], tree); add("sz_deflate", "7z Deflate")
        run(["7z", "a", "-tzip", "-mm=Copy", a("sz_copy.zip"), "."], tree); add("sz_copy", "7z Copy")
        for bits, method, strength in ((128, "Deflate", 1), (192, "Copy", 2), (256, "Deflate", 3)):
            sym = f"sz_aes{bits}"
            run(["7z", "a", "-tzip", f"-mm={method}", f"-mem=AES{bits}", f"-p{PASSWORD}", a(sym + ".zip"), "."], tree)
            add(sym, f"7z AES-{bits} {method}", PASSWORD, strength)
        python_stream(tree, a("py_stream.zip"), names); add("py_stream", "zipfile to an unseekable stream")
        python_zip64(tree, a("py_zip64.zip"), names); add("py_zip64", "zipfile with Zip64 records")
        run(["bsdtar", "--format", "zip", "-cf", a("bsdtar.zip"), "."], tree); add("bsdtar", "bsdtar --format zip")

        lines = ["// Generated by make_zip_samples.py; do not edit.", "// clang-format off", ""]
        for sym, desc, password, aes in samples:
            with open(a(sym + ".zip"), "rb") as f:
                data = f.read()
            got = extract_oracle(a(sym + ".zip"), password or "none")
            if got != files:
                sys.exit(f"{sym}: 7z extracted something else than the tree: {sorted(got)}")
            lines.append(f"// {desc}")
            lines.append(f"static const unsigned char k_{sym}[] = {{\n{c_bytes(data)}\n}};")
        lines.append("")
        lines.append("static const TZipSample kZipSamples[] = {")
        for sym, desc, password, aes in samples:
            lines.append(f'    {{"{sym}", k_{sym}, sizeof k_{sym}, "{password}", {aes}}},')
        lines.append("};")
        lines.append("")
        lines.append("// The tree the archives were made from, as 7z extracted it.")
        for i, (name, data) in enumerate(files.items()):
            lines.append(f"static const unsigned char k_file{i}[] = {{\n{c_bytes(data)}\n}};")
        lines.append("static const TZipSampleFile kZipSampleFiles[] = {")
        for i, (name, data) in enumerate(files.items()):
            esc = "".join(f"\\{b:03o}" if b >= 0x80 else chr(b) for b in name.encode())
            lines.append(f'    {{"{esc}", k_file{i}, {len(data)}}},')
        lines.append("};")
        with open(os.path.join(HERE, "zipsamples.inc"), "w") as f:
            f.write("\n".join(lines) + "\n")
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
