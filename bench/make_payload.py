#!/usr/bin/env python3
"""Writes a big payload folder for the install benchmark (bench/install-big.sh): about
200 MB in about 3,000 files, in several groups, each a tree of folders up to six levels
deep with about eight files per folder, of mixed sizes and compressibility (text that deflates well, half-random binaries, random data
that stays stored, and two large entries). The same seed gives the same folder.

  make_payload.py OUT [--files N] [--megabytes M] [--seed S]

Besides the folder it writes OUT.points: the places where the benchmark presses Escape,
as "name<TAB>group<TAB>path inside the group's folder<TAB>bytes", in the order the run
extracts them (groups ascending, entries in tvpack's order).
"""
import argparse
import math
import os
import random
import shutil

# Resource names; every one but APPLICATION is a sample group below the samples folder.
GROUPS = ["APPLICATION", "BINARY", "DATABASE", "HTML", "JAVA", "NET", "TEXT", "XML", "MEDIA"]
WORDS = ("translation project resource string form dialog caption hint value language locale "
         "country converter sample glossary memory segment unit source target binary table "
         "column record field button label menu item window help topic index").split()
LICENSE = "\ufeffLicence of the benchmark payload.\r\nGenerated data, no rights reserved.\r\n"


def text_pool(rnd, size):
    """Lines of words: deflates to about a third, like source and resource files."""
    out, n = [], 0
    while n < size:
        line = " ".join(rnd.choice(WORDS) for _ in range(rnd.randint(3, 14)))
        line = "%s%d = \"%s\"\r\n" % (rnd.choice(WORDS), rnd.randint(0, 9999), line)
        out.append(line)
        n += len(line)
    return "".join(out).encode("ascii")[:size]


def content(rnd, pool, kind, size):
    if kind == "text":
        start = rnd.randrange(0, len(pool) - size) if size < len(pool) else 0
        data = pool[start:start + size]
        while len(data) < size:
            data += pool[:size - len(data)]
        return data
    if kind == "random":
        return rnd.randbytes(size)
    # Half-random: blocks of random bytes between runs of structure, as in programs.
    parts, n = [], 0
    while n < size:
        k = min(size - n, rnd.randint(256, 8192))
        parts.append(rnd.randbytes(k) if rnd.random() < 0.5 else bytes(k // 4) + pool[:k - k // 4])
        n += k
    return b"".join(parts)[:size]


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("out")
    ap.add_argument("--files", type=int, default=3000)
    ap.add_argument("--megabytes", type=int, default=200)
    ap.add_argument("--seed", type=int, default=4)
    a = ap.parse_args()
    rnd = random.Random(a.seed)
    pool = text_pool(rnd, 1 << 21)
    if os.path.exists(a.out):
        shutil.rmtree(a.out)

    # The two large entries: one stored (random), one deflated (text).
    large = [("MEDIA", "Video/Intro/Tour.dat", "random", 48 << 20),
             ("MEDIA", "Words/Large.lex", "text", 32 << 20)]
    rest = a.files - len(large)
    budget = (a.megabytes << 20) - sum(s for *_, s in large)
    # Log-normal sizes (most files a few KB, some MB), scaled to the budget.
    raw = [math.exp(rnd.gauss(9.6, 1.5)) for _ in range(rest)]
    scale = budget / sum(raw)
    # Each group is a tree of folders (up to six levels below the group's folder) that
    # hold about eight files each, some many more, as source trees and sample folders do.
    trees = {}
    for group in GROUPS:
        tree = [[]]
        while len(tree) < max(2, rest // len(GROUPS) // 8):
            parent = rnd.choice(tree)
            if len(parent) < 5:
                tree.append(parent + ["%s%02d" % (rnd.choice(WORDS).capitalize(), rnd.randint(0, 99))])
        trees[group] = tree
    files = list(large)
    for i, r in enumerate(raw):
        group = GROUPS[i % len(GROUPS)]
        tree = trees[group]
        folders = tree[min(int(rnd.paretovariate(1.2)) - 1, len(tree) - 1) if rnd.random() < 0.3 else rnd.randrange(len(tree))]
        kind = rnd.choices(["text", "mixed", "random"], [0.6, 0.25, 0.15])[0]
        ext = {"text": ".txt", "mixed": ".bin", "random": ".dat"}[kind]
        path = "/".join(folders + ["%s%04d%s" % (rnd.choice(WORDS), i, ext)])
        files.append((group, path, kind, max(1, int(r * scale))))

    total = 0
    for group, path, kind, size in files:
        full = os.path.join(a.out, group, *path.split("/"))
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as f:
            f.write(content(rnd, pool, kind, size))
        total += size
    with open(os.path.join(a.out, "LICENSETEXT"), "w", encoding="utf-8", newline="") as f:
        f.write(LICENSE)

    # Extraction order: groups ascending (UNINSTALL comes first but is tiny), entries by
    # the bytes of their UTF-8 names.
    order = sorted(files, key=lambda f: (f[0], f[1].encode("utf-8")))
    points, done = [], 0
    for name, share in (("early", 0.05), ("middle", 0.5)):
        done = 0
        for f in order:
            if done >= total * share and f[3] >= 4096 and f not in large:
                points.append((name, f))
                break
            done += f[3]
    for name, f in (("large-stored", large[0]), ("large-deflated", large[1])):
        points.append((name, f))
    with open(a.out + ".points", "w") as out:
        for name, (group, path, _, size) in points:
            out.write("%s\t%s\t%s\t%d\n" % (name, group, path, size))
    print("%s: %d files, %.1f MB in %d groups" % (a.out, len(files), total / 1e6, len(GROUPS)))


if __name__ == "__main__":
    main()
