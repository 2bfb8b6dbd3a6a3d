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
  // The bytes 0 to 255 in turn, unrecognised codes numbered (bytes 0x80 and up as -128 to -1),
  // 0x78 to 0x7F among them without -v. ListsLines has "?" and the VIPERSoft BASIC commands.
  std::string everyByte(256, '\0');
  std::iota(everyByte.begin(), everyByte.end(), '\0');
  EXPECT_EQ(
      "{1}{2}{3}{4}{5}{6}{7}{8}{9}{10}{11}{12}\r\n{14}{15}{16}{17}{18}{19}{20}{21}{22}{23}{24}{25}"
      "{26}{27}{28}{29}{30} !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]\u25B2"
      "\u25C4\u25BC\u25BA\u00D7\u00F7abcdLIST CLEAR RUN NEXT LINE IF GOTO GOSUB RETURN BOX FOR INP"
      "UT PRINT STEP RND TO {120}{121}{122}{123}{124}{125}{126}{127}{-128}{-127}{-126}{-125}{-124}"
      "{-123}{-122}{-121}{-120}{-119}{-118}{-117}{-116}{-115}{-114}{-113}{-112}{-111}{-110}{-109}"
      "{-108}{-107}{-106}{-105}{-104}{-103}{-102}{-101}{-100}{-99}{-98}{-97}{-96}{-95}{-94}{-93}"
      "{-92}{-91}{-90}{-89}{-88}{-87}{-86}{-85}{-84}{-83}{-82}{-81}{-80}{-79}{-78}{-77}{-76}{-75}"
      "{-74}{-73}{-72}{-71}{-70}{-69}{-68}{-67}{-66}{-65}{-64}{-63}{-62}{-61}{-60}{-59}{-58}{-57}"
      "{-56}{-55}{-54}{-53}{-52}{-51}{-50}{-49}{-48}{-47}{-46}{-45}{-44}{-43}{-42}{-41}{-40}{-39}"
      "{-38}{-37}{-36}{-35}{-34}{-33}{-32}{-31}{-30}{-29}{-28}{-27}{-26}{-25}{-24}{-23}{-22}{-21}"
      "{-20}{-19}{-18}{-17}{-16}{-15}{-14}{-13}{-12}{-11}{-10}{-9}{-8}{-7}{-6}{-5}{-4}{-3}{-2}{-1}",
      render(everyByte, "n"));
}

TEST(Renderer, ListsLines) {
  // The end-to-end rows list whole programs in each layout; these are the finer points.
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"\x00\x1F\x5E\x5F\x60\x61\x62\x63\x64\x65\x66\x67\x68\x77"s, "e",
       "null erase up left down right mul div a b c d list to "},
      {"\x78\x7F\x80\x0A"s, "v", "DATA SCROLL ??"},
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
