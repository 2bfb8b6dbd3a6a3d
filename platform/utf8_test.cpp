#include "platform/utf8.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf8, BothWays) {
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

}  // namespace
