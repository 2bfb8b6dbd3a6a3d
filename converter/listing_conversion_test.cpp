#include "converter/listing_conversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "tests/console_text.h"
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

// How the conversion ended, the dump in hexadecimal, and the first line of the report.
std::tuple<ConversionEnd, std::string, std::string> convert(const std::string& listing,
                                                            const ConverterOptions& options) {
  ConversionEnd end = ConversionEnd::readError;
  std::string dump;
  std::string report =
      catchConsole([&] { dump = runInMemory({listing}, [&] { end = convertListing(options); }); });
  return {end, hex(dump), report.substr(0, report.find('\n'))};
}

// Listings, how each is read, the end of its error message ("" for none) and its dump in
// hexadecimal, which after an error holds the bytes of the elements before the one in error. The
// end-to-end rows hold a case of each message, so these are the finer points.
void expectRows(
    std::initializer_list<std::tuple<std::string, ConverterOptions, std::string, std::string>>
        rows) {
  for (const auto& [listing, options, message, dump] : rows) {
    auto [end, written, report] = convert(listing, options);
    EXPECT_EQ(message.empty() ? ConversionEnd::finished : ConversionEnd::listingError, end);
    EXPECT_EQ(dump, written) << listing;
    EXPECT_EQ(message.empty(), report.empty()) << listing << " gave " << report;
    EXPECT_EQ(message, report.substr(report.size() - std::min(report.size(), message.size())))
        << listing;
  }
}

const std::string invalid = "invalid character at line ", token = "unknown token at line ",
                  missing = "missing line number at line ", range = "out of range at line ";
const ConverterOptions k = {.baud2000 = true}, s = {.readingForm = true};
const ConverterOptions ks = {.baud2000 = true, .readingForm = true};

TEST(ListingConversion, CharactersAndWordsAreTheirBytes) {
  expectRows({{"", {}, "", ""},
              {"\nprint  X\x1F\rgoto\r\n", {}, "", "0D 74 20 58 1F 0D 6E 0D"},
              {"X=b PRINT]null erase up left down right mul div a b c d list clear run next line "
               "if goto gosub return box for input print step rnd to data circle point default "
               "show snap zero scroll",
               {},
               "",
               "58 3D 65 50 52 49 4E 54 5D 00 1F 5E 5F 60 61 62 63 64 65 66 67 68 69 6A 6B 6C 6D "
               "6E 6F 70 71 72 73 74 75 76 77 78 79 7A 7B 7C 7D 7E 7F 0D"}});
}

TEST(ListingConversion, EscapesAreAnyByteByNumber) {
  // Their text is never classed; the number is taken modulo 256. An escaped line end is written
  // as asked for: in the last row it starts a record of its own.
  expectRows(
      {{"{65}{ \t 65}{+65abc}{$fF}{%1000001}{-$A}{-56}{300}", {}, "", "41 41 41 FF 41 F6 C8 2C 0D"},
       {"{abc}{- 5}{$g}{%102}{\t{\xC3\xA9}{}", {}, "", "00 00 00 02 00 00 0D"},
       {"{9223372036854775808}{18446744073709551617}", {}, "", "00 01 0D"},
       {"10 A{13}{20}{0}B", k, "", "0A 00 41 0D 14 00 42 0D 00 FF"}});
}

TEST(ListingConversion, WordsEndOnlyAtABlank) {
  // A lower-case letter or ^ _ ` | } ~ 127 begins one.
  expectRows({{"print{34}", {}, token + "1 - #print{34}#", ""},
              {"e", {}, token + "1 - #e#", ""},
              {"A ^ ", {}, token + "1 - #^#", "41 20"},
              {"`", {}, token + "1 - #`#", ""},
              {"\x7F|", {}, token + "1 - #^?|#", ""},
              {"goto\t10", {}, token + "1 - #goto^I10#", ""},
              {"A}{", {}, token + "1 - #}{#", "41"},
              {"caf\xC3\xA9", {}, token + "1 - #caf\xC3\xA9#", ""},
              {"\x1E", {}, invalid + "1", ""},
              {"\x80", {}, invalid + "1", ""}});
}

TEST(ListingConversion, LineNumbersOf2000Baud) {
  // And the end marker after a whole listing.
  expectRows({{"", k, "", "00 FF"},
              {"10  X\n10:\n-0\n-1 X\n32767\n-32768 \n-255\n0000000000000000000001", k, "",
               "0A 00 20 58 0D 0A 00 3A 0D 00 00 0D FF FF 58 0D FF 7F 0D 00 80 0D 01 FF 0D 01 00 "
               "0D 00 FF"},
              {"32768", k, range + "1", ""},
              {"-32769", k, range + "1", ""},
              {"18446744073709551626", k, range + "1", ""},  // 2^64 + 10 is not 10
              {"- 5", k, missing + "1", ""},
              {"+5", k, missing + "1", ""},
              {" 10", k, missing + "1", ""},
              {"\xEF\xBC\x91", k, missing + "1", ""},  // a full-width digit is not a digit
              {"10 A\n20 B\tC\n", k, invalid + "2", "0A 00 41 0D 14 00 42"}});
}

TEST(ListingConversion, ReadingFormTakesCapitalsAndSymbols) {
  const std::string printed =
      "10 PRINT \"HI\"\n20 GOTO10\n30 X=RND(120)\n40 A=B\xC3\x97\x43\n50 PRINT \"PRINT\"\n60 "
      "FORA=1";
  expectRows(
      {{printed, s, "",
        "31 30 20 74 22 48 49 22 0D 32 30 20 6E 31 30 0D 33 30 20 58 3D 76 28 31 32 30 29 0D 34 30 "
        "20 41 3D 42 62 43 0D 35 30 20 74 22 50 52 49 4E 54 22 0D 36 30 20 46 4F 52 41 3D 31 0D"},
       {printed, ks, "",
        "0A 00 74 22 48 49 22 0D 14 00 6E 31 30 0D 1E 00 58 3D 76 28 31 32 30 29 0D 28 00 41 3D 42 "
        "62 43 0D 32 00 74 22 50 52 49 4E 54 22 0D 3C 00 46 4F 52 41 3D 31 0D 00 FF"},
       // Commands: whole runs outside quotes, with one blank; the quotes of a line only.
       {"TO  KP XTO TOX NULL\"TO\"\"TO\nTO \"SCROLL\"SCROLL DEFAULTS", s, "",
        "77 20 4B 50 20 58 54 4F 20 54 4F 58 20 4E 55 4C 4C 22 54 4F 22 22 54 4F 0D 77 22 53 43 "
        "52 4F 4C 4C 22 7F 44 45 46 41 55 4C 54 53 0D"},
       // The symbols anywhere, without a blank; other characters above 127 are still invalid.
       {"\xE2\x96\xB2 \xE2\x97\x84\"\xE2\x96\xBC\xE2\x96\xBA\xC3\xB7\"A\xE2\x96\xB3", s,
        invalid + "1", "5E 20 5F 22 60 61 63 22 41"}});
}

TEST(ListingConversion, ReadingFormTakesLowerCaseWords) {
  // Input words of two or more letters as without it; else runs of a to d, without a blank.
  expectRows({{"print a X\"ab;c\"d dab cab{1}up data", s, "",
               "74 64 20 58 22 64 65 3B 66 22 67 20 67 64 65 20 66 64 65 01 5E 78 0D"},
              {"X abe X", s, token + "1 - #abe#", "58 20"}});
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
