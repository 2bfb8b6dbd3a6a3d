#!/usr/bin/env python3
"""Finds kWordSlotFactor (basicdata/tokens.h): a multiplier that gives every input word of
basicdata/tokens.cpp its own slot in the converter's word table.

Run from anywhere: python3 tools/find_slot_factor.py [--check]
Keys and slots are computed as indexWords() and wordSlotFor() compute them. The factor is the first
of a fixed pseudo-random sequence (splitmix64 from 0) that works, written into tokens.h. With
--check it writes nothing and fails when the committed factor is not that one. Fails when the words
cannot be told apart: a word that packs into no key, two words with one key, or no factor in the
first TRIES of the sequence.
"""

import pathlib
import re
import sys

BASICDATA = pathlib.Path(__file__).resolve().parent.parent / "basicdata"
MASK = (1 << 64) - 1
TRIES = 1 << 22


def constant(header, name):
    return int(re.search(rf"\b{name} = (0x[0-9A-F]+|\d+)u?;", header)[1], 0)


def input_words(source):
    """The text of each row of inputEntries."""
    table = re.search(r"inputEntries\[\] = \{(.*?)\n\};", source, re.S)[1]
    return [text.encode("ascii").decode("unicode_escape")
            for text in re.findall(r'\{u"((?:[^"\\]|\\.)*)", 0x[0-9A-Fa-f]+\}', table)]


def key_of(text, longest):
    """The word's bytes, the first lowest; None for a word that packs into no key."""
    if not 0 < len(text) <= longest or any(not 0 < ord(c) < 0x80 for c in text):
        return None
    return sum(ord(c) << 8 * i for i, c in enumerate(text))


def factors():
    state = 0
    while True:
        state = (state + 0x9E3779B97F4A7C15) & MASK
        z = ((state ^ state >> 30) * 0xBF58476D1CE4E5B9) & MASK
        z = ((z ^ z >> 27) * 0x94D049BB133111EB) & MASK
        yield z ^ z >> 31


def separates(factor, keys, bits):
    slots = set()
    for key in keys:
        slot = (key * factor & MASK) >> (64 - bits)
        if slot in slots:
            return False
        slots.add(slot)
    return True


def main():
    header_path = BASICDATA / "tokens.h"
    header = header_path.read_text(encoding="utf-8")
    words = input_words((BASICDATA / "tokens.cpp").read_text(encoding="utf-8"))
    bits, committed = constant(header, "kWordSlotBits"), constant(header, "kWordSlotFactor")
    keys = {}
    for text in words:
        key = key_of(text, constant(header, "kLongestWord"))
        if key is None:
            sys.exit(f"find_slot_factor: '{text}' packs into no key: 1 to kLongestWord ASCII "
                     "characters, none of them zero")
        if key in keys:
            sys.exit(f"find_slot_factor: '{keys[key]}' and '{text}' have the same key")
        keys[key] = text
    if len(keys) > 1 << bits:
        sys.exit(f"find_slot_factor: {len(keys)} words for {1 << bits} slots: raise kWordSlotBits")
    for _, factor in zip(range(TRIES), factors()):
        if separates(factor, keys, bits):
            break
    else:
        sys.exit(f"find_slot_factor: no factor in {TRIES} tries gives the {len(keys)} words "
                 f"slots of their own among {1 << bits}: raise kWordSlotBits")
    print(f"0x{factor:016X} gives each of the {len(keys)} input words its own slot")
    if "--check" in sys.argv[1:]:
        if factor != committed:
            sys.exit(f"find_slot_factor: tokens.h has 0x{committed:016X}; run the tool")
    else:
        header_path.write_text(re.sub(r"(kWordSlotFactor = 0x)[0-9A-F]+", rf"\g<1>{factor:016X}",
                                      header), encoding="utf-8")


if __name__ == "__main__":
    main()
