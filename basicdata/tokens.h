// The words and symbols that name the special characters and commands of a dump, and the
// lister's map from every byte value to its text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct TokenEntry {
  std::u16string_view text;
  uint16_t code;
};

// Immutable rows in ascending order of code; every text and every code occurs once.
struct TokenTable {
  const TokenEntry* entries;
  size_t count;
};

// The lowercase words the converter accepts, such as "print" for 0x74.
extern const TokenTable inputTable;
// The lister's default texts: symbols for the arrows and signs, keywords with a trailing space.
extern const TokenTable symbolTable;
// The lister's editable texts: each input word followed by one space.
extern const TokenTable editableTable;

constexpr int kNoCode = -1;

// The code of the entry whose text equals word exactly (case-sensitive, whole word), or kNoCode.
int codeOf(const TokenTable& table, std::u16string_view word);

// The lister's text for each of the 256 byte values; a slot may be empty.
struct SlotMap {
  std::array<std::u16string, 256> slots;
};

// Slots 0x20..0x7F start as the character of their own code; then each table entry, upper-cased
// when asked, replaces the slot of its code.
SlotMap buildSlotMap(const TokenTable& table, bool upperCase);
