#!/usr/bin/env python3
"""Writes services/invisible_table.inc: the characters that visibleText shows by name, as ranges.

Run from anywhere: python3 tools/gen_invisible_table.py [--check | --from-python]
They are the format characters (general category Cf), the line and paragraph separators (Zl, Zp)
and every space but U+0020 (Zs): characters a terminal shows as nothing or as a blank, or that
reorder what is shown around them. The blank U+0020 is the listing's own and stays as it is.
It is made from tools/invisible_characters.txt, the code points of those categories in the
Unicode version its first line names; tools/unicode_table.py says what --check and --from-python
do.
"""

import pathlib
import re
import unicodedata

from unicode_table import format_array, main

CATEGORIES = ("Cf", "Zl", "Zp", "Zs")
BLANK = 0x20

ROOT = pathlib.Path(__file__).resolve().parent.parent
OUTPUT = ROOT / "services" / "invisible_table.inc"
EXTRACT = ROOT / "tools" / "invisible_characters.txt"
ENTRIES_PER_LINE = 4


def format_extract(version, categories):
    """The extract: a line per run of code points of one category, as in DerivedGeneralCategory.txt
    ("2000..200A;Zs")."""
    lines = [f"# Unicode {version}: general categories {', '.join(CATEGORIES)}, "
             "made by tools/gen_invisible_table.py",
             "# first code point[..last];category"]
    codes = sorted(categories)
    i = 0
    while i < len(codes):
        j = i + 1
        while (j < len(codes) and codes[j] == codes[j - 1] + 1
               and categories[codes[j]] == categories[codes[i]]):
            j += 1
        run = f"{codes[i]:04X}" if j == i + 1 else f"{codes[i]:04X}..{codes[j - 1]:04X}"
        lines.append(f"{run};{categories[codes[i]]}")
        i = j
    return "\n".join(lines) + "\n"


def read_extract():
    """The Unicode version of the extract, and the category of each of its code points."""
    text = EXTRACT.read_text(encoding="ascii")
    version = re.match(r"# Unicode (\S+):", text).group(1)
    categories = {}
    for line in text.splitlines():
        if not line.startswith("#"):
            run, category = line.split(";")
            assert category in CATEGORIES, line
            first, _, last = run.partition("..")
            for code in range(int(first, 16), int(last or first, 16) + 1):
                categories[code] = category
    return version, categories


def to_ranges(codes):
    """The sorted codes as the fewest ranges of consecutive code points."""
    ranges = []
    for code in sorted(codes):
        if ranges and ranges[-1][1] == code - 1:
            ranges[-1][1] = code
        else:
            ranges.append([code, code])
    return ranges


def format_table(ranges):
    entries = [f"{{0x{first:04X}, 0x{last:04X}}}" for first, last in ranges]
    return format_array("static constexpr CodeRange kInvisibleRanges[]", entries, ENTRIES_PER_LINE)


def python_extract():
    """The extract as this Python's unicodedata gives it."""
    categories = {}
    for code in range(0x110000):
        category = unicodedata.category(chr(code))
        if category in CATEGORIES:
            categories[code] = category
    return format_extract(unicodedata.unidata_version, categories)


def make_table():
    version, categories = read_extract()
    ranges = to_ranges(code for code in categories if code != BLANK)
    return version, format_table(ranges), f"{len(ranges)} ranges"


if __name__ == "__main__":
    main(__doc__, "tools/gen_invisible_table.py", OUTPUT, EXTRACT, python_extract, make_table)
