#!/usr/bin/env python3
"""Typesets a plain-text manual as a PDF with the standard Helvetica fonts.

Usage: make_pdf.py MANUAL.txt OUT.pdf
A line "# Title" is a chapter heading, "## Title" a section heading; a blank line ends a
paragraph; lines beginning with "- " are list items. The text is Latin-1 (WinAnsi) only.
The output holds no dates or identifiers, so the same text gives the same file.
"""
import sys
import textwrap

PAGE_W, PAGE_H, MARGIN = 595, 842, 56  # A4 in points
STYLES = {"h1": ("F2", 18, 28), "h2": ("F2", 13, 20), "p": ("F1", 10.5, 14)}


def blocks(text):
    para = []
    for line in text.splitlines() + [""]:
        if line.startswith("#") or line.startswith("- ") or not line.strip():
            if para:
                yield "p", " ".join(para)
                para = []
        if line.startswith("## "):
            yield "h2", line[3:]
        elif line.startswith("# "):
            yield "h1", line[2:]
        elif line.startswith("- "):
            yield "p", "\x95 " + line[2:]
        elif line.strip():
            para.append(line.strip())


def escape(s):
    return s.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)")


def pages(text):
    out, ops, y = [], [], PAGE_H - MARGIN
    for kind, content in blocks(text):
        font, size, lead = STYLES[kind]
        width = int((PAGE_W - 2 * MARGIN) / (size * 0.5))
        lines = textwrap.wrap(content, width) or [""]
        if kind != "p":
            y -= lead / 2
        for line in lines:
            if y < MARGIN + lead:
                out.append(ops)
                ops, y = [], PAGE_H - MARGIN
            y -= lead
            ops.append("BT /%s %g Tf %d %g Td (%s) Tj ET" % (font, size, MARGIN, y, escape(line)))
        y -= lead / 2
    out.append(ops)
    return out


def pdf(text, title):
    objs = {1: "<< /Type /Catalog /Pages 2 0 R >>",
            3: "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
            4: "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold /Encoding /WinAnsiEncoding >>",
            5: "<< /Title (%s) /Producer (make_pdf.py) >>" % escape(title)}
    kids = []
    for n, ops in enumerate(pages(text)):
        footer = "BT /F1 9 Tf %d %d Td (%d) Tj ET" % (PAGE_W // 2, MARGIN // 2, n + 1)
        stream = "\n".join(ops + [footer])
        page, content = 6 + 2 * n, 7 + 2 * n
        objs[page] = ("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 %d %d] /Contents %d 0 R "
                      "/Resources << /Font << /F1 3 0 R /F2 4 0 R >> >> >>") % (PAGE_W, PAGE_H, content)
        objs[content] = "<< /Length %d >>\nstream\n%s\nendstream" % (len(stream.encode("latin-1")), stream)
        kids.append("%d 0 R" % page)
    objs[2] = "<< /Type /Pages /Kids [%s] /Count %d >>" % (" ".join(kids), len(kids))
    body, offsets = b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n", {}
    for n in sorted(objs):
        offsets[n] = len(body)
        body += ("%d 0 obj\n%s\nendobj\n" % (n, objs[n])).encode("latin-1")
    xref = len(body)
    body += ("xref\n0 %d\n0000000000 65535 f \n" % (len(objs) + 1)).encode()
    body += "".join("%010d 00000 n \n" % offsets[n] for n in sorted(objs)).encode()
    body += ("trailer\n<< /Size %d /Root 1 0 R /Info 5 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objs) + 1, xref)).encode()
    return body


source, out = sys.argv[1:3]
with open(source, encoding="utf-8") as f:
    text = f.read()
title = next((l[2:] for l in text.splitlines() if l.startswith("# ")), "Manual")
with open(out, "wb") as f:
    f.write(pdf(text, title))
