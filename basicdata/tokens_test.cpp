#include "basicdata/tokens.h"

#include <gtest/gtest.h>

namespace {

TEST(Tokens, CodeOfMatchesExactWholeWords) {
  EXPECT_EQ(0x74, codeOfWord("print"));
  EXPECT_EQ(0x64, codeOfWord("a"));  // the special character, not the letter
  for (std::string_view word : {"PRINT", "Print", "print ", "prin", ""}) {
    EXPECT_EQ(kNoCode, codeOfWord(word));
  }
}

TEST(Tokens, TablesAreOrderedAndUnique) {
  EXPECT_EQ(36u, inputTable.count);
  EXPECT_EQ(35u, symbolTable.count);
  EXPECT_EQ(37u, editableTable.count);
  for (const TokenTable* table : {&inputTable, &symbolTable, &editableTable}) {
    for (size_t i = 1; i < table->count; ++i)
      EXPECT_LT(table->entries[i - 1].code, table->entries[i].code);
  }
  // A word found at another entry would shadow this one.
  for (size_t i = 0; i < inputTable.count; ++i) {
    const TokenEntry& entry = inputTable.entries[i];
    EXPECT_EQ(entry.code, codeOfWord(std::string(entry.text.begin(), entry.text.end())));
  }
}

}  // namespace
