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

}  // namespace
