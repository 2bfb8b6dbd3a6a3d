#!/usr/bin/env python3
"""Writes services/case_table.inc: the Unicode simple case mappings of the BMP as ranges.

Run from anywhere: python3 tools/gen_case_table.py [--check | --from-python]
It is made from tools/case_mappings.txt, the simple case mappings of the BMP in the Unicode
version its first line names; tools/unicode_table.py says what --check and --from-python do.
"""

import pathlib
import re
import unicodedata

from unicode_table import format_array, main

# str.upper() and str.lower() give full mappings. Where a full mapping has several characters the
# simple mapping of UnicodeData.txt is usually empty; these are the only characters where it is
# not.
UPPER_EXCEPTIONS = {
    **{code: code + 8 for code in range(0x1F80, 0x1F88)},
    **{code: code + 8 for code in range(0x1F90, 0x1F98)},
    **{code: code + 8 for code in range(0x1FA0, 0x1FA8)},
    0x1FB3: 0x1FBC,
    0x1FC3: 0x1FCC,
    0x1FF3: 0x1FFC,
}
LOWER_EXCEPTIONS = {0x0130: 0x0069}

ROOT = pathlib.Path(__file__).resolve().parent.parent
OUTPUT = ROOT / "services" / "case_table.inc"
EXTRACT = ROOT / "tools" / "case_mappings.txt"
ENTRIES_PER_LINE = 3


def simple_mapping(full, exceptions):
    """Maps each BMP code point that changes to its simple mapping, when that is in the BMP."""
    mapping = {}
    for code in range(0x10000):
        if 0xD800 <= code <= 0xDFFF:
            continue
        result = full(chr(code))
        if len(result) == 1:
            target = ord(result)
        else:
            target = exceptions.get(code)
        if target is not None and target != code and target < 0x10000:
            mapping[code] = target
    for code in exceptions:
        # A newer Unicode could give one of these a single-character full mapping.
        assert len(full(chr(code))) > 1, f"U+{code:04X} no longer needs an exception"
    return mapping


def format_extract(version, upper, lower):
    """The extract: a line per code point that changes, with its mappings as in fields 0, 12 and
    13 of UnicodeData.txt."""
    lines = [f"# Unicode {version}: simple case mappings of the BMP, made by tools/gen_case_table.py",
             "# code point;simple uppercase;simple lowercase (fields 0, 12, 13 of UnicodeData.txt)"]
    for code in sorted(set(upper) | set(lower)):
        fields = [code, upper.get(code), lower.get(code)]
        lines.append(";".join("" if field is None else f"{field:04X}" for field in fields))
    return "\n".join(lines) + "\n"


def read_extract():
    """The Unicode version of the extract, and its upper and lower mappings."""
    text = EXTRACT.read_text(encoding="ascii")
    version = re.match(r"# Unicode (\S+):", text).group(1)
    upper, lower = {}, {}
    for line in text.splitlines():
        if not line.startswith("#"):
            code, to_upper, to_lower = line.split(";")
            for mapping, field in ((upper, to_upper), (lower, to_lower)):
                if field:
                    mapping[int(code, 16)] = int(field, 16)
    return version, upper, lower


def to_ranges(mapping):
    """Splits the sorted mapping into the fewest runs of equal delta and stride 1 or 2.

    Every piece of a valid run is a valid run, so taking the longest run at each step is optimal.
    """
    codes = sorted(mapping)
    ranges = []
    i = 0
    while i < len(codes):
        first = codes[i]
        delta = mapping[first] - first
        stride = 1
        j = i + 1
        if j < len(codes) and codes[j] - first in (1, 2) and mapping[codes[j]] - codes[j] == delta:
            stride = codes[j] - first
            while (j < len(codes) and codes[j] - codes[j - 1] == stride
                   and mapping[codes[j]] - codes[j] == delta):
                j += 1
        ranges.append((first, codes[j - 1], delta, stride))
        i = j
    return ranges


def format_table(name, ranges):
    # The delta is stored modulo 2^16: one 16-bit field then covers every distance in the BMP.
    entries = [f"{{0x{first:04X}, 0x{last:04X}, 0x{delta & 0xFFFF:04X}, {stride}}}"
               for first, last, delta, stride in ranges]
    return format_array(f"static constexpr CaseRange {name}[]", entries, ENTRIES_PER_LINE)


def python_extract():
    """The extract as this Python's unicodedata gives it."""
    upper = simple_mapping(str.upper, UPPER_EXCEPTIONS)
    lower = simple_mapping(str.lower, LOWER_EXCEPTIONS)
    return format_extract(unicodedata.unidata_version, upper, lower)


def make_table():
    version, upper, lower = read_extract()
    upper_ranges = to_ranges(upper)
    lower_ranges = to_ranges(lower)
    tables = "\n".join([format_table("kUpperRanges", upper_ranges), "",
                        format_table("kLowerRanges", lower_ranges)])
    return version, tables, f"{len(upper_ranges)} upper ranges, {len(lower_ranges)} lower ranges"


if __name__ == "__main__":
    main(__doc__, "tools/gen_case_table.py", OUTPUT, EXTRACT, python_extract, make_table)
