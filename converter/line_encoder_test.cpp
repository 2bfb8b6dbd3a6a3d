#include "converter/line_encoder.h"

#include <gtest/gtest.h>

#include "tests/memory_file.h"

namespace {

std::string hex(const std::string& bytes) {
  std::string text;
  for (unsigned char b : bytes) {
    const char digits[] = {' ', "0123456789ABCDEF"[b >> 4], "0123456789ABCDEF"[b & 15], 0};
    text += digits + text.empty();
  }
  return text;
}

struct Conversion {
  ConversionEnd end;
  std::string dump;  // in hexadecimal
};

Conversion convert(const std::string& listing, DumpLayout layout) {
  MemoryFile input{listing};
  MemoryFile output;
  attachMemoryFile(0, input, false);
  attachMemoryFile(1, output, true);
  testing::internal::CaptureStdout();  // the report of an error in the listing
  ConversionEnd end = convertListing(layout);
  testing::internal::GetCapturedStdout();
  closeAllFiles();
  return {end, hex(output.bytes)};
}

TEST(LineEncoder, ConvertsListingsUpToTheFirstError) {
  // Each listing in the 300-baud layout, or with "k" in the 2000-baud layout; after an error the
  // dump ends with the bytes of the elements before the one in error.
  using End = ConversionEnd;
  const std::tuple<std::string, const char*, End, std::string> cases[] = {
      {"10 print \"HI\"\r\n20 goto 10\r\n", "", End::finished,
       "31 30 20 74 22 48 49 22 0D 32 30 20 6E 31 30 0D"},
      {"", "", End::finished, ""},
      {"\nprint  X\x1F", "", End::finished, "0D 74 20 58 1F 0D"},
      {"null erase a X=b PRINT]", "", End::finished, "00 1F 64 58 3D 65 50 52 49 4E 54 5D 0D"},
      {"up left down right mul div if gosub scroll", "", End::finished,
       "5E 5F 60 61 62 63 6D 6F 7F 0D"},
      // Numeric escapes, whose text is never classed: any byte by number, modulo 256.
      {"{65}{ \t 65}{+65abc}{$fF}{%1000001}{-$A}{-56}{300}", "", End::finished,
       "41 41 41 FF 41 F6 C8 2C 0D"},
      {"{abc}{- 5}{$g}{%102}{\t{\xC3\xA9}{}", "", End::finished, "00 00 00 02 00 00 0D"},
      {"{9223372036854775808}{18446744073709551617}", "", End::finished, "00 01 0D"},
      // Words end only at a blank; a lower-case letter or ^ _ ` | } ~ 127 begins one.
      {"A\nPrint", "", End::listingError, "41 0D 50"},
      {"print{34}", "", End::listingError, ""},
      {"e", "", End::listingError, ""},
      {"A ^", "", End::listingError, "41 20"},
      {"`", "", End::listingError, ""},
      {"\x7F", "", End::listingError, ""},
      {"goto\t10", "", End::listingError, ""},
      {"A}{", "", End::listingError, "41"},
      {"caf\xC3\xA9", "", End::listingError, ""},
      {"AB{65", "", End::listingError, "41 42"},
      // Characters that are invalid where an element begins.
      {"A\tB", "", End::listingError, "41"},
      {"\x1E", "", End::listingError, ""},
      {"X\xC2\x80", "", End::listingError, "58"},
      {"\xEF\xBB\xBF"
       "10",
       "", End::listingError, ""},
      // Line numbers of the 2000-baud layout, and the end marker after a whole listing.
      {"10 print \"HI\"\r\n20 goto 10\r\n", "k", End::finished,
       "0A 00 74 22 48 49 22 0D 14 00 6E 31 30 0D 00 FF"},
      {"", "k", End::finished, "00 FF"},
      {"10  X\n10X\n-0\n-1 X\n32767\n-32768 \n-255\n0000000000000000000001", "k", End::finished,
       "0A 00 20 58 0D 0A 00 58 0D 00 00 0D FF FF 58 0D FF 7F 0D 00 80 0D 01 FF 0D 01 00 0D 00 "
       "FF"},
      // An escaped line end is written as asked for: here it starts a record of its own.
      {"10 A{13}{20}{0}B", "k", End::finished, "0A 00 41 0D 14 00 42 0D 00 FF"},
      {"10 A\n-256 X", "k", End::listingError, "0A 00 41 0D"},
      {"32768", "k", End::listingError, ""},
      {"-32769", "k", End::listingError, ""},
      {"18446744073709551626", "k", End::listingError, ""},  // 2^64 + 10 is not 10
      {"", "k", End::finished, "00 FF"},
      {"\n", "k", End::listingError, ""},
      {"- 5", "k", End::listingError, ""},
      {"+5", "k", End::listingError, ""},
      {" 10", "k", End::listingError, ""},
      {"\xEF\xBC\x91", "k", End::listingError, ""},  // a full-width digit is not a digit
      {"10 A\n20 B\tC\n", "k", End::listingError, "0A 00 41 0D 14 00 42"},
  };
  for (const auto& [listing, layout, end, dump] : cases) {
    Conversion result = convert(listing, *layout ? DumpLayout::baud2000 : DumpLayout::baud300);
    EXPECT_EQ(end, result.end) << listing;
    EXPECT_EQ(dump, result.dump) << listing;
  }
}

}  // namespace
