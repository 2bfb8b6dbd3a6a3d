// MORVIX as its users run it: its whole console text, its exit status and the bytes it writes.
#include <gtest/gtest.h>

#include "program_runner.h"

namespace {

// 10 PRINT X, worked out by hand.
const std::string kDump = bytes({0x31, 0x30, 0x20, 0x74, 0x58, 0x0D});
const std::string kListing = "10 PRINT X\r\n";

}  // namespace

const Program kMorvix = {"MORVIX", programPath(MORVIX_PATH, "MORVIX"),
                         "\n"
                         "MORVIX Version 1.2 - Converts a Bally Basic binary dump to a text file\n"
                         "\n"
                         "  Usage:\n"
                         "    MORVIX program.prg output.txt [-e] [-n] [-v] [-2k]\n"
                         "    -e:\n"
                         "      editable output, special characters and commands are converted to\n"
                         "      lowercase words\n"
                         "    -n:\n"
                         "      display character number {n} on unrecognized characters,\n"
                         "      instead of question marks\n"
                         "    -v:\n"
                         "      look for VIPERSoft BASIC keywords, otherwise assume Bally BASIC\n"
                         "    -2k:\n"
                         "      process .prg as a 2000-baud recording instead of a 300-baud one.\n"
                         "\n",
                         kDump, kListing};

namespace {

TEST(Morvix, Listings) {
  // Every option changes this dump in its own way, so a flag set by the wrong option shows:
  // 0x0A, 0x80 and 0xFF are unrecognised, 0x00 is "null " when editable, 0x7F is VIPERSoft's
  // SCROLL, and in the 2000-baud layout 0A 00 is line 10 and 00 FF the end marker.
  const std::string mixed = bytes({0x0A, 0x00, 0x74, 0x7F, 0x80, 0x0D, 0x00, 0xFF});
  struct Case {
    std::string dump;
    std::vector<std::string> options;
    std::string listing;
  };
  const Case cases[] = {
      {kDump, {}, kListing},
      {bytes({0x0A, 0x00, 0x74, 0x22, 0x48, 0x49, 0x22, 0x0D, 0x14, 0x00, 0x6E, 0x31, 0x30, 0x0D,
              0x00, 0xFF}),
       {"-2k"},
       "10 PRINT \"HI\"\r\n20 GOTO 10\r\n"},
      {bytes({0x5E, 0x5F, 0x60, 0x61, 0x62, 0x63, 0x0D}),
       {},
       "\xE2\x96\xB2\xE2\x97\x84\xE2\x96\xBC\xE2\x96\xBA\xC3\x97\xC3\xB7\r\n"},
      {kDump + "20", {}, kListing + "20"},
      {mixed, {}, "?PRINT ??\r\n?"},
      {mixed, {"-e"}, "?null print ??\r\nnull ?"},
      {mixed, {"-n"}, "{10}PRINT {127}{-128}\r\n{-1}"},
      {mixed, {"-v"}, "?PRINT SCROLL ?\r\n?"},
      {mixed, {"-2k"}, "10 PRINT ??\r\n"},
      {mixed, {"-e", "-n", "-v", "-2k"}, "10 print scroll {-128}\r\n"},
      {mixed, {"-2K", "-V", "-N", "-E"}, "10 print scroll {-128}\r\n"},
      {mixed, {"-E", "-e", "-E"}, "?null print ??\r\nnull ?"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.dump) + " " + testing::PrintToString(c.options));
    TempFolder folder;
    writeFile(folder / "in", c.dump);
    std::vector<std::string> args = {"in", "out"};
    args.insert(args.end(), c.options.begin(), c.options.end());

    RunResult result = runProgram(kMorvix.path, folder, args);

    EXPECT_EQ(0, result.end);
    EXPECT_EQ("", result.console);
    EXPECT_EQ(c.listing, readFile(folder / "out"));
  }
}

TEST(Morvix, InvalidParameterStopsBeforeAnyFileIsLookedAt) {
  struct Case {
    std::vector<std::string> args;
    std::string shown;
  };
  const Case cases[] = {
      {{"in", "out", "-x"}, "-x"},
      {{"in", "out", "/e"}, "/e"},
      {{"in", "out", "-2"}, "-2"},
      {{"in", "out", "-ee"}, "-ee"},
      {{"in", "out", "-E", "-2", "-x"}, "-2"},
      {{"missing", "out", "-x"}, "-x"},
      // The first two parameters are paths whatever they look like.
      {{"-e", "in", "out"}, "out"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    TempFolder folder;
    writeFile(folder / "in", kDump);
    writeFile(folder / "out", kOldOutput);

    RunResult result = runProgram(kMorvix.path, folder, c.args, {"y"});

    EXPECT_EQ(1, result.end);
    EXPECT_EQ("Invalid parameter: " + c.shown + "\n\n", result.console);
    EXPECT_EQ(kOldOutput, readFile(folder / "out"));
    EXPECT_EQ(2, std::distance(std::filesystem::directory_iterator(folder.path), {}));
  }
}

}  // namespace
