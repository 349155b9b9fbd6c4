#!/usr/bin/env python3
"""Turns the readable text of a translation table into a C++ file holding the
table in its stored format, returned by EmbeddedLanguageTable().

Input (UTF-8): lines starting with "#" and empty lines are ignored; "[source]"
starts the list of source texts, one a line; "[language NAME]" starts the
lines "source=translation" of the language NAME. Languages are stored in the
order they appear.

Stored format, all integers 32-bit little-endian: the source texts as one
UTF-16LE text (count of code units first), each line ended by CR LF; the
language count; per language its name and then its lines, CR LF between
lines, each as a counted UTF-16LE text. Texts and lines are sorted.
"""
import struct
import sys


class TableError(Exception):
    pass


def parse(text):
    sources = []
    languages = []  # (name, {source: translation})
    section = None
    for number, raw in enumerate(text.splitlines(), 1):
        line = raw.rstrip("\r")
        where = f"line {number}"
        if not line.strip() or line.startswith("#"):
            continue
        if line == "[source]":
            section = "source"
            continue
        if line.startswith("[language ") and line.endswith("]"):
            name = line[len("[language "):-1].strip()
            if not name:
                raise TableError(f"{where}: a language needs a name")
            if any(n.lower() == name.lower() for n, _ in languages):
                raise TableError(f"{where}: language {name} given twice")
            languages.append((name, {}))
            section = "language"
            continue
        if section == "source":
            if "=" in line:
                raise TableError(f"{where}: a source text with \"=\" could never be translated: {line!r}")
            if line in sources:
                raise TableError(f"{where}: source text given twice: {line!r}")
            sources.append(line)
        elif section == "language":
            name, lines = languages[-1]
            source, sep, translation = line.partition("=")
            if not sep:
                raise TableError(f"{where}: expected source=translation: {line!r}")
            if source not in sources:
                raise TableError(f"{where}: {source!r} is not a source text")
            if source in lines:
                raise TableError(f"{where}: {source!r} translated twice in {name}")
            lines[source] = translation
        else:
            raise TableError(f"{where}: text before [source]")
    return sources, languages


def counted(text):
    data = text.encode("utf-16-le")
    return struct.pack("<I", len(data) // 2) + data


def stored_table(sources, languages):
    out = bytearray(counted("".join(s + "\r\n" for s in sorted(sources))))
    out += struct.pack("<i", len(languages))
    for name, lines in languages:
        out += counted(name)
        out += counted("\r\n".join(sorted(f"{s}={t}" for s, t in lines.items())))
    return bytes(out)


def cpp_source(table, input_name):
    rows = []
    for i in range(0, len(table), 16):
        rows.append("    " + ", ".join(f"0x{b:02X}" for b in table[i:i + 16]) + ",")
    return (
        f"// Generated from {input_name} by tools/make_language_table.py; edit that file instead.\n"
        "#include \"lang/qv_language.h\"\n"
        "\n"
        "namespace zr {\n"
        "namespace {\n"
        "\n"
        f"const std::uint8_t kEmbeddedLanguageTable[{len(table)}] = {{\n"
        + "\n".join(rows) + "\n"
        "};\n"
        "\n"
        "}  // namespace\n"
        "\n"
        "std::span<const std::uint8_t> EmbeddedLanguageTable() { return kEmbeddedLanguageTable; }\n"
        "\n"
        "}  // namespace zr\n"
    )


def main(argv):
    if len(argv) != 3:
        print(f"usage: {argv[0]} TABLE.txt OUTPUT.cpp", file=sys.stderr)
        return 2
    source_path, output_path = argv[1], argv[2]
    with open(source_path, encoding="utf-8") as f:
        text = f.read()
    try:
        sources, languages = parse(text)
    except TableError as e:
        print(f"{source_path}: {e}", file=sys.stderr)
        return 1
    input_name = source_path.replace("\\", "/").rsplit("/", 2)
    input_name = "/".join(input_name[-2:])
    code = cpp_source(stored_table(sources, languages), input_name)
    with open(output_path, "w", encoding="utf-8", newline="\n") as f:
        f.write(code)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
