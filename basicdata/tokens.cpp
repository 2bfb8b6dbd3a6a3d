#include "basicdata/tokens.h"

#include "services/text.h"

namespace {

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
constexpr TokenTable tableOf(const TokenEntry (&entries)[N]) {
  static_assert(N <= kMaxTokenEntries, "byInitial holds every row");
  TokenTable table = {entries, N, {}, {}};
  uint8_t listed = 0;
  for (char16_t initial = 0; initial < kIndexedInitials; ++initial) {
    table.firstOfInitial[initial] = listed;
    for (uint8_t row = 0; row < N; ++row) {
      if (!entries[row].text.empty() && entries[row].text[0] == initial) {
        table.byInitial[listed++] = row;
      }
    }
  }
  table.firstOfInitial[kIndexedInitials] = listed;
  return table;
}

}  // namespace

constexpr TokenTable inputTable = tableOf(inputEntries);
constexpr TokenTable symbolTable = tableOf(symbolEntries);
constexpr TokenTable editableTable = tableOf(editableEntries);

int codeOf(const TokenTable& table, std::u16string_view word) {
  if (!word.empty() && word[0] < kIndexedInitials) {
    for (size_t i = table.firstOfInitial[word[0]]; i < table.firstOfInitial[word[0] + 1]; ++i) {
      const TokenEntry& entry = table.entries[table.byInitial[i]];
      if (entry.text == word) return entry.code;
    }
    return kNoCode;
  }
  for (size_t i = 0; i < table.count; ++i) {
    if (table.entries[i].text == word) return table.entries[i].code;
  }
  return kNoCode;
}

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
