#include "converter/line_encoder.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "services/files.h"
#include "tests/memory_file.h"

namespace {

std::string hex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  for (unsigned char b : bytes) {
    if (!text.empty()) text += ' ';
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  return text;
}

std::string narrow(std::u16string_view text) {
  return std::string(text.begin(), text.end());
}

TEST(LineEncoder, ParseNumber) {
  struct Case {
    std::u16string text;
    int64_t value;
  };
  const Case cases[] = {
      {u"65", 65},
      {u"$fF", 255},
      {u"%1000001", 65},
      {u"-56", -56},
      {u"65abc", 65},
      {u"abc", 0},
      {u"- 5", 0},  // a blank after the sign ends the number
      {u"$g", 0},
      {u"%102", 2},
      {u"9223372036854775808", INT64_MIN},  // wraps instead of failing
      {u"18446744073709551617", 1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.value, parseNumber(c.text)) << narrow(c.text);
}

TEST(LineEncoder, EncodesElementsUpToTheFirstError) {
  struct Case {
    std::u16string line;
    LineError error;
    std::string bytes;    // in hexadecimal: all of them, or those before the element in error
    std::u16string word;  // of an unknown token
  };
  const Case cases[] = {
      {u"10 print X", LineError::none, "31 30 20 74 58", u""},
      {u"print  X", LineError::none, "74 20 58", u""},
      {u"null", LineError::none, "00", u""},
      {u"X=b", LineError::none, "58 3D 65", u""},
      {u"PRINT", LineError::none, "50 52 49 4E 54", u""},
      {u"print {34}", LineError::none, "74 22", u""},
      {u"{\t{\u00E9}", LineError::none, "00", u""},  // nothing inside an escape is classed
      {u"\u001F", LineError::none, "1F", u""},
      {u"", LineError::none, "", u""},
      {u"up left down right mul div", LineError::none, "5E 5F 60 61 62 63", u""},
      {u"if X>0 gosub 100", LineError::none, "6D 58 3E 30 20 6F 31 30 30", u""},
      {u"Print", LineError::unknownToken, "50", u"rint"},
      {u"X=hello", LineError::unknownToken, "58 3D", u"hello"},
      {u"print{34}", LineError::unknownToken, "", u"print{34}"},
      {u"e", LineError::unknownToken, "", u"e"},
      {u"}", LineError::unknownToken, "", u"}"},
      {u"~ x", LineError::unknownToken, "", u"~"},
      {u"A ^", LineError::unknownToken, "41 20", u"^"},
      {u"goto\t10", LineError::unknownToken, "", u"goto\t10"},
      {u"AB{65", LineError::missingBrace, "41 42", u""},
      {u"A}{", LineError::unknownToken, "41", u"}{"},
      {u"A\tB", LineError::invalidCharacter, "41", u""},
      {u"\u001E", LineError::invalidCharacter, "", u""},
      {u"caf\u00E9", LineError::unknownToken, "", u"caf\u00E9"},
      {u"X\u00E9", LineError::invalidCharacter, "58", u""},
      {u"\uFEFF10 print X", LineError::invalidCharacter, "", u""},
  };
  for (const Case& c : cases) {
    std::string bytes;
    std::u16string_view word;
    EXPECT_EQ(c.error, encodeLine(c.line, bytes, word)) << narrow(c.line);
    EXPECT_EQ(c.bytes, hex(bytes)) << narrow(c.line);
    if (c.error == LineError::unknownToken) {
      EXPECT_EQ(c.word, word) << narrow(c.line);
    }
  }
}

TEST(LineEncoder, ParseLineNumber) {
  struct Case {
    std::u16string line;
    LineError error;
    int number;           // when there is no error
    std::u16string rest;  // the content after the number, when there is no error
  };
  const Case cases[] = {
      {u"10 print X", LineError::none, 10, u"print X"},
      {u"10", LineError::none, 10, u""},
      {u"10  X", LineError::none, 10, u" X"},  // only the first blank belongs to the number
      {u"10X", LineError::none, 10, u"X"},
      {u"10\tX", LineError::none, 10, u"\tX"},
      {u"-0", LineError::none, 0, u""},
      {u"-5 5", LineError::none, -5, u"5"},
      {u"32767", LineError::none, 32767, u""},
      {u"-32768", LineError::none, -32768, u""},
      {u"-257", LineError::none, -257, u""},
      {u"-256 X", LineError::lineNumberOutOfRange, 0, u""},
      {u"32768", LineError::lineNumberOutOfRange, 0, u""},
      {u"0000000000000000000000000000001", LineError::none, 1, u""},
      {u"18446744073709551616", LineError::lineNumberOutOfRange, 0, u""},  // 2^64 is not 0
      {u"", LineError::missingLineNumber, 0, u""},
      {u"- 5", LineError::missingLineNumber, 0, u""},
      {u"+5", LineError::missingLineNumber, 0, u""},
      {u" 10", LineError::missingLineNumber, 0, u""},
      {u"print 10", LineError::missingLineNumber, 0, u""},
      {u"\uFF11", LineError::missingLineNumber, 0, u""},  // a full-width digit is not a digit
  };
  for (const Case& c : cases) {
    int number = 0;
    size_t contentStart = 0;
    EXPECT_EQ(c.error, parseLineNumber(c.line, number, contentStart)) << narrow(c.line);
    if (c.error == LineError::none) {
      EXPECT_EQ(c.number, number) << narrow(c.line);
      EXPECT_EQ(c.rest, c.line.substr(contentStart)) << narrow(c.line);
    }
  }
}

struct Conversion {
  ConversionEnd end;
  std::string dump;
};

Conversion convert(MemoryFile input, MemoryFile output = {},
                   DumpLayout layout = DumpLayout::baud300) {
  attachMemoryFile(0, input, false);
  attachMemoryFile(1, output, true);
  ConversionEnd end = convertListing(layout);
  closeAllFiles();
  return {end, output.bytes};
}

TEST(LineEncoder, ConvertsTheTwoLineExample) {
  Conversion result = convert({"10 print \"HI\"\r\n20 goto 10\r\n"});
  EXPECT_EQ(ConversionEnd::finished, result.end);
  EXPECT_EQ("31 30 20 74 22 48 49 22 0D 32 30 20 6E 31 30 0D", hex(result.dump));
}

TEST(LineEncoder, ConvertsLinesUpToTheFirstError) {
  EXPECT_EQ("", convert({""}).dump);
  EXPECT_EQ("0D 41 0D", hex(convert({"\nA"}).dump));
  Conversion result = convert({"A\nB\nC{\nD\nE\n"});
  EXPECT_EQ(ConversionEnd::listingError, result.end);
  EXPECT_EQ("41 0D 42 0D 43", hex(result.dump));
}

TEST(LineEncoder, ReportsReadAndWriteFailures) {
  // The lines of the first block read are converted; a 2000-baud recording gets no end marker.
  std::string listing;
  for (size_t i = 0; i < kFileBufferSize; ++i)
    listing += "1\n";
  MemoryFile unreadable{listing};
  unreadable.failReadAt = kFileBufferSize + 1;
  EXPECT_EQ(ConversionEnd::readError, convert(unreadable).end);
  Conversion result = convert(unreadable, {}, DumpLayout::baud2000);
  EXPECT_EQ(ConversionEnd::readError, result.end);
  EXPECT_EQ(kFileBufferSize / 2 * 3, result.dump.size());
  EXPECT_EQ("01 00 0D", hex(result.dump.substr(result.dump.size() - 3)));

  MemoryFile full;
  full.capacity = 10;
  EXPECT_EQ(ConversionEnd::writeError, convert({listing}, full).end);
}

Conversion convert2000(std::string listing) {
  return convert({listing}, {}, DumpLayout::baud2000);
}

TEST(LineEncoder, WritesTheTwoLineExampleIn2000BaudLayout) {
  Conversion result = convert2000("10 print \"HI\"\r\n20 goto 10\r\n");
  EXPECT_EQ(ConversionEnd::finished, result.end);
  EXPECT_EQ("0A 00 74 22 48 49 22 0D 14 00 6E 31 30 0D 00 FF", hex(result.dump));
}

TEST(LineEncoder, Writes2000BaudRecordsAndTheEndMarker) {
  struct Case {
    std::string listing;
    ConversionEnd end;
    std::string dump;  // in hexadecimal
  };
  const Case cases[] = {
      {"", ConversionEnd::finished, "00 FF"},
      {"10", ConversionEnd::finished, "0A 00 0D 00 FF"},
      {"-1 X\n32767\n-32768 \n0  ", ConversionEnd::finished,
       "FF FF 58 0D FF 7F 0D 00 80 0D 00 00 20 0D 00 FF"},
      {"300 {0}{255}\n", ConversionEnd::finished, "2C 01 00 FF 0D 00 FF"},
      // An escaped line end is written as asked for: here it starts a record of its own.
      {"10 A{13}{20}{0}B", ConversionEnd::finished, "0A 00 41 0D 14 00 42 0D 00 FF"},
      // After an error: the earlier records, the failing line's number word if it was valid and
      // its elements before the one in error; never the end marker.
      {"10 A\nB\n30 C", ConversionEnd::listingError, "0A 00 41 0D"},
      {"10 A\n-256\n", ConversionEnd::listingError, "0A 00 41 0D"},
      {"10 A\n20 B\tC\n", ConversionEnd::listingError, "0A 00 41 0D 14 00 42"},
      {"10 hello", ConversionEnd::listingError, "0A 00"},
  };
  for (const Case& c : cases) {
    Conversion result = convert2000(c.listing);
    EXPECT_EQ(c.end, result.end) << c.listing;
    EXPECT_EQ(c.dump, hex(result.dump)) << c.listing;
  }
}

}  // namespace
