#include "basicdata/tokens.h"

#include <cstring>
#include <iterator>

#include "basicdata/dump_format.h"
#include "services/text.h"

namespace {

// The converter's lowercase words, such as "print" for 0x74; it finds them through wordSlots.
constexpr TokenEntry inputEntries[] = {
    {u"null", 0x00},   {u"erase", 0x1F},   {u"up", 0x5E},   {u"left", 0x5F},  {u"down", 0x60},
    {u"right", 0x61},  {u"mul", 0x62},     {u"div", 0x63},  {u"a", 0x64},     {u"b", 0x65},
    {u"c", 0x66},      {u"d", 0x67},       {u"list", 0x68}, {u"clear", 0x69}, {u"run", 0x6A},
    {u"next", 0x6B},   {u"line", 0x6C},    {u"if", 0x6D},   {u"goto", 0x6E},  {u"gosub", 0x6F},
    {u"return", 0x70}, {u"box", 0x71},     {u"for", 0x72},  {u"input", 0x73}, {u"print", 0x74},
    {u"step", 0x75},   {u"rnd", 0x76},     {u"to", 0x77},   {u"data", 0x78},  {u"circle", 0x79},
    {u"point", 0x7A},  {u"default", 0x7B}, {u"show", 0x7C}, {u"snap", 0x7D},  {u"zero", 0x7E},
    {u"scroll", 0x7F},
};

// The symbols that the default listing shows for 0x5E..0x63, the arrows up, left, down, right,
// multiply and divide.
constexpr std::u16string_view kSymbols[] = {u"\u25B2", u"\u25C4", u"\u25BC",
                                            u"\u25BA", u"\u00D7", u"\u00F7"};
static_assert(std::size(kSymbols) == kSymbolCount);
constexpr size_t kInputWords = std::size(inputEntries);

// A text of a lister table, kept here: a word, with a blank after it when asked.
struct TextBuffer {
  char16_t units[kLongestWord + 1];
  size_t size;
};

constexpr TextBuffer textOf(std::u16string_view text, bool blank) {
  TextBuffer buffer = {};
  for (char16_t unit : text)
    buffer.units[buffer.size++] = unit;
  if (blank) buffer.units[buffer.size++] = u' ';
  return buffer;
}

// The editable texts: every input word and a blank.
constexpr std::array<TextBuffer, kInputWords> editableTexts = [] {
  std::array<TextBuffer, kInputWords> texts = {};
  for (size_t i = 0; i < kInputWords; ++i)
    texts[i] = textOf(inputEntries[i].text, true);
  return texts;
}();

// The default texts, of the codes from the first symbol on: the symbols, then a to d as they are,
// then the commands, each with a blank.
constexpr size_t kFirstSymbolRow = 2;  // after null and erase
constexpr size_t kSymbolRows = kInputWords - kFirstSymbolRow;
constexpr std::array<TextBuffer, kSymbolRows> symbolTexts = [] {
  std::array<TextBuffer, kSymbolRows> texts = {};
  for (size_t i = 0; i < kSymbolRows; ++i) {
    const TokenEntry& entry = inputEntries[kFirstSymbolRow + i];
    texts[i] = entry.code < dump::kFirstLetterSpecial
                   ? textOf(kSymbols[entry.code - dump::kFirstSpecial], false)
                   : textOf(entry.text, entry.code >= dump::kFirstCommand);
  }
  return texts;
}();

template <size_t N>
constexpr std::array<TokenEntry, N> entriesOf(const std::array<TextBuffer, N>& texts,
                                              size_t firstRow) {
  std::array<TokenEntry, N> entries = {};
  for (size_t i = 0; i < N; ++i)
    entries[i] = {{texts[i].units, texts[i].size}, inputEntries[firstRow + i].code};
  return entries;
}

constexpr std::array<TokenEntry, kInputWords> editableEntries = entriesOf(editableTexts, 0);
constexpr std::array<TokenEntry, kSymbolRows> symbolEntries =
    entriesOf(symbolTexts, kFirstSymbolRow);
static_assert(inputEntries[kFirstSymbolRow].code == dump::kFirstSpecial &&
                  inputEntries[kFirstSymbolRow + std::size(kSymbols)].code ==
                      dump::kFirstLetterSpecial,
              "the symbols follow null and erase, and a to d follow them");

// The UTF-8 form of a text of up to three bytes a character.
constexpr SymbolBytes utf8Of(std::u16string_view text, int code) {
  SymbolBytes symbol = {{}, 0, code};
  for (char16_t unit : text) {
    if (unit < 0x80) {
      symbol.bytes[symbol.size++] = static_cast<char>(unit);
    } else if (unit < 0x800) {
      symbol.bytes[symbol.size++] = static_cast<char>(0xC0 | unit >> 6);
      symbol.bytes[symbol.size++] = static_cast<char>(0x80 | (unit & 0x3F));
    } else {
      symbol.bytes[symbol.size++] = static_cast<char>(0xE0 | unit >> 12);
      symbol.bytes[symbol.size++] = static_cast<char>(0x80 | (unit >> 6 & 0x3F));
      symbol.bytes[symbol.size++] = static_cast<char>(0x80 | (unit & 0x3F));
    }
  }
  return symbol;
}

template <typename Entries>
constexpr size_t longestTextBytes(const Entries& entries) {
  size_t longest = 0;
  for (const TokenEntry& entry : entries) {
    size_t bytes = 0;
    for (char16_t unit : entry.text)
      bytes += unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
    longest = bytes > longest ? bytes : longest;
  }
  return longest;
}

struct WordIndex {
  std::array<WordSlot, 1u << kWordSlotBits> slots;
  bool wordsHaveOwnSlots;
};

constexpr WordIndex indexWords() {
  WordIndex index = {};
  for (WordSlot& slot : index.slots)
    slot = {0, kNoCode};
  index.wordsHaveOwnSlots = true;
  for (const TokenEntry& entry : inputEntries) {
    bool packs = !entry.text.empty() && entry.text.size() <= kLongestWord;
    uint64_t key = 0;
    for (size_t i = entry.text.size(); i-- > 0;) {
      packs = packs && entry.text[i] != 0 && entry.text[i] < 0x80;
      key = key << 8 | entry.text[i];
    }
    WordSlot& slot = index.slots[(key * kWordSlotFactor) >> (64 - kWordSlotBits)];
    index.wordsHaveOwnSlots = index.wordsHaveOwnSlots && packs && slot.code == kNoCode;
    slot = {key, entry.code};
  }
  return index;
}

constexpr WordIndex wordIndex = indexWords();
static_assert(wordIndex.wordsHaveOwnSlots,
              "every input word packs into a key of its own slot: run tools/find_slot_factor.py");
static_assert(longestTextBytes(inputEntries) <= kLongestTextBytes &&
                  longestTextBytes(symbolEntries) <= kLongestTextBytes &&
                  longestTextBytes(editableEntries) <= kLongestTextBytes,
              "kLongestTextBytes bounds every text");

}  // namespace

constexpr TokenTable symbolTable = {symbolEntries.data(), symbolEntries.size()};
constexpr TokenTable editableTable = {editableEntries.data(), editableEntries.size()};
constexpr std::array<SymbolBytes, kSymbolCount> symbolBytes = [] {
  std::array<SymbolBytes, kSymbolCount> symbols = {};
  for (size_t i = 0; i < kSymbolCount; ++i)
    symbols[i] = utf8Of(kSymbols[i], dump::kFirstSpecial + static_cast<int>(i));
  return symbols;
}();
constexpr std::array<WordSlot, 1u << kWordSlotBits> wordSlots = wordIndex.slots;

SlotMap buildSlotMap(const TokenTable& table, bool upperCase) {
  SlotMap map;
  for (char16_t code = 0x20; code <= 0x7F; ++code)
    map.slots[code] = std::u16string(1, code);
  for (size_t i = 0; i < table.count; ++i) {
    const TokenEntry& entry = table.entries[i];
    map.slots[entry.code] = upperCase ? toUpper(entry.text) : std::u16string(entry.text);
  }
  return map;
}
