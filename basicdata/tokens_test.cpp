#include "basicdata/tokens.h"

#include <gtest/gtest.h>

#include "services/text.h"

namespace {

TEST(Tokens, CodeOfMatchesWholeLowercaseWordsOnly) {
  struct Case {
    std::u16string word;
    int code;
  };
  const Case cases[] = {
      {u"print", 0x74},     {u"a", 0x64},       {u"null", 0x00},     {u"erase", 0x1F},
      {u"scroll", 0x7F},    {u"up", 0x5E},      {u"PRINT", kNoCode}, {u"Print", kNoCode},
      {u"print ", kNoCode}, {u"prin", kNoCode}, {u"e", kNoCode},     {u"", kNoCode},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.code, codeOf(inputTable, c.word)) << std::string(c.word.begin(), c.word.end());
  }
}

TEST(Tokens, TablesAreOrderedAndUnique) {
  EXPECT_EQ(36u, inputTable.count);
  EXPECT_EQ(35u, symbolTable.count);
  EXPECT_EQ(37u, editableTable.count);
  for (const TokenTable* table : {&inputTable, &symbolTable, &editableTable}) {
    for (size_t i = 0; i < table->count; ++i) {
      const TokenEntry& entry = table->entries[i];
      if (i > 0) {
        EXPECT_LT(table->entries[i - 1].code, entry.code);
      }
      // A text found first at another entry would shadow this one.
      EXPECT_EQ(entry.code, codeOf(*table, entry.text));
    }
  }
}

// A listing written with the editable texts must convert back to the same codes.
TEST(Tokens, EditableTextsAreInputWordsWithOneSpace) {
  for (size_t i = 0; i + 1 < editableTable.count; ++i) {
    const TokenEntry& entry = editableTable.entries[i];
    ASSERT_EQ(u' ', entry.text.back());
    EXPECT_EQ(entry.code, codeOf(inputTable, entry.text.substr(0, entry.text.size() - 1)));
  }
  // Of the symbol texts only the letters a to d are input words.
  int accepted = 0;
  for (size_t i = 0; i < symbolTable.count; ++i) {
    int code = codeOf(inputTable, symbolTable.entries[i].text);
    if (code != kNoCode) {
      EXPECT_EQ(symbolTable.entries[i].code, code);
      ++accepted;
    }
  }
  EXPECT_EQ(4, accepted);
}

TEST(Tokens, SlotMapsHoldCharactersSymbolsAndKeywords) {
  SlotMap symbols = buildSlotMap(symbolTable, true);
  SlotMap editable = buildSlotMap(editableTable, false);
  struct Case {
    int slot;
    std::u16string symbol;
    std::u16string editable;
  };
  const Case cases[] = {
      {0x00, u"", u"null "},      {0x1F, u"", u"erase "},       {0x20, u" ", u" "},
      {0x41, u"A", u"A"},         {0x5D, u"]", u"]"},           {0x5E, u"\u25B2", u"up "},
      {0x62, u"\u00D7", u"mul "}, {0x63, u"\u00F7", u"div "},   {0x64, u"A", u"a "},
      {0x68, u"LIST ", u"list "}, {0x74, u"PRINT ", u"print "}, {0x7F, u"SCROLL ", u"scroll "},
      {0xFF, u"<EOF>", u"<EOF>"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.symbol, symbols.slots[c.slot]) << c.slot;
    EXPECT_EQ(c.editable, editable.slots[c.slot]) << c.slot;
  }
  for (int slot = 0; slot < 256; ++slot) {
    bool meaningless = (slot >= 0x01 && slot <= 0x1E) || (slot >= 0x80 && slot <= 0xFE);
    if (!meaningless) continue;
    EXPECT_EQ(u"", symbols.slots[slot]) << slot;
    EXPECT_EQ(u"", editable.slots[slot]) << slot;
  }
}

}  // namespace
