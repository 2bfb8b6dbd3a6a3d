// KALDEX as its users run it: its whole console text, its exit status and the bytes it writes.
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "program_runner.h"

using namespace std::string_literals;

namespace {

// A two-line program and its dump, worked out by hand: print is 0x74, goto 0x6E.
const std::string kListing = "10 print \"HI\"\n20 goto 10\n";
const std::string kDump = "10 \x74\"HI\"\r20 \x6E"s + "10\r";
// The same program in the 2000-baud layout: line number words 10 and 20, then the end marker.
const std::string kDump2000 = "\x0A\x00\x74\"HI\"\r\x14\x00\x6E"s + "10\r\x00\xFF"s;

}  // namespace

const Program kKaldex = {"KALDEX", programPath(KALDEX_PATH, "KALDEX"),
                         "\n"
                         "KALDEX Version 1.2 - Converts a text file To a Bally Basic binary dump\n"
                         "\n"
                         "  Usage:\n"
                         "    KALDEX program.txt output.prg\n"
                         "\n",
                         kListing, kDump};

namespace {

struct ParameterCase {
  std::vector<std::string> args;
  std::string console;
  std::string outputName;
  std::optional<std::string> output;
};

// Runs each case in a folder holding the listing as "in", "my in" and "caf\xC3\xA9" (UTF-8), as
// "caf\xE9" (Latin-1) where the system allows such a name, and an empty folder "sub".
void checkParameters(const std::vector<ParameterCase>& cases) {
  for (const ParameterCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    TempFolder folder;
    std::vector<std::string> names = {"in", "my in", "caf\xC3\xA9"};
    if (!testingWindowsPrograms()) names.push_back("caf\xE9");
    for (const std::string& name : names)
      writeFile(folder / name, kListing);
    std::filesystem::create_directory(folder / "sub");
    auto before = std::distance(std::filesystem::directory_iterator(folder.path), {});

    RunResult result = runProgram(kKaldex.path, folder, c.args);

    EXPECT_EQ(c.output ? 0 : 1, result.end);
    EXPECT_EQ(c.console, result.console);
    EXPECT_EQ(c.output, readFile(folder / c.outputName));
    auto entries = std::distance(std::filesystem::directory_iterator(folder.path), {});
    EXPECT_EQ(before + (c.output ? 1 : 0), entries);
  }
}

TEST(Kaldex, Parameters) {
  const std::string invalid = "Invalid parameter: ";
  checkParameters({
      {{"in", "out", "-2k"}, "", "out", kDump2000},
      {{"in", "out", "-2K", "-2K", "-2k"}, "", "out", kDump2000},
      // The first two parameters are paths, also when they read "-2K".
      {{"-2K", "out"}, "Can't open file: -2K\n\n", "out", std::nullopt},
      {{"in", "-2K"}, "", "-2K", kDump},
      // Options are checked before the input is opened.
      {{"missing", "out", "-v"}, invalid + "-v\n\n", "out", std::nullopt},
      {{"in", "out", "-2K", "bad", "-x"}, invalid + "bad\n\n", "out", std::nullopt},
      // A path with a blank is one parameter; names and messages keep their characters.
      {{"my in", "my out"}, "", "my out", kDump},
      {{"caf\xC3\xA9", "\xE2\x96\xB2"}, "", "\xE2\x96\xB2", kDump},
      {{"\xC3\xA9", "out"}, "Can't open file: \xC3\xA9\n\n", "out", std::nullopt},
      {{"in", "sub"}, kCreateError + "sub\n\n", "sub/in", std::nullopt},
  });
}

TEST(Kaldex, PathBytesReachTheSystemUnchanged) {
  SKIP_ON_WINDOWS("names that are not UTF-8; Windows names are UTF-16");
  // Neither decoded nor re-encoded on their way to the system or the console.
  checkParameters({
      {{"in", "out", "-2\xCB"}, "Invalid parameter: -2\xCB\n\n", "out", std::nullopt},
      {{"caf\xE9", "out"}, "", "out", kDump},
      {{"in", "out\xE9"}, "", "out\xE9", kDump},
      {{"x\xE9\xED\xA0\x80", "out"}, "Can't open file: x\xE9\xED\xA0\x80\n\n", "out", std::nullopt},
  });
}

struct ConversionCase {
  std::string listing;
  std::string console;
  std::string dump;
};

// Converts each listing with the options given; after an error the dump keeps every byte before
// the element in error.
void checkConversions(const std::vector<std::string>& options,
                      const std::vector<ConversionCase>& cases) {
  for (const ConversionCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(options) + " " + testing::PrintToString(c.listing));
    TempFolder folder;
    writeFile(folder / "in", c.listing);
    std::vector<std::string> args = {"in", "out"};
    args.insert(args.end(), options.begin(), options.end());

    RunResult result = runProgram(kKaldex.path, folder, args);

    EXPECT_EQ(c.console.empty() ? 0 : 1, result.end);
    EXPECT_EQ(c.console, result.console);
    EXPECT_EQ(c.dump, readFile(folder / "out"));
  }
}

TEST(Kaldex, Conversions) {
  checkConversions(
      {}, {
              {kListing, "", kDump},
              {"1\r2\r\n3\n4"s + '\0' + "5", "", "1\r2\r3\r4\r5\r"},
              {"10 print X\n20 Print\n30 goto 10\n",
               "Error: unknown token at line 2 - #rint#\n20 Print\n\n", "10 \x74X\r20 P"},
              {"1\n\n3 X\tY\n4\n", "Error: invalid character at line 3\n3 X\tY\n\n", "1\r\r3 X"},
              {"10 print {34\n20 goto 10\n",
               "Error: got to end of line without finding right brace to match left brace at "
               "line 1\n10 print {34\n\n",
               "10 \x74"},
              // Bytes that are not UTF-8 show as the replacement character.
              {"10 \xE9\n", "Error: invalid character at line 1\n10 \xEF\xBF\xBD\n\n", "10 "},
          });
}

TEST(Kaldex, Conversions2000Baud) {
  const std::string lineNumberError = "Error: missing line number at line ";
  const std::string rangeError = "Error: line number out of range at line ";
  checkConversions({"-2K"},
                   {
                       {kListing, "", kDump2000},
                       {"10\r\n-32768 \n32767  X", "", "\x0A\x00\r\x00\x80\r\xFF\x7F X\r\x00\xFF"s},
                       {"", "", "\x00\xFF"s},
                       // After an error: the records before it, no end marker.
                       {"10 X\n\n30 Y\n", lineNumberError + "2\n\n\n", "\x0A\x00X\r"s},
                       {"10 X\n-256 Y\n", rangeError + "2\n-256 Y\n\n", "\x0A\x00X\r"s},
                       {"40000 X\n", rangeError + "1\n40000 X\n\n", ""},
                       // The number word is written before the content is encoded.
                       {"10 X\n20 Print\n", "Error: unknown token at line 2 - #rint#\n20 Print\n\n",
                        "\x0A\x00X\r\x14\x00P"s},
                   });
}

TEST(Kaldex, LargeListingConvertsByteForByte) {
  // Megabytes: many buffer refills and flushes, every line end, a line far longer than a buffer.
  const std::string lineEnds[] = {"\n", "\r\n", "\r", "\0"s};
  std::string listing;
  std::string dump;
  for (int n = 1; n <= 400000; ++n) {
    listing += std::to_string(n) + " print X" + lineEnds[n % 4];
    dump += std::to_string(n) + " \x74X\r";
    if (n == 200000) {
      listing += std::string(100000, '7') + "\n";
      dump += std::string(100000, '7') + "\r";
    }
  }
  TempFolder folder;
  writeFile(folder / "in", listing);

  RunResult result = runProgram(kKaldex.path, folder, {"in", "out"});

  EXPECT_EQ(0, result.end);
  EXPECT_EQ("", result.console);
  std::string written = readFile(folder / "out").value_or("");
  EXPECT_EQ(dump.size(), written.size());
  EXPECT_EQ(dump.size(), firstDifference(dump, written));
}

TEST(Kaldex, HangupWhileReadingKeepsTheLinesConverted) {
  SKIP_ON_WINDOWS("hang-up signal and FIFO");
  TempFolder folder;
  ASSERT_EQ(0, mkfifo((folder / "in").c_str(), 0600));
  // Opened for reading too, so that the open does not wait for the program.
  int fifo = open((folder / "in").c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_LE(0, fifo);
  RunOptions options;
  options.whileRunning = [fifo](pid_t pid) {
    // Each line is taken by the program before the next is written, and the listing never ends:
    // the program waits for more input when the hang-up comes.
    for (const std::string line : {"10 print \"HI\"\n", "20 goto 10\n"}) {
      ASSERT_EQ(static_cast<ssize_t>(line.size()), write(fifo, line.data(), line.size()));
      auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
      for (int waiting = 1; ioctl(fifo, FIONREAD, &waiting) == 0 && waiting > 0;) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the program stopped reading";
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
    kill(pid, SIGHUP);
  };

  RunResult result = runProgram(kKaldex.path, folder, {"in", "out"}, options);
  close(fifo);

  EXPECT_EQ(-SIGHUP, result.end);
  EXPECT_EQ("", result.console);
  EXPECT_EQ(kDump, readFile(folder / "out"));
}

}  // namespace
