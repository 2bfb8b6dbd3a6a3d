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

TEST(Kaldex, OptionsAndPathBytes) {
  struct Case {
    std::vector<std::string> args;
    std::string console;
    std::string outputName;
    std::optional<std::string> output;
  };
  const std::string invalid = "Invalid parameter: ";
  const Case cases[] = {
      {{"in", "out", "-2k"}, "", "out", kDump},
      {{"in", "out", "-2K", "-2K", "-2k"}, "", "out", kDump},
      // Options are checked before the input is opened.
      {{"missing", "out", "-v"}, invalid + "-v\n\n", "out", std::nullopt},
      {{"in", "out", "-2K", "bad", "-x"}, invalid + "bad\n\n", "out", std::nullopt},
      {{"in", "out", "-2\xCB"}, invalid + "-2\xCB\n\n", "out", std::nullopt},
      // Paths are bytes: neither decoded nor re-encoded on their way to the system or the console.
      {{"caf\xE9", "out"}, "", "out", kDump},
      {{"in", "out\xE9"}, "", "out\xE9", kDump},
      {{"x\xE9\xED\xA0\x80", "out"}, "Can't open file: x\xE9\xED\xA0\x80\n\n", "out", std::nullopt},
      {{"in", "d\xE9"}, kCreateError + "d\xE9\n\n", "d\xE9/in", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    TempFolder folder;
    writeFile(folder / "in", kListing);
    writeFile(folder / "caf\xE9", kListing);
    std::filesystem::create_directory(folder / "d\xE9");

    RunResult result = runProgram(kKaldex.path, folder, c.args);

    EXPECT_EQ(c.output ? 0 : 1, result.end);
    EXPECT_EQ(c.console, result.console);
    EXPECT_EQ(c.output, readFile(folder / c.outputName));
    auto entries = std::distance(std::filesystem::directory_iterator(folder.path), {});
    EXPECT_EQ(c.output ? 4 : 3, entries);
  }
}

TEST(Kaldex, Conversions) {
  // After an error the dump keeps every byte before the element in error.
  struct Case {
    std::string listing;
    std::string console;
    std::string dump;
  };
  const Case cases[] = {
      {kListing, "", kDump},
      {"1\r2\r\n3\n4"s + '\0' + "5", "", "1\r2\r3\r4\r5\r"},
      {"10 print X\n20 Print\n30 goto 10\n",
       "Error: unknown token at line 2 - #rint#\n20 Print\n\n", "10 \x74X\r20 P"},
      {"1\n\n3 X\tY\n4\n", "Error: invalid character at line 3\n3 X\tY\n\n", "1\r\r3 X"},
      {"10 print {34\n20 goto 10\n",
       "Error: got to end of line without finding right brace to match left brace at line 1\n"
       "10 print {34\n\n",
       "10 \x74"},
      // Bytes that are not UTF-8 show as the replacement character.
      {"10 \xE9\n", "Error: invalid character at line 1\n10 \xEF\xBF\xBD\n\n", "10 "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.listing));
    TempFolder folder;
    writeFile(folder / "in", c.listing);

    RunResult result = runProgram(kKaldex.path, folder, {"in", "out"});

    EXPECT_EQ(c.console.empty() ? 0 : 1, result.end);
    EXPECT_EQ(c.console, result.console);
    EXPECT_EQ(c.dump, readFile(folder / "out"));
  }
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
