// MORVIX as its users run it: the built program in a folder of its own, its whole console text,
// its exit status and the bytes of the listing it writes.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "program_runner.h"

namespace {

const std::string kMorvix = MORVIX_PATH;
const std::string kKaldex = KALDEX_PATH;

const std::string kUsage =
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
    "\n";

// 10 PRINT X, worked out by hand.
const std::string kDump = bytes({0x31, 0x30, 0x20, 0x74, 0x58, 0x0D});
const std::string kListing = "10 PRINT X\r\n";

// What an existing output holds before a run; it must survive every run that does not list.
const std::string kOldOutput = "OLD OUTPUT";

RunResult runMorvix(const std::vector<std::string>& args, const RunOptions& options) {
  return runProgram(kMorvix, args, options);
}

// A folder holding the dump in.prg and, when asked, an existing out.txt.
void prepareFolder(const TempFolder& folder, bool withOldOutput) {
  writeFileBytes(joinPath(folder.path, "in.prg"), kDump);
  if (withOldOutput) writeFileBytes(joinPath(folder.path, "out.txt"), kOldOutput);
}

TEST(MorvixUsage, FewerThanTwoParametersShowUsageAndTouchNothing) {
  const std::vector<std::string> cases[] = {{}, {"in.prg"}, {"missing.prg"}, {"-e"}};
  for (const std::vector<std::string>& args : cases) {
    SCOPED_TRACE(testing::PrintToString(args));
    TempFolder folder;
    prepareFolder(folder, false);

    RunResult result = runMorvix(args, withKeys(folder, "y"));

    EXPECT_EQ(exitedWith(0), result.end);
    EXPECT_EQ(kUsage, result.output);
    EXPECT_EQ(std::vector<std::string>{"in.prg"}, folderEntries(folder.path));
    EXPECT_EQ(kDump, contentsOf(folder, "in.prg"));
  }
}

TEST(MorvixOptions, EachOptionInAnyCaseOrderOrNumber) {
  // Every option changes this dump in its own way, so a flag set by the wrong option shows:
  // 0x0A, 0x80 and 0xFF are unrecognised, 0x00 is "null " when editable, 0x7F is VIPERSoft's
  // SCROLL, and in the 2000-baud layout 0A 00 is line 10 and 00 FF the end marker.
  const std::string dump = bytes({0x0A, 0x00, 0x74, 0x7F, 0x80, 0x0D, 0x00, 0xFF});
  struct Case {
    const char* name;
    std::vector<std::string> options;
    std::string listing;
  };
  const Case cases[] = {
      {"none", {}, "?PRINT ??\r\n?"},
      {"-e", {"-e"}, "?null print ??\r\nnull ?"},
      {"-n", {"-n"}, "{10}PRINT {127}{-128}\r\n{-1}"},
      {"-v", {"-v"}, "?PRINT SCROLL ?\r\n?"},
      {"-2k", {"-2k"}, "10 PRINT ??\r\n"},
      {"all, lower case", {"-e", "-n", "-v", "-2k"}, "10 print scroll {-128}\r\n"},
      {"all, upper case, reversed", {"-2K", "-V", "-N", "-E"}, "10 print scroll {-128}\r\n"},
      {"repeated", {"-E", "-e", "-E"}, "?null print ??\r\nnull ?"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    writeFileBytes(joinPath(folder.path, "in.prg"), dump);
    std::vector<std::string> args = {"in.prg", "out.txt"};
    args.insert(args.end(), c.options.begin(), c.options.end());

    RunResult result = runMorvix(args, inFolder(folder));

    EXPECT_EQ(exitedWith(0), result.end);
    EXPECT_EQ("", result.output);
    EXPECT_EQ(c.listing, contentsOf(folder, "out.txt"));
  }
}

TEST(MorvixOptions, SecondParameterIsAlwaysTheOutputPath) {
  TempFolder folder;
  prepareFolder(folder, false);

  RunResult result = runMorvix({"in.prg", "-e"}, inFolder(folder));

  EXPECT_EQ(exitedWith(0), result.end);
  EXPECT_EQ("", result.output);
  EXPECT_EQ(kListing, contentsOf(folder, "-e"));
}

TEST(MorvixOptions, InvalidParameterStopsBeforeAnyFileIsLookedAt) {
  struct Case {
    std::vector<std::string> args;
    std::string shown;  // the rejected parameter as the message shows it
  };
  const Case cases[] = {
      {{"in.prg", "out.txt", "-x"}, "-x"},
      {{"in.prg", "out.txt", "e"}, "e"},
      {{"in.prg", "out.txt", "/e"}, "/e"},
      {{"in.prg", "out.txt", "-2"}, "-2"},
      {{"in.prg", "out.txt", "-ee"}, "-ee"},
      {{"in.prg", "out.txt", "--e"}, "--e"},
      {{"in.prg", "out.txt", "-e "}, "-e "},
      {{"in.prg", "out.txt", ""}, ""},
      {{"in.prg", "out.txt", "-E", "-2", "-x"}, "-2"},
      // The input is not even opened.
      {{"missing.prg", "out.txt", "-x"}, "-x"},
      // The first two parameters are paths whatever they look like.
      {{"-e", "in.prg", "out.txt"}, "out.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    TempFolder folder;
    prepareFolder(folder, true);

    RunResult result = runMorvix(c.args, withKeys(folder, "y"));

    EXPECT_EQ(exitedWith(1), result.end);
    EXPECT_EQ("Invalid parameter: " + c.shown + "\n\n", result.output);
    EXPECT_EQ((std::vector<std::string>{"in.prg", "out.txt"}), folderEntries(folder.path));
    EXPECT_EQ(kOldOutput, contentsOf(folder, "out.txt"));
  }
}

TEST(MorvixFiles, MissingInputLeavesOutputAlone) {
  for (bool withOldOutput : {false, true}) {
    SCOPED_TRACE(withOldOutput ? "existing output" : "new output");
    TempFolder folder;
    prepareFolder(folder, withOldOutput);

    // An existing output is not probed, so there is no question.
    RunResult result = runMorvix({"missing.prg", "out.txt"}, withKeys(folder, "y"));

    EXPECT_EQ(exitedWith(1), result.end);
    EXPECT_EQ("Can't open file: missing.prg\n\n", result.output);
    EXPECT_EQ(withOldOutput ? std::optional<std::string>(kOldOutput) : std::nullopt,
              contentsOf(folder, "out.txt"));
  }
}

TEST(MorvixFiles, OutputThatCannotBeCreated) {
  struct Case {
    const char* name;
    std::string output;
    std::string answer;  // console text between the question and the message; none when unasked
  };
  const Case cases[] = {
      // It exists, so the question comes first; the refusal follows the yes.
      {"the input itself", "in.prg", kQuestion + "Y\n"},
      {"a directory", "sub", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    prepareFolder(folder, false);
    ASSERT_EQ(0, mkdir(joinPath(folder.path, "sub").c_str(), 0755));

    RunResult result = runMorvix({"in.prg", c.output}, withKeys(folder, "y"));

    EXPECT_EQ(exitedWith(1), result.end);
    EXPECT_EQ(c.answer + kCreateError + c.output + "\n\n", result.output);
    EXPECT_EQ((std::vector<std::string>{"in.prg", "sub"}), folderEntries(folder.path));
    EXPECT_EQ(std::vector<std::string>{}, folderEntries(joinPath(folder.path, "sub")));
    EXPECT_EQ(kDump, contentsOf(folder, "in.prg"));
  }
}

TEST(MorvixQuestion, KeysFromPipe) {
  struct Case {
    const char* name;
    std::string keys;
    std::string answer;  // console text after the question
    ProcessEnd end;
    bool replaced;
  };
  const Case cases[] = {
      {"yes", "y", "Y\n", exitedWith(0), true},
      {"other keys echoed, line ends not", "q\r\nn", "Q\nN\n" + kAborted, exitedWith(1), false},
      {"end of input", "q", "Q\n" + kAborted, exitedWith(1), false},
      {"no input at all", "", kAborted, exitedWith(1), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    prepareFolder(folder, true);

    RunResult result = runMorvix({"in.prg", "out.txt"}, withKeys(folder, c.keys));

    EXPECT_EQ(c.end, result.end);
    EXPECT_EQ(kQuestion + c.answer, result.output);
    EXPECT_EQ(c.replaced ? kListing : kOldOutput, contentsOf(folder, "out.txt"));
  }
}

TEST(MorvixQuestion, TerminalTakesKeysWithoutEnterAndIsRestored) {
  TempFolder folder;
  prepareFolder(folder, true);
  TerminalProgram terminal;
  ASSERT_TRUE(startOnTerminal(terminal, kMorvix, {"in.prg", "out.txt"}, folder.path));
  const std::string question = "Output file already exists. Overwrite? [y/n]\r\n";

  // A key typed without Enter must be echoed before the next one is typed.
  ASSERT_TRUE(readUntil(terminal, question));
  sendKeys(terminal, "q");
  ASSERT_TRUE(readUntil(terminal, "Q\r\n"));
  sendKeys(terminal, "y");
  ProcessEnd end = waitForEnd(terminal);

  EXPECT_EQ(exitedWith(0), end);
  EXPECT_EQ(question + "Q\r\nY\r\n", terminal.output);
  EXPECT_EQ(settingsText(terminal.startSettings), settingsText(terminalSettings(terminal)));
  EXPECT_EQ(kListing, contentsOf(folder, "out.txt"));
}

TEST(MorvixFiles, FullDiskIsReported) {
  struct Case {
    const char* name;
    std::string dump;
  };
  const Case cases[] = {
      {"last bytes at the close", kDump},
      // Many buffers of line ends: writing fails long before the close.
      {"while listing", std::string(100000, '\r')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    writeFileBytes(joinPath(folder.path, "in.prg"), c.dump);

    RunResult result = runMorvix({"in.prg", "/dev/full"}, withKeys(folder, "y"));

    EXPECT_EQ(exitedWith(1), result.end);
    EXPECT_EQ(kQuestion + "Y\n" + kWriteError + "/dev/full\n\n", result.output);
  }
}

TEST(MorvixFiles, ReadErrorIsReported) {
  // The program's own memory from address 0, which is never mapped: a file that opens but
  // cannot be read.
  TempFolder folder;

  RunResult result = runMorvix({"/proc/self/mem", "out.txt"}, inFolder(folder));

  EXPECT_EQ(exitedWith(1), result.end);
  EXPECT_EQ(kReadError + "/proc/self/mem\n\n", result.output);
  EXPECT_EQ("", contentsOf(folder, "out.txt"));
}

TEST(MorvixListing, DumpsToListingFiles) {
  // The listing file as written: UTF-8 without byte-order mark, CR LF line ends, and a last line
  // end only where the dump has one.
  struct Case {
    const char* name;
    std::string dump;
    std::vector<std::string> options;
    std::string listing;
  };
  const Case cases[] = {
      {"worked example", kDump, {}, kListing},
      {"editable", kDump, {"-e"}, "10 print X\r\n"},
      {"2000-baud",
       bytes({0x0A, 0x00, 0x74, 0x22, 0x48, 0x49, 0x22, 0x0D, 0x14, 0x00, 0x6E, 0x31, 0x30, 0x0D,
              0x00, 0xFF}),
       {"-2k"},
       "10 PRINT \"HI\"\r\n20 GOTO 10\r\n"},
      {"symbols as UTF-8",
       bytes({0x5E, 0x5F, 0x60, 0x61, 0x62, 0x63, 0x0D}),
       {},
       "\xE2\x96\xB2\xE2\x97\x84\xE2\x96\xBC\xE2\x96\xBA\xC3\x97\xC3\xB7\r\n"},
      {"last line without line end", kDump + "20", {}, kListing + "20"},
      {"empty dump", "", {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    writeFileBytes(joinPath(folder.path, "in.prg"), c.dump);
    std::vector<std::string> args = {"in.prg", "out.txt"};
    args.insert(args.end(), c.options.begin(), c.options.end());

    RunResult result = runMorvix(args, inFolder(folder));

    EXPECT_EQ(exitedWith(0), result.end);
    EXPECT_EQ("", result.output);
    EXPECT_EQ(c.listing, contentsOf(folder, "out.txt"));
  }
}

// MORVIX dump list.txt -e -n -v, then KALDEX list.txt back.prg: the bytes of back.prg, empty
// when a step failed.
std::string dumpAfterRoundTrip(const TempFolder& folder, const std::string& dumpName) {
  RunResult listed = runMorvix({dumpName, "list.txt", "-e", "-n", "-v"}, inFolder(folder));
  EXPECT_EQ(exitedWith(0), listed.end);
  EXPECT_EQ("", listed.output);
  RunResult converted = runProgram(kKaldex, {"list.txt", "back.prg"}, inFolder(folder));
  EXPECT_EQ(exitedWith(0), converted.end);
  EXPECT_EQ("", converted.output);
  return contentsOf(folder, "back.prg").value_or("");
}

TEST(MorvixRoundTrip, ExampleListingsComeBackToTheSameDump) {
  std::vector<std::string> listings;
  for (const std::string& name : folderEntries(EXAMPLES_DIR)) {
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".txt") == 0) listings.push_back(name);
  }
  if (listings.empty()) GTEST_SKIP() << "no example listing in " << EXAMPLES_DIR;
  for (const std::string& name : listings) {
    SCOPED_TRACE(name);
    TempFolder folder;
    RunResult converted =
        runProgram(kKaldex, {joinPath(EXAMPLES_DIR, name), "example.prg"}, inFolder(folder));
    ASSERT_EQ(exitedWith(0), converted.end) << converted.output;
    std::optional<std::string> dump = contentsOf(folder, "example.prg");
    ASSERT_TRUE(dump.has_value());

    EXPECT_EQ(*dump, dumpAfterRoundTrip(folder, "example.prg"));
  }
}

TEST(MorvixRoundTrip, LargeDumpComesBackByteForByte) {
  // Several megabytes of every byte value, 13 among them, ending in 13: many buffers through
  // both programs, and the listing several times the size of the dump.
  std::minstd_rand random(2024);
  std::uniform_int_distribution<int> byteValue(0, 255);
  std::string dump(3000000, '\0');
  for (char& byte : dump)
    byte = static_cast<char>(byteValue(random));
  dump.back() = '\r';
  TempFolder folder;
  writeFileBytes(joinPath(folder.path, "big.prg"), dump);

  std::string back = dumpAfterRoundTrip(folder, "big.prg");

  EXPECT_EQ(dump.size(), back.size());
  EXPECT_EQ(dump.size(), sharedPrefixLength(dump, back));
}

}  // namespace
