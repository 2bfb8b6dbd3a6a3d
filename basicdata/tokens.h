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

constexpr size_t kMaxTokenEntries = 64;
constexpr char16_t kIndexedInitials = 128;

// Immutable rows in ascending order of code; every text and every code occurs once. The rows whose
// text starts with a code unit u below kIndexedInitials are listed by index in
// byInitial[firstOfInitial[u]] up to byInitial[firstOfInitial[u + 1]], so that a lookup compares
// a word only with the few texts that start like it.
struct TokenTable {
  const TokenEntry* entries;
  size_t count;
  uint8_t firstOfInitial[kIndexedInitials + 1];
  uint8_t byInitial[kMaxTokenEntries];
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
