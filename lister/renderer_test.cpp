#include "lister/renderer.h"

#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <string>

#include "converter/line_encoder.h"
#include "services/files.h"
#include "tests/memory_file.h"

namespace {

std::string render(const std::string& dump, const ListerOptions& options, size_t piece = 1 << 20) {
  MemoryFile input{dump};
  input.piece = piece;
  MemoryFile output;
  attachMemoryFile(0, input, false);
  attachMemoryFile(1, output, true);
  renderDump(options);
  closeAllFiles();
  return output.bytes;
}

ListerOptions optionsOf(const std::string& letters) {
  ListerOptions options;
  options.editable = letters.find('e') != std::string::npos;
  options.charNumbers = letters.find('n') != std::string::npos;
  options.viperSoft = letters.find('v') != std::string::npos;
  options.baud2000 = letters.find('k') != std::string::npos;
  return options;
}

// The texts of codes 0x5E..0x7F with -e. By default the first six are symbols, the letters
// stay, and the keywords are in capitals.
const char* const kEditableTexts[] = {
    "up ",     "left ",  "down ",    "right ", "mul ",   "div ",  "a ",      "b ",    "c ",
    "d ",      "list ",  "clear ",   "run ",   "next ",  "line ", "if ",     "goto ", "gosub ",
    "return ", "box ",   "for ",     "input ", "print ", "step ", "rnd ",    "to ",   "data ",
    "circle ", "point ", "default ", "show ",  "snap ",  "zero ", "scroll ",
};
const char* const kSymbols[] = {"\xE2\x96\xB2", "\xE2\x97\x84", "\xE2\x96\xBC",
                                "\xE2\x96\xBA", "\xC3\x97",     "\xC3\xB7"};

std::string defaultText(int byte) {
  if (byte < 0x64) return kSymbols[byte - 0x5E];
  std::string text = kEditableTexts[byte - 0x5E];
  if (byte <= 0x67) return text.substr(0, 1);
  for (char& c : text)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// What one byte other than the line end lists as, told from the byte's meaning.
std::string expectedText(int byte, const ListerOptions& options) {
  int signedCode = byte < 128 ? byte : byte - 256;
  bool command = byte >= 0x68 && byte <= (options.viperSoft ? 0x7F : 0x77);
  if (byte == 0x00) return options.editable ? "null " : "";
  if (byte == 0x1F) return options.editable ? "erase " : "";
  if (byte >= 0x20 && byte <= 0x5D) return std::string(1, static_cast<char>(byte));
  if ((byte >= 0x5E && byte <= 0x67) || command) {
    return options.editable ? kEditableTexts[byte - 0x5E] : defaultText(byte);
  }
  return options.charNumbers ? "{" + std::to_string(signedCode) + "}" : "?";
}

TEST(Renderer, EveryByteAloneInEveryOptionCombination) {
  for (const char* letters : {"", "e", "n", "v", "en", "ev", "nv", "env"}) {
    ListerOptions options = optionsOf(letters);
    for (int byte = 0; byte < 256; ++byte) {
      std::string expected = byte == 0x0D ? "\r\n" : expectedText(byte, options);
      std::string dump(1, static_cast<char>(byte));
      EXPECT_EQ(expected, render(dump, options)) << "byte " << byte << " options " << letters;
      // The 2000-baud layout adds only the line numbers around the same text.
      options.baud2000 = true;
      std::string numbered = "10 " + expected + (byte == 0x0D ? "0 " : "");
      EXPECT_EQ(numbered, render(std::string("\x0A\x00", 2) + dump, options)) << "byte " << byte;
      options.baud2000 = false;
    }
  }
}

TEST(Renderer, ListsLines) {
  struct Case {
    std::string dump;
    std::string letters;
    std::string text;
  };
  const Case cases[] = {
      {"10 tX\r", "e", "10 print X\r\n"},
      {"10 t\"HI\"\r20 n10\r", "", "10 PRINT \"HI\"\r\n20 GOTO 10\r\n"},
      {"", "", ""},
      {"A\rB", "", "A\r\nB"},  // no line end after a last line without 13
      {"\n", "n", "{10}"},     // only 13 ends a line
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.text, render(c.dump, optionsOf(c.letters))) << c.dump;
}

TEST(Renderer, Reads2000BaudLineNumbers) {
  using namespace std::string_literals;
  struct Case {
    std::string dump;
    std::string text;
  };
  const Case cases[] = {
      {"\x0A\x00tX\r\x00\xFF"s, "10 PRINT X\r\n"},
      {"\x0A\x00t\"HI\"\r\x14\x00n10\r\x00\xFF"s, "10 PRINT \"HI\"\r\n20 GOTO 10\r\n"},
      {""s, "0 "},      // the first number is always written
      {"\x07"s, "7 "},  // from the one byte there is
      {"\x0A\x00"s
       "A\r",
       "10 A\r\n0 "},  // no end marker: both missing bytes count as 0
      {"\x0A\x00"s
       "A\r\x05",
       "10 A\r\n5 "},  // one byte after the line end
      {"\x00\xFF"s
       "A"s,
       "-256 A"},  // the first number is not tested for the marker
      {"\x00\x80"s, "-32768 "},
      {"\x0A\x00\x41\r\x00\xFF\x42\x43\r\x00\xFF"s, "10 A\r\nBC\r\n"},  // text after the marker
      {"10 tX\r"s, "12337  PRINT X\r\n0 "},  // a 300-baud dump read as 2000-baud
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.text, render(c.dump, optionsOf("k"))) << c.dump;
}

// Converts a listing back with the converter, as KALDEX would.
std::string convertBack(const std::string& listing, DumpLayout layout = DumpLayout::baud300) {
  MemoryFile input{listing};
  MemoryFile output;
  attachMemoryFile(0, input, false);
  attachMemoryFile(1, output, true);
  EXPECT_EQ(ConversionEnd::finished, convertListing(layout));
  closeAllFiles();
  return output.bytes;
}

TEST(Renderer, EditableListingsConvertBackToTheSameBytes) {
  ListerOptions options = optionsOf("env");
  std::string allBytes;
  for (int byte = 0; byte < 256; ++byte) {
    if (byte != 0x0D) allBytes.push_back(static_cast<char>(byte));
  }
  allBytes.push_back('\r');
  EXPECT_EQ(allBytes, convertBack(render(allBytes, options)));

  std::mt19937 random(20261206);
  for (int round = 0; round < 500; ++round) {
    std::string dump(random() % 300, '\0');
    for (char& byte : dump) {
      // Line ends often enough to give many short and empty lines.
      byte = static_cast<char>(random() % 8 == 0 ? 0x0D : random() % 256);
    }
    dump.push_back('\r');
    ASSERT_EQ(dump, convertBack(render(dump, options, 1 + random() % 7))) << "round " << round;
  }
}

TEST(Renderer, Editable2000BaudListingsConvertBackToTheSameBytes) {
  // Well-formed recordings: at least one record, numbers other than the end marker, content
  // without 13, then the end marker. The lister takes the first word as a number even when it is
  // the end marker, so a recording without records does not come back.
  ListerOptions options = optionsOf("envk");
  const int edgeNumbers[] = {-32768, 32767, -257, -255, -1, 0};
  std::mt19937 random(20261207);
  for (int round = 0; round < 500; ++round) {
    std::string dump;
    for (int records = 1 + random() % 12; records > 0; --records) {
      int number = random() % 4 == 0 ? edgeNumbers[random() % 6]
                                     : static_cast<int>(random() % 65536) - 32768;
      if (number == -256) number = 256;
      uint16_t word = static_cast<uint16_t>(number);
      dump.push_back(static_cast<char>(word & 0xFF));
      dump.push_back(static_cast<char>(word >> 8));
      for (int length = random() % 4 == 0 ? 0 : random() % 40; length > 0; --length) {
        int byte = random() % 255;
        dump.push_back(static_cast<char>(byte < 0x0D ? byte : byte + 1));
      }
      dump.push_back('\r');
    }
    dump += std::string("\x00\xFF", 2);
    ASSERT_EQ(dump, convertBack(render(dump, options, 1 + random() % 7), DumpLayout::baud2000))
        << "round " << round;
  }
}

TEST(Renderer, StopsWhenWritingFails) {
  MemoryFile input{std::string(100000, 'A')};
  MemoryFile full;
  full.capacity = 10;
  attachMemoryFile(0, input, false);
  attachMemoryFile(1, full, true);
  renderDump(optionsOf(""));
  EXPECT_TRUE(fileFailed(1));
  EXPECT_LT(input.position, input.bytes.size());
  closeAllFiles();
}

}  // namespace
