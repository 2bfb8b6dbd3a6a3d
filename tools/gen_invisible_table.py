#!/usr/bin/env python3
"""Writes services/invisible_table.inc: the characters that visibleText shows by name, and the
combining marks, as ranges.

Run from anywhere: python3 tools/gen_invisible_table.py [--check | --from-python]
Shown by name are the characters a terminal shows as nothing or as a blank, or that reorder or
join what is shown around them:
- every Default_Ignorable_Code_Point, derived as DerivedCoreProperties.txt defines it:
  Other_Default_Ignorable_Code_Point + Cf + Variation_Selector - White_Space - FFF9..FFFB
  - 13430..13438 - Prepended_Concatenation_Mark. The four PropList.txt properties are written
  below as data, as Unicode 14.0.0 lists them; unicodedata has no such properties;
- the rest of Cf too: the interlinear annotation characters and the Egyptian hieroglyph format
  controls show as nothing in a terminal, and a prepended concatenation mark joins the digits
  after it;
- the line and paragraph separators (Zl, Zp), every space but U+0020 (Zs), and U+2800, the
  braille pattern blank, which is in none of these. The blank U+0020 is the listing's own.
The combining marks (Mn, Me) that are not named above are marked as such: visibleText names one
only where no visible character carries it, or where it is the third or later on one.
It is made from tools/invisible_characters.txt, the code points of those general categories in
the Unicode version its first line names; tools/unicode_table.py says what --check and
--from-python do.
"""

import pathlib
import re
import sys
import unicodedata

from unicode_table import format_array, main

CATEGORIES = ("Cf", "Me", "Mn", "Zl", "Zp", "Zs")
MARKS = ("Me", "Mn")
BLANK = 0x20
BRAILLE_BLANK = 0x2800

# PropList.txt of the Unicode version below, as (first, last) runs.
PROPLIST_VERSION = "14.0.0"
OTHER_DEFAULT_IGNORABLE = [
    (0x034F, 0x034F), (0x115F, 0x1160), (0x17B4, 0x17B5), (0x2065, 0x2065), (0x3164, 0x3164),
    (0xFFA0, 0xFFA0), (0xFFF0, 0xFFF8), (0xE0000, 0xE0000), (0xE0002, 0xE001F),
    (0xE0080, 0xE00FF), (0xE01F0, 0xE0FFF)]
VARIATION_SELECTOR = [(0x180B, 0x180D), (0x180F, 0x180F), (0xFE00, 0xFE0F), (0xE0100, 0xE01EF)]
WHITE_SPACE = [
    (0x0009, 0x000D), (0x0020, 0x0020), (0x0085, 0x0085), (0x00A0, 0x00A0), (0x1680, 0x1680),
    (0x2000, 0x200A), (0x2028, 0x2029), (0x202F, 0x202F), (0x205F, 0x205F), (0x3000, 0x3000)]
PREPENDED_CONCATENATION_MARK = [
    (0x0600, 0x0605), (0x06DD, 0x06DD), (0x070F, 0x070F), (0x0890, 0x0891), (0x08E2, 0x08E2),
    (0x110BD, 0x110BD), (0x110CD, 0x110CD)]
# Format characters that DerivedCoreProperties.txt leaves out of Default_Ignorable_Code_Point.
NOT_IGNORABLE_FORMATS = [(0xFFF9, 0xFFFB), (0x13430, 0x13438)]

ROOT = pathlib.Path(__file__).resolve().parent.parent
OUTPUT = ROOT / "services" / "invisible_table.inc"
EXTRACT = ROOT / "tools" / "invisible_characters.txt"
ENTRIES_PER_LINE = 3


def codes_of(runs):
    return {code for first, last in runs for code in range(first, last + 1)}


def default_ignorable(categories):
    """Default_Ignorable_Code_Point, from the general categories and the PropList data."""
    formats = {code for code, category in categories.items() if category == "Cf"}
    return ((codes_of(OTHER_DEFAULT_IGNORABLE) | formats | codes_of(VARIATION_SELECTOR))
            - codes_of(WHITE_SPACE) - codes_of(NOT_IGNORABLE_FORMATS)
            - codes_of(PREPENDED_CONCATENATION_MARK))


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


def to_ranges(kinds):
    """The code points of kinds, sorted, as the fewest ranges of consecutive code points of one
    kind: [first, last, kind]."""
    ranges = []
    for code in sorted(kinds):
        if ranges and ranges[-1][1] == code - 1 and ranges[-1][2] == kinds[code]:
            ranges[-1][1] = code
        else:
            ranges.append([code, code, kinds[code]])
    return ranges


def format_table(ranges):
    entries = [f"{{0x{first:04X}, 0x{last:04X}, {kind}}}" for first, last, kind in ranges]
    return format_array("static constexpr ShownRange kShownRanges[]", entries, ENTRIES_PER_LINE)


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
    if version != PROPLIST_VERSION:
        sys.exit(f"{EXTRACT} is of Unicode {version}, the PropList data here of "
                 f"{PROPLIST_VERSION}: write that version's lists into {__file__}")
    named = default_ignorable(categories) | {BRAILLE_BLANK}
    named |= {code for code, category in categories.items() if category in ("Cf", "Zl", "Zp", "Zs")}
    named.discard(BLANK)
    kinds = {code: "kMark" for code, category in categories.items() if category in MARKS}
    kinds.update((code, "kByName") for code in named)
    ranges = to_ranges(kinds)
    return version, format_table(ranges), f"{len(ranges)} ranges"


if __name__ == "__main__":
    main(__doc__, "tools/gen_invisible_table.py", OUTPUT, EXTRACT, python_extract, make_table)
