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

// The lister's default texts: symbols for the arrows and signs, keywords with a trailing space.
extern const TokenTable symbolTable;
// The lister's editable texts: each input word followed by one space.
extern const TokenTable editableTable;

// The UTF-8 bytes of the six symbols of the default texts, for 0x5E..0x63 in this order.
struct SymbolBytes {
  char bytes[3];
  size_t size;
  int code;
};
constexpr size_t kSymbolCount = 6;
extern const std::array<SymbolBytes, kSymbolCount> symbolBytes;

// The most UTF-8 bytes of a text of these tables.
constexpr size_t kLongestTextBytes = 8;

constexpr int kNoCode = -1;

// The converter's words are looked up without comparing texts. A word of 1 to kLongestWord bytes
// packs into a key: its bytes, the first lowest, and zero bytes above them; no word holds a zero
// byte, so no two words share a key. The key picks the one slot a word can have in a table made
// when compiling.
constexpr size_t kLongestWord = 7;  // "default"
struct WordSlot {
  uint64_t key;
  int code;
};
constexpr unsigned kWordSlotBits = 6;
// The first factor of a fixed sequence that gives each input word its own slot, found by
// tools/find_slot_factor.py; run it again when the words change.
constexpr uint64_t kWordSlotFactor = 0xC38CC2CC5FFFBF0Cu;
extern const std::array<WordSlot, 1u << kWordSlotBits> wordSlots;

// The slot of the input word with this key, if there is one: the slot's key equals it. Other slots
// hold key 0 and kNoCode.
inline const WordSlot& wordSlotFor(uint64_t key) {
  return wordSlots[(key * kWordSlotFactor) >> (64 - kWordSlotBits)];
}

// The lister's text for each of the 256 byte values; a slot may be empty.
struct SlotMap {
  std::array<std::u16string, 256> slots;
};

// Slots 0x20..0x7F start as the character of their own code; then each table entry, upper-cased
// when asked, replaces the slot of its code.
SlotMap buildSlotMap(const TokenTable& table, bool upperCase);
