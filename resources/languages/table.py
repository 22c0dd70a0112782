#!/usr/bin/env python3
"""Turns the language files into C++ the build compiles in.

  table.py table OUT.cpp FILE.txt...   the languages, for the program
  table.py marked OUT.cpp SOURCE...    the texts the code marks (T, Say), for
                                       the test that every language has each
"""
import re
import sys


def unescape(text):
    return re.sub(r"\\(.)", lambda m: "\n" if m.group(1) == "n" else m.group(1), text)


def literal(text):
    data = text.encode("utf-8")
    out = ""
    for b in data:
        c = chr(b)
        if c in '"\\?':
            out += "\\" + c
        elif 32 <= b < 127:
            out += c
        else:
            out += "\\%03o" % b
    return '"' + out + '"'


def read(path):
    """The header (key: value) and the pairs of a language file."""
    header, pairs, lines = {}, [], []
    with open(path, encoding="utf-8") as f:
        body = False
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if line.startswith("#"):
                continue
            if not body:
                if not line.strip():
                    body = True
                    continue
                key, _, value = line.partition(":")
                header[key.strip()] = value.strip()
                continue
            if line.strip():
                lines.append((number, unescape(line)))
    if len(lines) % 2:
        sys.exit("%s:%d: a text without its translation" % (path, lines[-1][0]))
    for i in range(0, len(lines), 2):
        pairs.append((lines[i][1], lines[i + 1][1]))
    for key in ("code", "name", "english"):
        if key not in header:
            sys.exit("%s: the header has no %s" % (path, key))
    return header, pairs


def table(out, files):
    # English first: the language shown when no other fits.
    langs = sorted((read(p) for p in files), key=lambda h: h[0]["code"] != "en")
    rows = []
    with open(out, "w", encoding="utf-8") as f:
        f.write('#include "language_table.h"\n\nnamespace setup {\n\nnamespace {\n')
        for n, (header, pairs) in enumerate(langs):
            blob = "".join(e + "\0" + s + "\0" for e, s in pairs)
            f.write("const char kTexts%d[] =\n" % n)
            for e, s in pairs:
                f.write("    %s \"\\0\" %s \"\\0\"\n" % (literal(e), literal(s)))
            f.write('    "";\n')
            size = len(blob.encode("utf-8"))
            rows.append("    {%s, %s, %s, %s, %s, kTexts%d, %d},\n" % (
                literal(header["code"]), literal(header["name"]), literal(header["english"]),
                literal(header.get("matches", header["code"]).lower()),
                literal(header.get("decimal", ".")), n, size))
        f.write("}  // namespace\n\nconst LanguageTable kTables[] = {\n")
        f.write("".join(rows))
        f.write("};\nconst unsigned kTableCount = %d;\n\n}  // namespace setup\n" % len(rows))


MARK = re.compile(r'\b(?:T|Say)\(\s*((?:L"(?:[^"\\]|\\.)*"\s*)+)')
PIECE = re.compile(r'L"((?:[^"\\]|\\.)*)"')


def marked(out, sources):
    texts = {}
    for path in sources:
        with open(path, encoding="utf-8") as f:
            code = f.read()
        for m in MARK.finditer(code):
            text = unescape("".join(PIECE.findall(m.group(1))))
            line = code.count("\n", 0, m.start()) + 1
            texts.setdefault(text, "%s:%d" % (path.rsplit("/", 2)[-2] + "/" + path.rsplit("/", 1)[-1], line))
    with open(out, "w", encoding="utf-8") as f:
        f.write('#include "marked.h"\n\nnamespace setup::test {\n\nconst Marked kMarked[] = {\n')
        for text, where in sorted(texts.items()):
            f.write("    {%s, %s},\n" % (literal(text), literal(where)))
        f.write("};\nconst unsigned kMarkedCount = %d;\n\n}  // namespace setup::test\n" % len(texts))


if __name__ == "__main__":
    {"table": table, "marked": marked}[sys.argv[1]](sys.argv[2], sys.argv[3:])
