#include "basicdata/tokens.h"

#include <gtest/gtest.h>

#include <string>

#include "services/text.h"

namespace {

// Each row of a table as its code in hexadecimal and its text, in order.
std::string rowsOf(const TokenTable& table) {
  std::string rows;
  for (size_t i = 0; i < table.count; ++i) {
    unsigned code = table.entries[i].code;
    rows += {"0123456789ABCDEF"[code >> 4 & 15], "0123456789ABCDEF"[code & 15], ' '};
    encodeUtf8(table.entries[i].text, rows);
    rows += '|';
  }
  return rows;
}

TEST(Tokens, TheThreeViewsOfTheWords) {
  const std::string words =
      "00 null |1F erase |5E up |5F left |60 down |61 right |62 mul |63 div |64 a |65 b |66 c |"
      "67 d |68 list |69 clear |6A run |6B next |6C line |6D if |6E goto |6F gosub |70 return |"
      "71 box |72 for |73 input |74 print |75 step |76 rnd |77 to |78 data |79 circle |7A point |"
      "7B default |7C show |7D snap |7E zero |7F scroll |";
  EXPECT_EQ(words, rowsOf(editableTable));
  EXPECT_EQ("5E \u25B2|5F \u25C4|60 \u25BC|61 \u25BA|62 \u00D7|63 \u00F7|64 a|65 b|66 c|67 d|" +
                words.substr(words.find("68 ")),
            rowsOf(symbolTable));
  // The input words: each row's word without its blank finds its code.
  for (size_t at = 0; at < words.size(); at = words.find('|', at) + 1) {
    uint64_t key = 0;
    for (size_t i = words.find(' ', at + 3); i-- > at + 3;)
      key = key << 8 | static_cast<unsigned char>(words[i]);
    EXPECT_EQ(std::stoi(words.substr(at, 2), nullptr, 16), wordSlotFor(key).code) << at;
  }
}

}  // namespace
