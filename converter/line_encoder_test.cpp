#include "converter/line_encoder.h"

#include <gtest/gtest.h>

#include "tests/memory_file.h"

namespace {

std::string hex(const std::string& bytes) {
  std::string text;
  for (unsigned char b : bytes)
    text += (text.empty() ? "" : " ") + std::string{"0123456789ABCDEF"[b >> 4]} +
            "0123456789ABCDEF"[b & 15];
  return text;
}

std::string narrow(std::u16string_view text) {
  return std::string(text.begin(), text.end());
}

TEST(LineEncoder, ParseNumber) {
  const std::pair<std::u16string, int64_t> cases[] = {
      {u"65", 65},
      {u" \t 65", 65},
      {u"+65abc", 65},
      {u"$fF", 255},
      {u"%1000001", 65},
      {u"-$A", -10},
      {u"abc", 0},
      {u"- 5", 0},  // a blank after the sign ends the number
      {u"$g", 0},
      {u"%102", 2},
      {u"9223372036854775808", INT64_MIN},  // wraps instead of failing
      {u"18446744073709551617", 1},
  };
  for (const auto& [text, value] : cases)
    EXPECT_EQ(value, parseNumber(text)) << narrow(text);
}

TEST(LineEncoder, EncodesElementsUpToTheFirstError) {
  using E = LineError;
  struct Case {
    std::u16string line;
    LineError error;
    std::string bytes;    // in hexadecimal: all of them, or those before the element in error
    std::u16string word = {};  // of an unknown token
  };
  const Case cases[] = {
      {u"10 print X", E::none, "31 30 20 74 58"},
      {u"print  X{ 65}", E::none, "74 20 58 41"},
      {u"null erase a X=b", E::none, "00 1F 64 58 3D 65"},
      {u"PRINT]", E::none, "50 52 49 4E 54 5D"},
      {u"{\t{\u00E9}{300}{-1}", E::none, "00 2C FF"},  // nothing inside an escape is classed
      {u"\u001F", E::none, "1F"},
      {u"", E::none, ""},
      {u"up left down right mul div if gosub scroll", E::none, "5E 5F 60 61 62 63 6D 6F 7F"},
      {u"Print", E::unknownToken, "50", u"rint"},
      {u"print{34}", E::unknownToken, "", u"print{34}"},
      {u"e", E::unknownToken, "", u"e"},
      {u"A ^", E::unknownToken, "41 20", u"^"},
      {u"`", E::unknownToken, "", u"`"},
      {u"\u007F", E::unknownToken, "", u"\u007F"},
      {u"goto\t10", E::unknownToken, "", u"goto\t10"},
      {u"A}{", E::unknownToken, "41", u"}{"},
      {u"caf\u00E9", E::unknownToken, "", u"caf\u00E9"},
      {u"AB{65", E::missingBrace, "41 42"},
      {u"A\tB", E::invalidCharacter, "41"},
      {u"\u001E", E::invalidCharacter, ""},
      {u"X\u0080", E::invalidCharacter, "58"},
      {u"\uFEFF10", E::invalidCharacter, ""},
  };
  for (const Case& c : cases) {
    std::string bytes;
    std::u16string_view word;
    EXPECT_EQ(c.error, encodeLine(c.line, bytes, word)) << narrow(c.line);
    EXPECT_EQ(c.bytes, hex(bytes)) << narrow(c.line);
    EXPECT_EQ(c.word, c.error == E::unknownToken ? word : u"") << narrow(c.line);
  }
}

TEST(LineEncoder, ParseLineNumber) {
  using E = LineError;
  struct Case {
    std::u16string line;
    LineError error;
    int number = 0;
    std::u16string rest = {};  // the content after the number
  };
  const Case cases[] = {
      {u"10 print X", E::none, 10, u"print X"},
      {u"10  X", E::none, 10, u" X"},  // only the first blank belongs to the number
      {u"10\tX", E::none, 10, u"\tX"},
      {u"-0", E::none, 0, u""},
      {u"32767", E::none, 32767, u""},
      {u"-32768", E::none, -32768, u""},
      {u"-255", E::none, -255, u""},
      {u"0000000000000000000000000000001", E::none, 1, u""},
      {u"-256 X", E::lineNumberOutOfRange},
      {u"32768", E::lineNumberOutOfRange},
      {u"-32769", E::lineNumberOutOfRange},
      {u"18446744073709551616", E::lineNumberOutOfRange},  // 2^64 is not 0
      {u"", E::missingLineNumber},
      {u"- 5", E::missingLineNumber},
      {u"+5", E::missingLineNumber},
      {u" 10", E::missingLineNumber},
      {u"\uFF11", E::missingLineNumber},  // a full-width digit is not a digit
  };
  for (const Case& c : cases) {
    int number = 0;
    size_t contentStart = 0;
    EXPECT_EQ(c.error, parseLineNumber(c.line, number, contentStart)) << narrow(c.line);
    if (c.error == E::none) {
      EXPECT_EQ(c.number, number) << narrow(c.line);
      EXPECT_EQ(c.rest, c.line.substr(contentStart)) << narrow(c.line);
    }
  }
}

TEST(LineEncoder, ConvertsListingsUpToTheFirstError) {
  using End = ConversionEnd;
  struct Case {
    std::string listing;
    DumpLayout layout;
    ConversionEnd end;
    std::string dump;  // in hexadecimal
  };
  const DumpLayout k300 = DumpLayout::baud300;
  const DumpLayout k2000 = DumpLayout::baud2000;
  const Case cases[] = {
      {"10 print \"HI\"\r\n20 goto 10\r\n", k300, End::finished,
       "31 30 20 74 22 48 49 22 0D 32 30 20 6E 31 30 0D"},
      {"", k300, End::finished, ""},
      {"\nA", k300, End::finished, "0D 41 0D"},
      {"A\nB\nC{\nD\n", k300, End::listingError, "41 0D 42 0D 43"},
      {"10 print \"HI\"\r\n20 goto 10\r\n", k2000, End::finished,
       "0A 00 74 22 48 49 22 0D 14 00 6E 31 30 0D 00 FF"},
      {"", k2000, End::finished, "00 FF"},
      {"-1 X\n32767\n-32768 \n0  ", k2000, End::finished,
       "FF FF 58 0D FF 7F 0D 00 80 0D 00 00 20 0D 00 FF"},
      // An escaped line end is written as asked for: here it starts a record of its own.
      {"10 A{13}{20}{0}B", k2000, End::finished, "0A 00 41 0D 14 00 42 0D 00 FF"},
      // After an error: the earlier records, the failing line's number word if it was valid and
      // its elements before the one in error; never the end marker.
      {"10 A\nB\n30 C", k2000, End::listingError, "0A 00 41 0D"},
      {"10 A\n-256\n", k2000, End::listingError, "0A 00 41 0D"},
      {"10 A\n20 B\tC\n", k2000, End::listingError, "0A 00 41 0D 14 00 42"},
  };
  for (const Case& c : cases) {
    testing::internal::CaptureStdout();  // the report of a listing error
    MemoryFile input{c.listing};
    MemoryFile output;
    attachMemoryFile(0, input, false);
    attachMemoryFile(1, output, true);
    EXPECT_EQ(c.end, convertListing(c.layout)) << c.listing;
    closeAllFiles();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(c.dump, hex(output.bytes)) << c.listing;
  }
}

TEST(LineEncoder, ReportsReadAndWriteFailures) {
  // The lines of the first block read are converted; a 2000-baud recording gets no end marker.
  std::string listing;
  for (size_t i = 0; i < kFileBufferSize; ++i)
    listing += "1\n";
  for (DumpLayout layout : {DumpLayout::baud300, DumpLayout::baud2000}) {
    MemoryFile unreadable{listing, 1 << 20, kFileBufferSize + 1};
    MemoryFile output;
    attachMemoryFile(0, unreadable, false);
    attachMemoryFile(1, output, true);
    EXPECT_EQ(ConversionEnd::readError, convertListing(layout));
    closeAllFiles();
    EXPECT_EQ(layout == DumpLayout::baud300 ? "31 0D" : "01 00 0D",
              hex(output.bytes.substr(output.bytes.size() - 2 - (layout != DumpLayout::baud300))));
    EXPECT_EQ(kFileBufferSize / 2 * (layout == DumpLayout::baud300 ? 2 : 3), output.bytes.size());
  }
  MemoryFile input{listing};
  MemoryFile full{"", 1 << 20, SIZE_MAX, 10};
  attachMemoryFile(0, input, false);
  attachMemoryFile(1, full, true);
  EXPECT_EQ(ConversionEnd::writeError, convertListing());
  closeAllFiles();
}

}  // namespace
