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

// A line as encodeLine takes it: followed by a zero byte and padding.
std::string padded(const std::string& line) {
  return line + std::string(kLinePadding, '\0');
}

TEST(LineEncoder, ParseNumber) {
  struct Case {
    std::string text;
    int64_t value;
  };
  const Case cases[] = {
      {"65", 65},
      {"$fF", 255},
      {"%1000001", 65},
      {"-56", -56},
      {"65abc", 65},
      {"abc", 0},
      {"- 5", 0},  // a blank after the sign ends the number
      {"$g", 0},
      {"%102", 2},
      {"9223372036854775808", INT64_MIN},  // wraps instead of failing
      {"18446744073709551617", 1},
  };
  for (const Case& c : cases) {
    const char* text = c.text.c_str();
    EXPECT_EQ(c.value, parseNumber(text)) << c.text;
  }
}

TEST(LineEncoder, EncodesElementsUpToTheFirstError) {
  struct Case {
    std::string line;
    LineError error;
    std::string bytes;  // in hexadecimal: all of them, or those before the element in error
    std::string word;   // of an unknown token
  };
  const Case cases[] = {
      {"10 print X", LineError::none, "31 30 20 74 58", ""},
      {"print  X", LineError::none, "74 20 58", ""},
      {"null", LineError::none, "00", ""},
      {"X=b", LineError::none, "58 3D 65", ""},
      {"PRINT", LineError::none, "50 52 49 4E 54", ""},
      {"print {34}", LineError::none, "74 22", ""},
      {"{\t{\xC3\xA9}", LineError::none, "00", ""},  // nothing inside an escape is classed
      {"\x1F", LineError::none, "1F", ""},
      {"", LineError::none, "", ""},
      {"up left down right mul div", LineError::none, "5E 5F 60 61 62 63", ""},
      {"if X>0 gosub 100", LineError::none, "6D 58 3E 30 20 6F 31 30 30", ""},
      {"Print", LineError::unknownToken, "50", "rint"},
      {"X=hello", LineError::unknownToken, "58 3D", "hello"},
      {"print{34}", LineError::unknownToken, "", "print{34}"},
      {"e", LineError::unknownToken, "", "e"},
      {"}", LineError::unknownToken, "", "}"},
      {"~ x", LineError::unknownToken, "", "~"},
      {"A ^", LineError::unknownToken, "41 20", "^"},
      {"goto\t10", LineError::unknownToken, "", "goto\t10"},
      {"AB{65", LineError::missingBrace, "41 42", ""},
      {"A}{", LineError::unknownToken, "41", "}{"},
      {"A\tB", LineError::invalidCharacter, "41", ""},
      {"\x1E", LineError::invalidCharacter, "", ""},
      {"caf\xC3\xA9", LineError::unknownToken, "", "caf\xC3\xA9"},
      {"X\xC3\xA9", LineError::invalidCharacter, "58", ""},
      {"\xEF\xBB\xBF"
       "10 print X",
       LineError::invalidCharacter, "", ""},
  };
  for (const Case& c : cases) {
    std::string text = padded(c.line);
    const char* line = text.data();
    std::string bytes(c.line.size() + kEncodeSlack, '\0');
    char* out = &bytes[0];
    std::string_view word;
    EXPECT_EQ(c.error, encodeLine(line, out, word)) << c.line;
    bytes.resize(static_cast<size_t>(out - bytes.data()));
    EXPECT_EQ(c.bytes, hex(bytes)) << c.line;
    if (c.error == LineError::unknownToken) {
      EXPECT_EQ(c.word, word) << c.line;
    }
  }
}

TEST(LineEncoder, ParseLineNumber) {
  struct Case {
    std::string line;
    LineError error;
    int number;        // when there is no error
    std::string rest;  // the content after the number, when there is no error
  };
  const Case cases[] = {
      {"10 print X", LineError::none, 10, "print X"},
      {"10", LineError::none, 10, ""},
      {"10  X", LineError::none, 10, " X"},  // only the first blank belongs to the number
      {"10X", LineError::none, 10, "X"},
      {"10\tX", LineError::none, 10, "\tX"},
      {"-0", LineError::none, 0, ""},
      {"-5 5", LineError::none, -5, "5"},
      {"32767", LineError::none, 32767, ""},
      {"-32768", LineError::none, -32768, ""},
      {"-257", LineError::none, -257, ""},
      {"-256 X", LineError::lineNumberOutOfRange, 0, ""},
      {"32768", LineError::lineNumberOutOfRange, 0, ""},
      {"0000000000000000000000000000001", LineError::none, 1, ""},
      {"18446744073709551616", LineError::lineNumberOutOfRange, 0, ""},  // 2^64 is not 0
      {"", LineError::missingLineNumber, 0, ""},
      {"- 5", LineError::missingLineNumber, 0, ""},
      {"+5", LineError::missingLineNumber, 0, ""},
      {" 10", LineError::missingLineNumber, 0, ""},
      {"print 10", LineError::missingLineNumber, 0, ""},
      {"\xEF\xBC\x91", LineError::missingLineNumber, 0, ""},  // a full-width digit is not a digit
  };
  for (const Case& c : cases) {
    std::string text = padded(c.line);
    const char* line = text.data();
    int number = 0;
    EXPECT_EQ(c.error, parseLineNumber(line, number)) << c.line;
    if (c.error == LineError::none) {
      EXPECT_EQ(c.number, number) << c.line;
      EXPECT_EQ(c.rest, line) << c.line;
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
