#!/usr/bin/env python3
"""Reads the three demo setups as a person checking them would: lists the TRAMVELON
resources of each Tram.exe with its own PE reader, takes the archives out and reads them
with Python's zipfile, unzip and 7z (the AES entries), and compares every entry with the
payload folders and the built files.

Usage: demo_setups_test.py SOURCE_DIR BUILD_DIR [TVUNINSTALL_EXE]
(the uninstaller when the build has one: UNINSTALL then carries it)
"""
import io
import os
import struct
import subprocess
import sys
import tempfile
import zipfile

source, build = sys.argv[1:3]
uninstaller = sys.argv[3] if len(sys.argv) > 3 else ""
demo = os.path.join(source, "demo")
PASSWORD = "Translate4U"
failures = []


def check(condition, text):
    if not condition:
        failures.append(text)
    return condition


def pe_sections(data):
    pe, = struct.unpack_from("<I", data, 0x3C)
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE file")
    count, = struct.unpack_from("<H", data, pe + 6)
    opt_size, = struct.unpack_from("<H", data, pe + 20)
    opt = pe + 24
    dirs = opt + (112 if struct.unpack_from("<H", data, opt)[0] == 0x20B else 96)
    rsrc_rva, _ = struct.unpack_from("<II", data, dirs + 2 * 8)
    sections = [struct.unpack_from("<8xIIII", data, opt + opt_size + 40 * i) for i in range(count)]
    return rsrc_rva, sections


def resources(data):
    """[(type, name, language, bytes)] of a PE file; names are str, numbers int."""
    rsrc_rva, sections = pe_sections(data)
    if rsrc_rva == 0:
        return []

    def offset(rva):
        for vsize, va, rawsize, raw in sections:
            if va <= rva < va + max(vsize, rawsize):
                return rva - va + raw
        raise ValueError("RVA outside the sections")

    base = offset(rsrc_rva)

    def entries(pos):
        named, ids = struct.unpack_from("<HH", data, pos + 12)
        for i in range(named + ids):
            name, value = struct.unpack_from("<II", data, pos + 16 + 8 * i)
            if name & 0x80000000:
                at = base + (name & 0x7FFFFFFF)
                n, = struct.unpack_from("<H", data, at)
                name = data[at + 2:at + 2 + 2 * n].decode("utf-16-le")
            yield name, value & 0x7FFFFFFF

    out = []
    for rtype, t in entries(base):
        for rname, n in entries(base + t):
            for lang, leaf in entries(base + n):
                rva, size = struct.unpack_from("<II", data, base + leaf)
                out.append((rtype, rname, lang, data[offset(rva):offset(rva) + size]))
    return out


def folder_files(root):
    """{entry name: bytes} of every file below root."""
    out = {}
    for d, _, files in os.walk(root):
        for f in files:
            path = os.path.join(d, f)
            out[os.path.relpath(path, root).replace(os.sep, "/")] = open(path, "rb").read()
    return out


def built(*parts):
    return open(os.path.join(build, *parts), "rb").read()


def read_archive(setup, res, data, password=None):
    """{name: bytes}; checks the archive's form on the way."""
    z = zipfile.ZipFile(io.BytesIO(data))
    infos = z.infolist()
    names = [i.filename for i in infos]
    check(names == sorted(names, key=lambda n: n.encode()), "%s %s: entries not sorted" % (setup, res))
    check(len({i.date_time for i in infos}) <= 1, "%s %s: entries with different times" % (setup, res))
    check(all("\\" not in n and not n.endswith("/") for n in names), "%s %s: odd entry names" % (setup, res))
    encrypted = [i.filename for i in infos if i.flag_bits & 1]
    if password is None:
        check(not encrypted, "%s %s: encrypted entries %s" % (setup, res, encrypted))
        check(z.testzip() is None, "%s %s: damaged" % (setup, res))
        with tempfile.NamedTemporaryFile(suffix=".zip") as f:
            f.write(data)
            f.flush()
            check(subprocess.run(["unzip", "-tqq", f.name]).returncode == 0, "%s %s: unzip -t fails" % (setup, res))
        return {i.filename: z.read(i) for i in infos}
    check(len(encrypted) == len(infos), "%s %s: not every entry encrypted" % (setup, res))
    for i in infos:  # WinZip AES: method 99, extra field 0x9901 with strength 3 (256 bits)
        pos = i.extra.find(b"\x01\x99")
        check(i.compress_type == 99 and pos >= 0 and i.extra[pos + 8] == 3,
              "%s %s: %s is no AES-256 entry" % (setup, res, i.filename))
    out = {}
    with tempfile.TemporaryDirectory() as tmp:
        archive = os.path.join(tmp, "a.zip")
        open(archive, "wb").write(data)
        wrong = subprocess.run(["7z", "x", "-y", "-pnot" + password, "-o" + tmp + "/w", archive],
                               capture_output=True)
        check(wrong.returncode != 0, "%s %s: 7z accepts a wrong password" % (setup, res))
        right = subprocess.run(["7z", "x", "-y", "-p" + password, "-o" + tmp + "/x", archive], capture_output=True)
        if check(right.returncode == 0, "%s %s: 7z cannot decrypt: %s" % (setup, res, right.stdout[-300:])):
            out = folder_files(tmp + "/x")
    return out


def check_setup(name, exe, expected, password=None):
    data = open(exe, "rb").read()
    payload = {}
    print("%s: %s, %d bytes" % (name, os.path.relpath(exe, build), len(data)))
    for rtype, rname, lang, content in resources(data):
        if rtype != "TRAMVELON":
            continue
        want = 1033 if rname.startswith("LICENSETEXT") else 0
        check(lang == want, "%s %s: language %d, not %d" % (name, rname, lang, want))
        print("  %-14s language %4d  %7d bytes" % (rname, lang, len(content)))
        payload[rname] = content
    check(sorted(payload) == sorted(expected), "%s: resources %s, expected %s" % (name, sorted(payload), sorted(expected)))
    for res, want in expected.items():
        if res not in payload:
            continue
        if isinstance(want, bytes):
            check(payload[res] == want, "%s %s: differs from its payload file" % (name, res))
            continue
        got = read_archive(name, res, payload[res], password if res == "PACKAGE" else None)
        check(sorted(got) == sorted(want), "%s %s: entries %s, expected %s" % (name, res, sorted(got), sorted(want)))
        for entry in set(got) & set(want):
            check(got[entry] == want[entry], "%s %s: %s differs from its source" % (name, res, entry))
    return payload


def version_of(exe_bytes):
    for rtype, _, _, content in resources(exe_bytes):
        if rtype == 16:  # RT_VERSION: VS_FIXEDFILEINFO after the "VS_VERSION_INFO" key
            pos = content.find(struct.pack("<I", 0xFEEF04BD))
            ms, ls = struct.unpack_from("<II", content, pos + 8)
            return ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF
    return None


full, docs, app = os.path.join(demo, "full"), os.path.join(build, "demo", "docs"), os.path.join(build, "demo", "app")
languages = {"Tramvelon." + c: built("demo", "app", "Tramvelon." + c) for c in ("DEU", "ARA", "RU", "CHT")}
application = dict(folder_files(os.path.join(full, "APPLICATION")),
                   **{"Tramvelon.exe": built("demo", "app", "Tramvelon.exe"),
                      "Tramvelon.chm": built("demo", "docs", "Tramvelon.chm"),
                      "Tramvelon.pdf": built("demo", "docs", "Tramvelon.pdf")})
spellcheck = dict(folder_files(os.path.join(full, "SPELLCHECK")),
                  **{n: built("demo", "app", n) for n in ("TvSpell.dll", "TvHunspell.dll")})
uninstall = folder_files(os.path.join(full, "UNINSTALL"))
if uninstaller:
    uninstall["TvUninstall.exe"] = open(uninstaller, "rb").read()
common = {"APPLICATION": application, "SPELLCHECK": spellcheck, "UNINSTALL": uninstall,
          "LANGUAGEFILES": dict(languages, **{"Tramvelon_DEU.chm": built("demo", "docs", "Tramvelon_DEU.chm")})}
licences = {n: open(os.path.join(full, n), "rb").read() for n in os.listdir(full) if n.startswith("LICENSETEXT")}

full_expected = dict(common, **licences)
for group in os.listdir(full):
    if os.path.isdir(os.path.join(full, group)) and group not in common:
        full_expected[group] = folder_files(os.path.join(full, group))
full_expected["VCL"]["TvVcl.hlp"] = built("demo", "docs", "TvVcl.hlp")
package = os.path.join(demo, "package")
package_expected = dict(common, PACKAGE=folder_files(os.path.join(package, "PACKAGE")),
                        INFO=open(os.path.join(package, "INFO"), "rb").read(), **licences)

setups = os.path.join(build, "setups")
check_setup("full", os.path.join(setups, "full", "Tram.exe"), full_expected)
check_setup("tramtest", os.path.join(setups, "full", "tramtest.exe"), full_expected)
check_setup("package", os.path.join(setups, "package", "Tram.exe"), package_expected)
check_setup("package-aes", os.path.join(setups, "package-aes", "Tram.exe"), package_expected, PASSWORD)

# What the install run and the finish page look for in the archives.
check(set(full_expected) >= {"TUTORIAL", "XML", "HTML", "TEXT", "VCL", "NET", "COMMON", "README"},
      "sample groups missing")
check("Readme.html" in full_expected["README"], "README has no Readme.html")
check({"TvVcl.hlp", "TvVcl.cnt"} <= set(full_expected["VCL"]), "VCL lacks its help files")
for group, path in (("HTML", "Country/Country.tvp"), ("HTML", "JSP/Country.tvp"), ("TEXT", "Ini/Country.tvp"),
                    ("TEXT", "Text/Country.tvp"), ("XML", "Country.tvp"), ("VCL", "Delphi/Converter/Converter.tvp"),
                    ("NET", "WinForms/CSharp/Converter/Project/Converter.tvp")):
    check(path in full_expected[group], "no sample project %s in %s" % (path, group))
check(licences["LICENSETEXT"].startswith(b"\xef\xbb\xbf"), "LICENSETEXT has no byte-order mark")

# The built program and its language files.
check(version_of(application["Tramvelon.exe"]) == (4, 0, 354, 0), "Tramvelon.exe is not version 4.0.354")
icons = [r for r in resources(application["Tramvelon.exe"]) if r[0] == 14]
check([r[1] for r in icons] == [1, 2, 3], "Tramvelon.exe icons: %s" % [r[1] for r in icons])
for code, lang in (("DEU", 0x0407), ("ARA", 0x0401), ("RU", 0x0419), ("CHT", 0x0404)):
    strings = [r for r in resources(languages["Tramvelon." + code]) if r[0] == 6]
    check(strings and all(r[2] == lang for r in strings), "Tramvelon.%s: string table not in language %#x" % (code, lang))
check(application["Tramvelon.chm"][:4] == b"ITSF", "Tramvelon.chm is no compiled help file")
check(application["Tramvelon.pdf"].startswith(b"%PDF-1.4") and b"%%EOF" in application["Tramvelon.pdf"][-8:],
      "Tramvelon.pdf is no PDF")

for f in failures:
    print("FAILED: " + f)
print("demo setups: %s" % ("%d faults" % len(failures) if failures else "as built from their payload"))
sys.exit(1 if failures else 0)
