#include "lister/renderer.h"

#include <gtest/gtest.h>

#include <string>

#include "converter/line_encoder.h"
#include "services/files.h"
#include "tests/memory_file.h"

namespace {

std::string render(const std::string& dump, const ListerOptions& options) {
  MemoryFile input{dump};
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

TEST(Renderer, ListsEachKindOfByte) {
  // The first and last byte of each range of codes, under the options that change them.
  struct Case {
    int byte;
    std::string letters;
    std::string text;
  };
  const Case cases[] = {
      {0x00, "", ""},         {0x00, "e", "null "},  {0x1F, "", ""},
      {0x1F, "e", "erase "},  {0x01, "", "?"},       {0x1E, "n", "{30}"},
      {0x20, "", " "},        {0x5D, "e", "]"},      {0x5E, "", "\xE2\x96\xB2"},
      {0x63, "", "\xC3\xB7"}, {0x5E, "e", "up "},    {0x64, "", "a"},
      {0x67, "e", "d "},      {0x68, "", "LIST "},   {0x77, "e", "to "},
      {0x78, "", "?"},        {0x78, "v", "DATA "},  {0x7F, "ev", "scroll "},
      {0x7F, "n", "{127}"},   {0x80, "n", "{-128}"}, {0xFF, "e", "?"},
      {0xFF, "env", "{-1}"},  {0x0D, "", "\r\n"},
  };
  for (const Case& c : cases) {
    std::string dump(1, static_cast<char>(c.byte));
    EXPECT_EQ(c.text, render(dump, optionsOf(c.letters))) << c.byte << " " << c.letters;
    // The 2000-baud layout adds only the line numbers around the same text.
    std::string numbered = "10 " + c.text + (c.byte == 0x0D ? "0 " : "");
    EXPECT_EQ(numbered, render(std::string("\x0A\x00", 2) + dump, optionsOf(c.letters + "k")))
        << c.byte << " " << c.letters;
  }
}

TEST(Renderer, ListsLines) {
  using namespace std::string_literals;
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
      {"\x0A\x00t\"HI\"\r\x14\x00n10\r\x00\xFF"s, "k", "10 PRINT \"HI\"\r\n20 GOTO 10\r\n"},
      {""s, "k", "0 "},                       // the first number is always written
      {"\x07"s, "k", "7 "},                   // from the one byte there is
      {"\x0A\0A\r"s, "k", "10 A\r\n0 "},      // no end marker: both missing bytes count as 0
      {"\x0A\0A\r\x05"s, "k", "10 A\r\n5 "},  // one byte after the line end
      {"\0\xFF\x41"s, "k", "-256 A"},         // the first number is not tested for the marker
      {"\x00\x80"s, "k", "-32768 "},
      // Text after the end marker is listed without numbers.
      {"\x0A\0A\r\0\xFF\x42\x43\r\0\xFF"s, "k", "10 A\r\nBC\r\n"},
      {"10 tX\r"s, "k", "12337  PRINT X\r\n0 "},  // a 300-baud dump read as 2000-baud
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.text, render(c.dump, optionsOf(c.letters))) << c.dump;
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
  std::string allBytes;
  for (int byte = 0; byte < 256; ++byte) {
    if (byte != 0x0D) allBytes.push_back(static_cast<char>(byte));
  }
  allBytes += "\r\r";
  EXPECT_EQ(allBytes, convertBack(render(allBytes, optionsOf("env"))));
}

TEST(Renderer, Editable2000BaudListingsConvertBackToTheSameBytes) {
  // A well-formed recording: numbers other than the end marker, content without 13, then the end
  // marker. The first record holds every other byte, one record nothing.
  std::string dump;
  for (int number : {-32768, 32767, -257, -255, -1, 0, 256}) {
    bool first = dump.empty();
    dump.push_back(static_cast<char>(number & 0xFF));
    dump.push_back(static_cast<char>(number >> 8 & 0xFF));
    for (int byte = 0; first && byte < 256; ++byte) {
      if (byte != 0x0D) dump.push_back(static_cast<char>(byte));
    }
    if (number != 0) dump += "7 X";
    dump.push_back('\r');
  }
  dump += std::string("\x00\xFF", 2);
  EXPECT_EQ(dump, convertBack(render(dump, optionsOf("envk")), DumpLayout::baud2000));
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
