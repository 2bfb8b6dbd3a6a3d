#include "lister/renderer.h"

#include <gtest/gtest.h>

#include "converter/listing_conversion.h"
#include "tests/memory_file.h"

using namespace std::string_literals;

namespace {

// Renders dump with the options given by letters ("e", "n", "v", "k" for -2k).
std::string render(const std::string& dump, const std::string& letters) {
  ListerOptions options;
  options.editable = letters.find('e') != std::string::npos;
  options.charNumbers = letters.find('n') != std::string::npos;
  options.viperSoft = letters.find('v') != std::string::npos;
  options.baud2000 = letters.find('k') != std::string::npos;
  MemoryFile input{dump};
  MemoryFile output;
  attachMemoryFile(0, input, false);
  attachMemoryFile(1, output, true);
  renderDump(options);
  closeAllFiles();
  return output.bytes;
}

std::string everyByte(bool withLineEnd) {
  std::string bytes;
  for (int byte = 0; byte < 256; ++byte) {
    if (byte != '\r' || withLineEnd) bytes += static_cast<char>(byte);
  }
  return bytes;
}

TEST(Renderer, ListsEveryByte) {
  // Unrecognised codes from first to last, as "?" or numbered with -n, bytes 0x80 and up
  // counting as -128 to -1.
  auto unknown = [](int first, int last, bool numbered) {
    std::string text;
    for (int code = first; code <= last; ++code)
      text += numbered ? '{' + std::to_string(code) + '}' : "?";
    return text;
  };
  for (const std::string letters : {"", "n", "v", "nv"}) {
    bool n = letters.find('n') != std::string::npos;
    bool v = letters.find('v') != std::string::npos;
    std::string expected =
        unknown(1, 12, n) + "\r\n" + unknown(14, 30, n) +
        " !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]"
        "\u25B2\u25C4\u25BC\u25BA\u00D7\u00F7abcdLIST CLEAR RUN NEXT LINE IF GOTO GOSUB RETURN "
        "BOX FOR INPUT PRINT STEP RND TO " +
        (v ? "DATA CIRCLE POINT DEFAULT SHOW SNAP ZERO SCROLL " : unknown(120, 127, n)) +
        unknown(-128, -1, n);
    EXPECT_EQ(expected, render(everyByte(true), letters)) << letters;
  }
}

TEST(Renderer, ListsLines) {
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"10 \x74X\r", "", "10 PRINT X\r\n"},
      {"\x00\x1F\x5E\x5F\x60\x61\x62\x63\x64\x65\x66\x67\x68\x77"s, "e",
       "null erase up left down right mul div a b c d list to "},
      {"A\rB", "", "A\r\nB"},  // no line end after a last line without 13
      {"\x0A\x00\x74\"HI\"\r\x14\x00\x6E"s + "10\r\x00\xFF"s, "k",
       "10 PRINT \"HI\"\r\n20 GOTO 10\r\n"},
      {""s, "k", "0 "},                         // the first number is always written,
      {"\x07"s, "k", "7 "},                     // from the one byte there is,
      {"\0\xFF\x41"s, "k", "-256 A"},           // and not tested for the end marker
      {"\x0A\0A\r"s, "k", "10 A\r\n0 "},        // no end marker: both missing bytes count as 0
      {"\x0A\0A\r\x85"s, "k", "10 A\r\n133 "},  // one byte after the line end
      {"\x00\x80\r\xFF\x7F"s, "k", "-32768 \r\n32767 "},
      // Text after the end marker is listed without numbers.
      {"\x0A\0A\r\0\xFF\x42\x43\r\0\xFF"s, "k", "10 A\r\nBC\r\n"},
  };
  for (const auto& [dump, letters, text] : cases)
    EXPECT_EQ(text, render(dump, letters)) << dump;
}

TEST(Renderer, EditableListingsConvertBackToTheSameBytes) {
  // Every byte value, and in the 2000-baud layout every kind of line number.
  std::string dump2000 = "\x00\x80"s + everyByte(false) + "\r\xFF\x7F\r\xFF\xFE" + "7 X\r" +
                         "\x01\xFF\r\xFF\xFF\r\0\0\r\0\x01\r\0\xFF"s;
  for (const auto& [dump, layout] : {std::pair{everyByte(false) + "\r\r", DumpLayout::baud300},
                                     {dump2000, DumpLayout::baud2000}}) {
    bool baud2000 = layout == DumpLayout::baud2000;
    MemoryFile input{render(dump, baud2000 ? "envk" : "env")};
    MemoryFile output;
    attachMemoryFile(0, input, false);
    attachMemoryFile(1, output, true);
    EXPECT_EQ(ConversionEnd::finished, convertListing(layout));
    closeAllFiles();
    EXPECT_EQ(dump, output.bytes);
  }
}

TEST(Renderer, StopsWhenWritingFails) {
  MemoryFile input{std::string(100000, 'A')};
  MemoryFile full{"", 1 << 20, SIZE_MAX, 10};
  attachMemoryFile(0, input, false);
  attachMemoryFile(1, full, true);
  renderDump(ListerOptions());
  EXPECT_TRUE(fileFailed(1));
  EXPECT_LT(input.position, input.bytes.size());
  closeAllFiles();
}

}  // namespace
