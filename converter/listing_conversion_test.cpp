#include "converter/listing_conversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

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

// How the conversion ended, the dump in hexadecimal, and the first line of the report. The Windows
// console is no standard output that a test can capture, so there the report stays empty.
std::tuple<ConversionEnd, std::string, std::string> convert(const std::string& listing,
                                                            const ConverterOptions& options) {
  ConversionEnd end = ConversionEnd::readError;
  testing::internal::CaptureStdout();
  std::string dump = runInMemory({listing}, [&] { end = convertListing(options); });
  std::string report = testing::internal::GetCapturedStdout();
  return {end, hex(dump), report.substr(0, report.find('\n'))};
}

TEST(ListingConversion, ConvertsListingsUpToTheFirstError) {
  // Each listing in the 300-baud layout, or with "k" in the 2000-baud layout: its dump, and the
  // end of its error message, after which the dump holds the bytes of the elements before the one
  // in error. The end-to-end rows hold a case of each message, so these are the finer points.
  const std::string invalid = "invalid character at line ";
  const std::string token = "unknown token at line ";
  const std::string missing = "missing line number at line ";
  const std::string range = "out of range at line ";
  const std::tuple<std::string, const char*, std::string, std::string> cases[] = {
      {"", "", "", ""},
      {"\nprint  X\x1F", "", "", "0D 74 20 58 1F 0D"},
      {"null erase a X=b PRINT]", "", "", "00 1F 64 58 3D 65 50 52 49 4E 54 5D 0D"},
      {"up left down right mul div if gosub scroll", "", "", "5E 5F 60 61 62 63 6D 6F 7F 0D"},
      // Numeric escapes, whose text is never classed: any byte by number, modulo 256.
      {"{65}{ \t 65}{+65abc}{$fF}{%1000001}{-$A}{-56}{300}", "", "", "41 41 41 FF 41 F6 C8 2C 0D"},
      {"{abc}{- 5}{$g}{%102}{\t{\xC3\xA9}{}", "", "", "00 00 00 02 00 00 0D"},
      {"{9223372036854775808}{18446744073709551617}", "", "", "00 01 0D"},
      // Words end only at a blank; a lower-case letter or ^ _ ` | } ~ 127 begins one.
      {"print{34}", "", token + "1 - #print{34}#", ""},
      {"e", "", token + "1 - #e#", ""},
      {"A ^ ", "", token + "1 - #^#", "41 20"},
      {"`", "", token + "1 - #`#", ""},
      {"\x7F|", "", token + "1 - #^?|#", ""},
      {"goto\t10", "", token + "1 - #goto^I10#", ""},
      {"A}{", "", token + "1 - #}{#", "41"},
      {"caf\xC3\xA9", "", token + "1 - #caf\xC3\xA9#", ""},
      // Characters that are invalid where an element begins.
      {"\x1E", "", invalid + "1", ""},
      {"\x80", "", invalid + "1", ""},
      // Line numbers of the 2000-baud layout, and the end marker after a whole listing.
      {"", "k", "", "00 FF"},
      {"10  X\n10:\n-0\n-1 X\n32767\n-32768 \n-255\n0000000000000000000001", "k", "",
       "0A 00 20 58 0D 0A 00 3A 0D 00 00 0D FF FF 58 0D FF 7F 0D 00 80 0D 01 FF 0D 01 00 0D 00 FF"},
      // An escaped line end is written as asked for: here it starts a record of its own.
      {"10 A{13}{20}{0}B", "k", "", "0A 00 41 0D 14 00 42 0D 00 FF"},
      {"32768", "k", range + "1", ""},
      {"-32769", "k", range + "1", ""},
      {"18446744073709551626", "k", range + "1", ""},  // 2^64 + 10 is not 10
      {"- 5", "k", missing + "1", ""},
      {"+5", "k", missing + "1", ""},
      {" 10", "k", missing + "1", ""},
      {"\xEF\xBC\x91", "k", missing + "1", ""},  // a full-width digit is not a digit
      {"10 A\n20 B\tC\n", "k", invalid + "2", "0A 00 41 0D 14 00 42"},
  };
  for (const auto& [listing, layout, message, dump] : cases) {
    auto [end, written, report] = convert(listing, {.baud2000 = *layout != 0});
    EXPECT_EQ(message.empty() ? ConversionEnd::finished : ConversionEnd::listingError, end);
    EXPECT_EQ(dump, written) << listing;
    if (WINDOWS_BUILD) continue;
    EXPECT_EQ(message.empty(), report.empty()) << listing << " gave " << report;
    EXPECT_EQ(message, report.substr(report.size() - std::min(report.size(), message.size())))
        << listing;
  }
}

TEST(ListingConversion, StopsAtTheFirstFailedWrite) {
  // Output that cannot be written: the conversion ends at the write that fails, before the read
  // error of the next block, the error of the line, or the end marker after it.
  for (const auto& [listing, failReadAt, baud2000] :
       {std::tuple{std::string(4095, 'A') + "\nB\n", kFileBufferSize, false},
        {std::string(5000, 'A') + "\t", SIZE_MAX, false},
        {"1 " + std::string(4091, 'A') + "\n", SIZE_MAX, true}}) {  // 2 bytes left
    ConversionEnd end = ConversionEnd::finished;
    runInMemory({listing, 1 << 20, failReadAt},
                [&] { end = convertListing({.baud2000 = baud2000}); }, {"", 1 << 20, SIZE_MAX, 0});
    EXPECT_EQ(ConversionEnd::writeError, end) << listing.size();
  }
}

}  // namespace
