#include "services/text.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

std::u16string decode(std::string_view bytes, Utf8Errors errors) {
  std::u16string text;
  decodeUtf8(bytes, errors, text);
  return text;
}

std::string encode(std::u16string_view text) {
  std::string bytes;
  encodeUtf8(text, bytes);
  return bytes;
}

TEST(Text, DecimalText) {
  struct Case {
    int64_t value;
    std::u16string text;
  };
  const Case cases[] = {
      {0, u"0"},
      {-5, u"-5"},
      {INT64_MIN, u"-9223372036854775808"},
      {INT64_MAX, u"9223372036854775807"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.text, decimalText(c.value)) << c.value;
  char out[kMaxDecimalLength];
  EXPECT_EQ(kMaxDecimalLength, formatDecimal(INT64_MIN, out));
}

TEST(Text, DecodeUtf8) {
  struct Case {
    std::string bytes;
    Utf8Errors errors;
    std::u16string text;
  };
  const Case cases[] = {
      {"\xE2\x96z", Utf8Errors::replace, u"\xFFFDz"},      // truncated, next byte starts again
      {"\xF1\x80\x80", Utf8Errors::replace, u"\xFFFD"},    // truncated at the end
      {"\xC0\x80", Utf8Errors::replace, u"\xFFFD\xFFFD"},  // overlong
      {"\xF0\x80", Utf8Errors::replace, u"\xFFFD\xFFFD"},  // 80 cannot follow F0
      {"\xED\xA0\x80", Utf8Errors::replace, u"\xFFFD\xFFFD\xFFFD"},            // encoded surrogate
      {"\xF4\x90\x80\x80", Utf8Errors::replace, u"\xFFFD\xFFFD\xFFFD\xFFFD"},  // above U+10FFFF
      {"\x80z", Utf8Errors::replace, u"\xFFFDz"},                              // lone continuation
      {"\xED\x9F\xBF", Utf8Errors::replace, u"\xD7FF"},
      {"ab\xC3\xA9\xF0\x9F\x98\x80xyz", Utf8Errors::replace, u"ab\xE9\xD83D\xDE00xyz"},
      {"0123456\xE2\x96\xB2", Utf8Errors::replace, u"0123456\x25B2"},
      {"\xF4\x8F\xBF\xBF", Utf8Errors::replace, u"\xDBFF\xDFFF"},
      {"caf\xE9", Utf8Errors::escape, u"caf\xDCE9"},
      {"\xE2\x96z", Utf8Errors::escape, u"\xDCE2\xDC96z"},
      {"\xF0\x80", Utf8Errors::escape, u"\xDCF0\xDC80"},
      {"\xF0\x9F\x98\x80\x80", Utf8Errors::escape, u"\xD83D\xDE00\xDC80"},
      {"abcdefg\xF0\x9F\x98", Utf8Errors::escape, u"abcdefg\xDCF0\xDC9F\xDC98"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.text, decode(c.bytes, c.errors)) << c.bytes;
    // Repeated, each case puts its sequences across every offset of the decoder's pieces.
    std::string bytes;
    std::u16string text;
    for (int i = 0; i < 100; ++i) {
      bytes += c.bytes;
      text += c.text;
    }
    EXPECT_EQ(text, decode(bytes, c.errors)) << c.bytes;
  }
  // The byte after the view would complete what the view holds.
  std::u16string text = u"x";
  decodeUtf8(std::string_view("\xC3\xA9", 1), Utf8Errors::replace, text);
  EXPECT_EQ(u"x\xFFFD", text);
}

TEST(Text, EncodeUtf8) {
  struct Case {
    std::u16string text;
    std::string bytes;
  };
  const Case cases[] = {
      {u"a\xE9\x25B2", "a\xC3\xA9\xE2\x96\xB2"},
      {u"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
      {u"\xDC80\xDCFF", "\x80\xFF"},
      {u"\xDC7F", "\xEF\xBF\xBD"},
      {u"\xDD00", "\xEF\xBF\xBD"},
      {u"\xD800z", "\xEF\xBF\xBDz"},
      {u"\xDE00\xD83D", "\xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.bytes, encode(c.text)) << c.bytes;
}

TEST(Text, SplitCommandLine) {
  struct Case {
    std::u16string line;
    std::vector<std::u16string> words;
  };
  const Case cases[] = {
      {u"prog program.txt output.prg", {u"prog", u"program.txt", u"output.prg"}},
      {u"prog \"my program.txt\" output.prg", {u"prog", u"my program.txt", u"output.prg"}},
      {u"prog a b   ", {u"prog", u"a", u"b"}},
      {u"prog a\tb", {u"prog", u"a\tb"}},
      {u"prog \"\" b", {u"prog", u"", u"b"}},
      {u"prog \"abc\"def", {u"prog", u"abc", u"def"}},
      {u"prog ab\"c d\"", {u"prog", u"ab\"c", u"d\""}},
      {u"prog \"abc def", {u"prog", u"abc def"}},
      {u"prog a\\b", {u"prog", u"a\\b"}},
      {u"  \"C:\\my prog\"  x", {u"C:\\my prog", u"x"}},
      {u"", {}},
      {u"   ", {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.words, splitCommandLine(c.line));
}

TEST(Text, CaseOfUnits) {
  struct Case {
    char16_t unit;
    char16_t upper;
    char16_t lower;
  };
  const Case cases[] = {
      {u'a', u'A', u'a'},       {u'5', u'5', u'5'},       {0x00E9, 0x00C9, 0x00E9},
      {0x00FF, 0x0178, 0x00FF}, {0x00DF, 0x00DF, 0x00DF}, {0x0130, 0x0130, u'i'},
      {0x1F80, 0x1F88, 0x1F80}, {0x1D79, 0xA77D, 0x1D79}, {0x25B2, 0x25B2, 0x25B2},
      {0x0136, 0x0136, 0x0137}, {0xD801, 0xD801, 0xD801},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.upper, upperOf(c.unit)) << std::hex << c.unit;
    EXPECT_EQ(c.lower, lowerOf(c.unit)) << std::hex << c.unit;
  }
}

TEST(Text, CaseOfStrings) {
  // The Deseret letter's capital lies outside the BMP, so its surrogates stay as they are.
  EXPECT_EQ(u"CAF\xC9 MA\xDF 10 \xD801\xDC28", toUpper(u"caf\xE9 ma\xDF 10 \xD801\xDC28"));
  EXPECT_EQ(u"print \"ab\" \xD801\xDC00", toLower(u"PRINT \"Ab\" \xD801\xDC00"));
}

}  // namespace
