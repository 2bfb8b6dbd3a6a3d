#include "basicdata/tokens.h"

#include <gtest/gtest.h>

namespace {

TEST(Tokens, CodeOfMatchesExactWholeWords) {
  EXPECT_EQ(0x74, codeOf(inputTable, u"print"));
  EXPECT_EQ(0x64, codeOf(inputTable, u"a"));  // the special character, not the letter
  for (std::u16string_view word : {u"PRINT", u"Print", u"print ", u"prin", u""}) {
    EXPECT_EQ(kNoCode, codeOf(inputTable, word));
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

TEST(Tokens, SlotMapsOfBothListerTables) {
  SlotMap symbols = buildSlotMap(symbolTable, true);
  SlotMap editable = buildSlotMap(editableTable, false);
  EXPECT_EQ(u"", symbols.slots[0x00]);
  EXPECT_EQ(u"null ", editable.slots[0x00]);
  EXPECT_EQ(u"A", symbols.slots[0x41]);
  EXPECT_EQ(u"\u00D7", symbols.slots[0x62]);
  EXPECT_EQ(u"A", symbols.slots[0x64]);
  EXPECT_EQ(u"a ", editable.slots[0x64]);
  EXPECT_EQ(u"SCROLL ", symbols.slots[0x7F]);
  EXPECT_EQ(u"<EOF>", editable.slots[0xFF]);
  EXPECT_EQ(u"", editable.slots[0x80]);
}

}  // namespace
