#include "basicdata/tokens.h"

#include <cstring>
#include <iterator>

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

// The end marker closes both lister tables; no byte is ever shown through it.
constexpr TokenEntry symbolEntries[] = {
    {u"\u25B2", 0x5E}, {u"\u25C4", 0x5F},   {u"\u25BC", 0x60},  {u"\u25BA", 0x61},
    {u"\u00D7", 0x62}, {u"\u00F7", 0x63},   {u"a", 0x64},       {u"b", 0x65},
    {u"c", 0x66},      {u"d", 0x67},        {u"list ", 0x68},   {u"clear ", 0x69},
    {u"run ", 0x6A},   {u"next ", 0x6B},    {u"line ", 0x6C},   {u"if ", 0x6D},
    {u"goto ", 0x6E},  {u"gosub ", 0x6F},   {u"return ", 0x70}, {u"box ", 0x71},
    {u"for ", 0x72},   {u"input ", 0x73},   {u"print ", 0x74},  {u"step ", 0x75},
    {u"rnd ", 0x76},   {u"to ", 0x77},      {u"data ", 0x78},   {u"circle ", 0x79},
    {u"point ", 0x7A}, {u"default ", 0x7B}, {u"show ", 0x7C},   {u"snap ", 0x7D},
    {u"zero ", 0x7E},  {u"scroll ", 0x7F},  {u"<EOF>", 0xFF},
};

constexpr TokenEntry editableEntries[] = {
    {u"null ", 0x00},   {u"erase ", 0x1F},  {u"up ", 0x5E},    {u"left ", 0x5F},
    {u"down ", 0x60},   {u"right ", 0x61},  {u"mul ", 0x62},   {u"div ", 0x63},
    {u"a ", 0x64},      {u"b ", 0x65},      {u"c ", 0x66},     {u"d ", 0x67},
    {u"list ", 0x68},   {u"clear ", 0x69},  {u"run ", 0x6A},   {u"next ", 0x6B},
    {u"line ", 0x6C},   {u"if ", 0x6D},     {u"goto ", 0x6E},  {u"gosub ", 0x6F},
    {u"return ", 0x70}, {u"box ", 0x71},    {u"for ", 0x72},   {u"input ", 0x73},
    {u"print ", 0x74},  {u"step ", 0x75},   {u"rnd ", 0x76},   {u"to ", 0x77},
    {u"data ", 0x78},   {u"circle ", 0x79}, {u"point ", 0x7A}, {u"default ", 0x7B},
    {u"show ", 0x7C},   {u"snap ", 0x7D},   {u"zero ", 0x7E},  {u"scroll ", 0x7F},
    {u"<EOF>", 0xFF},
};

template <size_t N>
constexpr size_t longestTextBytes(const TokenEntry (&entries)[N]) {
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

constexpr TokenTable symbolTable = {symbolEntries, std::size(symbolEntries)};
constexpr TokenTable editableTable = {editableEntries, std::size(editableEntries)};
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
