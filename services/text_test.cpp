#include "services/text.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(Text, DecimalTextOfEveryLength) {
  const int64_t values[] = {0,    -5,   9,     10,       99,        100,       999,
                            1000, 9999, 10000, 99999999, 100000000, INT64_MIN, INT64_MAX};
  for (int64_t value : values) {
    std::string digits = std::to_string(value);
    EXPECT_EQ(std::u16string(digits.begin(), digits.end()), decimalText(value));
  }
}

TEST(Text, UpperAndLowerCase) {
  // A capital outside the BMP (Deseret) leaves its surrogates as they are.
  EXPECT_EQ(u"CAF\xC9\xC0 \x25B2\xD7 \xD801\xDC28",
            toUpper(u"caf\xE9\xE0 \x25B2\xD7 \xD801\xDC28"));
  EXPECT_EQ(u"print \"ab\"", toLower(u"PRINT \"Ab\""));
}

TEST(Text, VisibleTextShowsControlsInCaretNotation) {
  // C0, DEL and C1 controls, escaped or not, in caret notation; other escaped bytes as they are.
  EXPECT_EQ(u"^A^I^[[2J^_ ~^?M-^@M-^[M-^_<U+00A0> M-^@M-^_\xDCA0\xDC7F",
            visibleText(u"\x01\t\x1B[2J\x1F ~\x7F\x80\x9B\x9F\xA0 \xDC80\xDC9F\xDCA0\xDC7F"));
}

TEST(Text, VisibleTextNamesInvisibleCharacters) {
  // Named: a byte-order mark, spaces but the blank, bidi controls, a separator, a tag by its pair,
  // a Hangul filler, a joiner, variation selectors, the braille blank, marks on nothing (the start,
  // a control, a name) or past two on a base. As they are: visible neighbours, a pair whose low
  // unit looks like an escaped byte, a lone one, two marks on a base (a pair, the blank too).
  const std::u16string cases[][2] = {
      {u"\xFEFFX\xA0 \x2010\x200F\x202E", u"<U+FEFF>X<U+00A0> \x2010<U+200F><U+202E>"},
      {u"\xE9\x2028\xDB40\xDC01", u"\xE9<U+2028><U+E0001>"},
      {u"\xD800\xDC80\x1B\x9B\xDC9B\xD83D", u"\xD800\xDC80^[M-^[M-^[\xD83D"},
      {u"X\u3164Ya\u034F\u0302\u2764\uFE0F\xDB40\xDDEF\x2800",
       u"X<U+3164>Ya<U+034F><U+0302>\u2764<U+FE0F><U+E01EF><U+2800>"},
      {u"\u0301e\u0323\u0302\u0301\u0300a\u0323\u0302 \u20DD",
       u"<U+0301>e\u0323\u0302<U+0301><U+0300>a\u0323\u0302 \u20DD"},
      {u"a\t\u0301a\x9B\u0302\xD834\xDD67\xD801\xDC28\xD834\xDD67\u20DD\u0301",
       u"a^I<U+0301>aM-^[<U+0302><U+1D167>\xD801\xDC28\xD834\xDD67\u20DD<U+0301>"},
  };
  for (const auto& [text, shown] : cases)
    EXPECT_EQ(shown, visibleText(text));
  ShownMarks marks;  // a text in pieces: the marks on a base are counted across them
  EXPECT_EQ(u"e\u0301", visibleText(u"e\u0301", marks));
  EXPECT_EQ(u"\u0302<U+0303>", visibleText(u"\u0302\u0303", marks));
}

TEST(Text, Utf8PiecesDecodeAsTheWhole) {
  // Controls, a C1 control, invisible characters, a surrogate pair, ill-formed and cut sequences.
  const std::string bytes = "a\x01z\xC2\x9B\xEF\xBB\xBF\xF3\xA0\x80\x81\xE2\x96z\x80\xC3";
  std::u16string whole;
  decodeUtf8(bytes, Utf8Errors::replace, whole);
  for (size_t most = 4; most <= bytes.size(); ++most) {
    std::u16string pieces;
    for (size_t at = 0, size = 0; at < bytes.size(); at += size) {
      size = utf8PieceLength(bytes.substr(at), most);
      ASSERT_TRUE(size > 0 && size <= most);
      decodeUtf8(bytes.substr(at, size), Utf8Errors::replace, pieces);
    }
    EXPECT_EQ(whole, pieces) << most;
  }
}

}  // namespace
