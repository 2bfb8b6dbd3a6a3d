#include "lister/renderer.h"

#include <gtest/gtest.h>

#include <numeric>

#include "tests/memory_file.h"

using namespace std::string_literals;

namespace {

// Renders dump with the options given by letters ("e", "n", "v", "k" for -2k).
std::string render(const std::string& dump, const std::string& letters) {
  auto has = [&letters](char letter) { return letters.find(letter) != std::string::npos; };
  ListerOptions options{
      .editable = has('e'), .charNumbers = has('n'), .viperSoft = has('v'), .baud2000 = has('k')};
  return runInMemory({dump}, [&] { renderDump(options); });
}

TEST(Renderer, ListsEveryByte) {
  std::string everyByte(256, '\0');
  std::iota(everyByte.begin(), everyByte.end(), '\0');
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
    EXPECT_EQ(expected, render(everyByte, letters)) << letters;
  }
}

TEST(Renderer, ListsLines) {
  // The end-to-end rows list whole programs in each layout; these are the finer points.
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"\x00\x1F\x5E\x5F\x60\x61\x62\x63\x64\x65\x66\x67\x68\x77"s, "e",
       "null erase up left down right mul div a b c d list to "},
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

TEST(Renderer, StopsWhenWritingFails) {
  runInMemory({std::string(100000, 'A')},
              [] {
                renderDump(ListerOptions());
                EXPECT_TRUE(fileFailed(kOutputFile));
                EXPECT_FALSE(atEndOfFile(kInputFile));  // the rest of the input is left unread
              },
              {"", 1 << 20, SIZE_MAX, 10});
}

}  // namespace
