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

TEST(Text, Utf8BothWays) {
  using U = Utf8Errors;
  struct Case {
    std::string bytes;
    Utf8Errors errors;
    std::u16string text;
    bool encodesBack;  // the text encodes to the same bytes
  };
  const Case cases[] = {
      {"ab\xC2\xA9\xC3\xA9\xE2\x96\xB2\xF0\x9F\x98\x80z", U::replace,
       u"ab\xA9\xE9\x25B2\xD83D\xDE00z", true},
      {"\xED\x9F\xBF\xEE\x80\x80\xEF\xBB\xBF\xF4\x8F\xBF\xBF", U::replace,
       u"\xD7FF\xE000\xFEFF\xDBFF\xDFFF", true},
      {"\xF1\x80\x80\x80\xF3\xA0\x80\x80", U::replace, u"\xD8C0\xDC00\xDB40\xDC00", true},
      {"\xE2\x96z", U::replace, u"\xFFFDz", false},  // cut short: the next byte starts again
      {"\xF1\x80\x80", U::replace, u"\xFFFD", false},
      {"\xC3\x7F\x80", U::replace, u"\xFFFD\x7F\xFFFD", false},
      {"\xC0\x80\xC1\xBF", U::replace, u"\xFFFD\xFFFD\xFFFD\xFFFD", false},  // overlong
      {"\xE0\x9F\xBF", U::replace, u"\xFFFD\xFFFD\xFFFD", false},
      {"\xED\xA0\x80", U::replace, u"\xFFFD\xFFFD\xFFFD", false},  // an encoded surrogate
      {"\xF0\x80\xF4\x90\x80\x80", U::replace, u"\xFFFD\xFFFD\xFFFD\xFFFD\xFFFD\xFFFD", false},
      {"\xF5\x80\x80\x80\xFF", U::replace, u"\xFFFD\xFFFD\xFFFD\xFFFD\xFFFD", false},
      {"caf\xE9\xE2\x96z", U::escape, u"caf\xDCE9\xDCE2\xDC96z", true},
      {"\xF0\x9F\x98\x80\x80\xFF", U::escape, u"\xD83D\xDE00\xDC80\xDCFF", true},
  };
  for (const Case& c : cases) {
    // Repeated, each case puts its sequences across every offset of the decoder's chunks.
    for (int times : {1, 33}) {
      std::string bytes;
      std::u16string text;
      for (int i = 0; i < times; ++i) {
        bytes += c.bytes;
        text += c.text;
      }
      std::u16string decoded;
      decodeUtf8(bytes, c.errors, decoded);
      EXPECT_EQ(text, decoded) << c.bytes;
      std::string encoded;
      encodeUtf8(text, encoded);
      if (c.encodesBack) {
        EXPECT_EQ(bytes, encoded) << c.bytes;
      }
    }
  }
  // Lone surrogates that no escaped byte gives encode as U+FFFD.
  std::string encoded;
  encodeUtf8(u"\xDC7F\xDD00\xD800z\xDE00\xD83D", encoded);
  EXPECT_EQ("\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDz\xEF\xBF\xBD\xEF\xBF\xBD", encoded);
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

TEST(Text, SplitCommandLine) {
  struct Case {
    std::u16string line;
    std::vector<std::u16string> words;
  };
  const Case cases[] = {
      {u"prog \"my program.txt\" output.prg", {u"prog", u"my program.txt", u"output.prg"}},
      {u"prog a b   ", {u"prog", u"a", u"b"}},
      {u"prog a\tb\\c", {u"prog", u"a\tb\\c"}},
      {u"prog \"\" b", {u"prog", u"", u"b"}},
      {u"prog \"abc\"def", {u"prog", u"abc", u"def"}},
      {u"prog ab\"c d\"", {u"prog", u"ab\"c", u"d\""}},
      {u"prog \"abc def", {u"prog", u"abc def"}},
      {u"  \"C:\\my prog\"  x", {u"C:\\my prog", u"x"}},
      {u"   ", {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.words, splitCommandLine(c.line));
}

}  // namespace
