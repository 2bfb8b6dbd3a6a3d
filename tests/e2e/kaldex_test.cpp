// KALDEX as its users run it: the built program in a folder of its own, its whole console text,
// its exit status and the bytes of its output file.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "program_runner.h"

using namespace std::string_literals;

namespace {

const std::string kKaldex = KALDEX_PATH;

const std::string kUsage =
    "\n"
    "KALDEX Version 1.2 - Converts a text file To a Bally Basic binary dump\n"
    "\n"
    "  Usage:\n"
    "    KALDEX program.txt output.prg\n"
    "\n";
// A two-line program and its dump, worked out by hand.
const std::string kListing = "10 print \"HI\"\n20 goto 10\n";
const std::string kDump = bytes({0x31, 0x30, 0x20, 0x74, 0x22, 0x48, 0x49, 0x22, 0x0D, 0x32, 0x30,
                                 0x20, 0x6E, 0x31, 0x30, 0x0D});

// What an existing output holds before a run; it must survive every run that does not convert.
const std::string kOldOutput = "OLD OUTPUT";

RunResult runKaldex(const std::vector<std::string>& args, const RunOptions& options) {
  return runProgram(kKaldex, args, options);
}

void giveToUnprivilegedUser(const std::string& path, mode_t mode) {
  ASSERT_EQ(0, chown(path.c_str(), kUnprivilegedId, kUnprivilegedId));
  ASSERT_EQ(0, chmod(path.c_str(), mode));
}

TEST(KaldexUsage, FewerThanTwoParametersShowUsageAndTouchNothing) {
  const std::vector<std::string> cases[] = {{}, {"in.txt"}, {"missing.txt"}, {"-2K"}};
  for (const std::vector<std::string>& args : cases) {
    SCOPED_TRACE(testing::PrintToString(args));
    TempFolder folder;
    writeFileBytes(joinPath(folder.path, "in.txt"), kListing);
    std::vector<std::string> before = folderEntries(folder.path);

    RunResult result = runKaldex(args, withKeys(folder, "y"));

    EXPECT_EQ(exitedWith(0), result.end);
    EXPECT_EQ(kUsage, result.output);
    EXPECT_EQ(before, folderEntries(folder.path));
    EXPECT_EQ(kListing, contentsOf(folder, "in.txt"));
  }
}

TEST(KaldexUsage, StartWithoutNameOpensTheEmptyPath) {
  if (!kernelKeepsEmptyArgv()) {
    GTEST_SKIP() << "this kernel gives a program started with an empty argv an empty name";
  }
  TempFolder folder;
  RunOptions options = inFolder(folder);
  options.emptyArgv = true;

  RunResult result = runKaldex({}, options);

  EXPECT_EQ(exitedWith(1), result.end);
  EXPECT_EQ("Can't open file: \n\n", result.output);
}

TEST(KaldexOptions, OnlyTwoKFromTheThirdParameterOn) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string console;
    ProcessEnd end;
    std::string outputName;
    std::optional<std::string> dump;
  };
  const Case cases[] = {
      {"lower case", {"in.txt", "out.prg", "-2k"}, "", exitedWith(0), "out.prg", kDump},
      {"repeated", {"in.txt", "out.prg", "-2K", "-2K", "-2k"}, "", exitedWith(0), "out.prg", kDump},
      // Options are checked before the input is opened.
      {"unknown option",
       {"missing.txt", "out.prg", "-v"},
       "Invalid parameter: -v\n\n",
       exitedWith(1),
       "out.prg",
       std::nullopt},
      {"first bad one only",
       {"in.txt", "out.prg", "-2K", "bad", "-x"},
       "Invalid parameter: bad\n\n",
       exitedWith(1),
       "out.prg",
       std::nullopt},
      {"shown as typed",
       {"in.txt", "out.prg", "-2x"},
       "Invalid parameter: -2x\n\n",
       exitedWith(1),
       "out.prg",
       std::nullopt},
      {"not UTF-8",
       {"in.txt", "out.prg", "-2\xCB"},
       "Invalid parameter: -2\xCB\n\n",
       exitedWith(1),
       "out.prg",
       std::nullopt},
      {"empty",
       {"in.txt", "out.prg", ""},
       "Invalid parameter: \n\n",
       exitedWith(1),
       "out.prg",
       std::nullopt},
      {"trailing blank",
       {"in.txt", "out.prg", "-2K "},
       "Invalid parameter: -2K \n\n",
       exitedWith(1),
       "out.prg",
       std::nullopt},
      {"first parameter is a path",
       {"-2K", "out.prg"},
       "Can't open file: -2K\n\n",
       exitedWith(1),
       "out.prg",
       std::nullopt},
      {"second parameter is a path", {"in.txt", "-2K"}, "", exitedWith(0), "-2K", kDump},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    writeFileBytes(joinPath(folder.path, "in.txt"), kListing);

    RunResult result = runKaldex(c.args, withKeys(folder, "y"));

    EXPECT_EQ(c.end, result.end);
    EXPECT_EQ(c.console, result.output);
    EXPECT_EQ(c.dump, contentsOf(folder, c.outputName));
  }
}

TEST(KaldexFiles, InputThatCannotBeOpenedLeavesOutputAlone) {
  struct Case {
    const char* name;
    std::string input;
  };
  const Case cases[] = {
      {"missing", "missing.txt"},
      {"directory", "sub"},
      {"empty path", ""},
      {"dangling link", "dangling.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    ASSERT_EQ(0, mkdir(joinPath(folder.path, "sub").c_str(), 0755));
    ASSERT_EQ(0, symlink("missing.txt", joinPath(folder.path, "dangling.txt").c_str()));
    writeFileBytes(joinPath(folder.path, "out.prg"), kOldOutput);

    // The existing output is not even probed, so there is no question.
    RunResult result = runKaldex({c.input, "out.prg"}, withKeys(folder, "y"));

    EXPECT_EQ(exitedWith(1), result.end);
    EXPECT_EQ("Can't open file: " + c.input + "\n\n", result.output);
    EXPECT_EQ(kOldOutput, contentsOf(folder, "out.prg"));
  }
}

TEST(KaldexFiles, OutputThatCannotBeCreatedIsNotAskedAbout) {
  const std::string cases[] = {"sub", "none/out.prg"};
  for (const std::string& output : cases) {
    SCOPED_TRACE(output);
    TempFolder folder;
    writeFileBytes(joinPath(folder.path, "in.txt"), kListing);
    ASSERT_EQ(0, mkdir(joinPath(folder.path, "sub").c_str(), 0755));

    RunResult result = runKaldex({"in.txt", output}, withKeys(folder, "y"));

    EXPECT_EQ(exitedWith(1), result.end);
    EXPECT_EQ(kCreateError + output + "\n\n", result.output);
    EXPECT_EQ((std::vector<std::string>{"in.txt", "sub"}), folderEntries(folder.path));
    EXPECT_EQ(std::vector<std::string>{}, folderEntries(joinPath(folder.path, "sub")));
  }
}

TEST(KaldexQuestion, KeysFromPipeOrNone) {
  struct Case {
    const char* name;
    StandardInput input;
    std::string keys;
    std::string answer;  // console text after the question
    ProcessEnd end;
    bool replaced;
  };
  const Case cases[] = {
      {"other keys are echoed", StandardInput::bytes, "qy", "Q\nY\n", exitedWith(0), true},
      {"line ends are not keys", StandardInput::bytes, "q\r\ny\n", "Q\nY\n", exitedWith(0), true},
      {"the first answer counts", StandardInput::bytes, "yn", "Y\n", exitedWith(0), true},
      {"no", StandardInput::bytes, "n", "N\n" + kAborted, exitedWith(1), false},
      {"capital no", StandardInput::bytes, "N", "N\n" + kAborted, exitedWith(1), false},
      {"a key of two bytes", StandardInput::bytes, "\xC3\xA9n", "\xC3\x89\nN\n" + kAborted,
       exitedWith(1), false},
      {"end of input", StandardInput::bytes, "q", "Q\n" + kAborted, exitedWith(1), false},
      {"empty input", StandardInput::bytes, "", kAborted, exitedWith(1), false},
      {"/dev/null", StandardInput::null, "", kAborted, exitedWith(1), false},
      // Unless the program guards descriptor 0, its input file would take it and answer.
      {"closed", StandardInput::closed, "", kAborted, exitedWith(1), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    // Capital Ys: read as keys instead of as the listing, they would answer yes.
    writeFileBytes(joinPath(folder.path, "in.txt"), "Y\nYYY\n");
    writeFileBytes(joinPath(folder.path, "out.prg"), kOldOutput);
    RunOptions options = withKeys(folder, c.keys);
    options.input = c.input;

    RunResult result = runKaldex({"in.txt", "out.prg"}, options);

    EXPECT_EQ(c.end, result.end);
    EXPECT_EQ(kQuestion + c.answer, result.output);
    EXPECT_EQ(c.replaced ? "Y\rYYY\r" : kOldOutput, contentsOf(folder, "out.prg"));
  }
}

TEST(KaldexTerminal, QuestionTakesKeysAtOnceAndRestoresTheTerminal) {
  struct Case {
    const char* name;
    std::vector<std::string> keys;  // typed one at a time, each once the one before is echoed
    int signalNumber;               // sent once the last key is echoed; 0 for none
    std::string answer;             // what the terminal shows after the question
    ProcessEnd end;
    bool replaced;
  };
  const Case cases[] = {
      {"keys without Enter", {"q", "y"}, 0, "Q\r\nY\r\n", exitedWith(0), true},
      {"echo is upper-cased",
       {"\xC3\xA9", "n"},
       0,
       "\xC3\x89\r\nN\r\nOperation aborted.\r\n",
       exitedWith(1),
       false},
      {"Enter is a key of its own", {"\r", "Y"}, 0, "\r\r\nY\r\n", exitedWith(0), true},
      {"Ctrl-C", {"q", "\x03"}, 0, "Q\r\n", killedBy(SIGINT), false},
      {"hang-up", {"q"}, SIGHUP, "Q\r\n", killedBy(SIGHUP), false},
      {"hang-up before any key", {}, SIGHUP, "", killedBy(SIGHUP), false},
  };
  const std::string question = "Output file already exists. Overwrite? [y/n]\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    writeFileBytes(joinPath(folder.path, "in.txt"), kListing);
    writeFileBytes(joinPath(folder.path, "out.prg"), kOldOutput);
    TerminalProgram terminal;
    ASSERT_TRUE(startOnTerminal(terminal, kKaldex, {"in.txt", "out.prg"}, folder.path));

    // Keys typed as soon as the question shows must already be taken without Enter or echo.
    ASSERT_TRUE(readUntil(terminal, question));
    for (size_t i = 0; i < c.keys.size(); ++i) {
      if (i > 0) {
        ASSERT_TRUE(readUntil(terminal, "\r\n"));
      }
      sendKeys(terminal, c.keys[i]);
    }
    if (c.signalNumber != 0) {
      if (!c.keys.empty()) {
        ASSERT_TRUE(readUntil(terminal, "\r\n"));
      }
      sendSignal(terminal, c.signalNumber);
    }
    ProcessEnd end = waitForEnd(terminal);

    EXPECT_EQ(c.end, end);
    EXPECT_EQ(question + c.answer, terminal.output);
    EXPECT_EQ(settingsText(terminal.startSettings), settingsText(terminalSettings(terminal)));
    EXPECT_EQ(c.replaced ? kDump : kOldOutput, contentsOf(folder, "out.prg"));
  }
}

TEST(KaldexFiles, OutputNamingTheInputIsRefused) {
  struct Case {
    const char* name;
    std::string output;
  };
  const Case cases[] = {
      {"same path", "in.txt"},
      {"./ variant", "./in.txt"},
      {"symbolic link", "link.txt"},
      {"hard link", "hard.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    std::string input = joinPath(folder.path, "in.txt");
    writeFileBytes(input, kListing);
    ASSERT_EQ(0, symlink("in.txt", joinPath(folder.path, "link.txt").c_str()));
    ASSERT_EQ(0, link(input.c_str(), joinPath(folder.path, "hard.txt").c_str()));

    // It exists, so the question comes first; the refusal follows the yes.
    RunResult result = runKaldex({"in.txt", c.output}, withKeys(folder, "y"));

    EXPECT_EQ(exitedWith(1), result.end);
    EXPECT_EQ(kQuestion + "Y\n" + kCreateError + c.output + "\n\n", result.output);
    EXPECT_EQ(kListing, contentsOf(folder, "in.txt"));
  }
}

TEST(KaldexFiles, FullDiskIsReported) {
  // More than one buffer of dump, so a write fails before the last one at the close.
  std::string longListing;
  for (int i = 0; i < 1000; ++i)
    longListing += "10 print X\n";
  struct Case {
    const char* name;
    std::string output;
    std::string listing;
  };
  const Case cases[] = {
      {"last bytes at the close", "/dev/full", kListing},
      {"while converting", "/dev/full", longListing},
      {"through a link", "full.prg", kListing},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    writeFileBytes(joinPath(folder.path, "in.txt"), c.listing);
    ASSERT_EQ(0, symlink("/dev/full", joinPath(folder.path, "full.prg").c_str()));

    RunResult result = runKaldex({"in.txt", c.output}, withKeys(folder, "y"));

    EXPECT_EQ(exitedWith(1), result.end);
    EXPECT_EQ(kQuestion + "Y\n" + kWriteError + c.output + "\n\n", result.output);
  }
}

TEST(KaldexFiles, ReadErrorIsReported) {
  // The program's own memory from address 0, which is never mapped: a file that opens but
  // cannot be read.
  TempFolder folder;

  RunResult result = runKaldex({"/proc/self/mem", "out.prg"}, inFolder(folder));

  EXPECT_EQ(exitedWith(1), result.end);
  EXPECT_EQ(kReadError + "/proc/self/mem\n\n", result.output);
  EXPECT_EQ("", contentsOf(folder, "out.prg"));
}

TEST(KaldexUnprivileged, PermissionsDecideTheRun) {
  if (!runningAsRoot()) GTEST_SKIP() << "starting a program as another user needs root";
  struct Case {
    const char* name;
    mode_t inputMode;
    mode_t outputMode;  // of an existing out.prg
    std::string console;
    ProcessEnd end;
    std::string output;
  };
  const Case cases[] = {
      {"unreadable input", 0000, 0644, "Can't open file: in.txt\n\n", exitedWith(1), kOldOutput},
      {"read-only output", 0644, 0444, kQuestion + "Y\n" + kCreateError + "out.prg\n\n",
       exitedWith(1), kOldOutput},
      // The probe cannot read it, so it counts as absent; it can still be emptied and written.
      {"write-only output", 0644, 0200, "", exitedWith(0), kDump},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    std::string input = joinPath(folder.path, "in.txt");
    std::string output = joinPath(folder.path, "out.prg");
    writeFileBytes(input, kListing);
    writeFileBytes(output, kOldOutput);
    ASSERT_NO_FATAL_FAILURE(giveToUnprivilegedUser(input, c.inputMode));
    ASSERT_NO_FATAL_FAILURE(giveToUnprivilegedUser(output, c.outputMode));
    RunOptions options = withKeys(folder, "y");
    options.unprivileged = true;

    RunResult result = runKaldex({"in.txt", "out.prg"}, options);

    EXPECT_EQ(c.end, result.end);
    EXPECT_EQ(c.console, result.output);
    EXPECT_EQ(c.output, contentsOf(folder, "out.prg"));
    EXPECT_EQ(kListing, contentsOf(folder, "in.txt"));
  }
}

TEST(KaldexHangup, HangupWhileReadingKeepsTheLinesConverted) {
  TempFolder folder;
  std::string fifo = joinPath(folder.path, "in.fifo");
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  RunningProgram kaldex;
  ASSERT_TRUE(startProgram(kaldex, kKaldex, {"in.fifo", "out.prg"}, inFolder(folder)));
  int writer = openFifoWriter(fifo);
  ASSERT_LE(0, writer);

  // Each line is taken by the program before the next is written, and the listing never ends:
  // the program is waiting for more input when the hang-up comes.
  const std::string lines[] = {"10 print \"HI\"\n", "20 goto 10\n"};
  for (const std::string& line : lines) {
    ASSERT_EQ(static_cast<ssize_t>(line.size()), write(writer, line.data(), line.size()));
    ASSERT_TRUE(waitUntilDrained(writer));
  }
  ASSERT_EQ(0, kill(kaldex.pid, SIGHUP));
  RunResult result = finishProgram(kaldex);
  close(writer);

  EXPECT_EQ(killedBy(SIGHUP), result.end);
  EXPECT_EQ("", result.output);
  EXPECT_EQ(kDump, contentsOf(folder, "out.prg"));
}

TEST(KaldexPaths, BytesThatAreNotUtf8Survive) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string inputName;   // holds the listing
    std::string folderName;  // a folder made beforehand; empty for none
    std::string console;
    ProcessEnd end;
    std::string outputName;  // holds the dump afterwards; empty for none
  };
  const Case cases[] = {
      {"input opens", {"caf\xE9.txt", "out.prg"}, "caf\xE9.txt", "", "", exitedWith(0), "out.prg"},
      {"output is created under its bytes",
       {"in.txt", "out\xE9.prg"},
       "in.txt",
       "",
       "",
       exitedWith(0),
       "out\xE9.prg"},
      {"missing input shown as typed",
       {"x\xE9\xED\xA0\x80.txt", "out.prg"},
       "in.txt",
       "",
       "Can't open file: x\xE9\xED\xA0\x80.txt\n\n",
       exitedWith(1),
       ""},
      {"valid UTF-8 shown as typed",
       {"\xC3\xA9\xF0\x9F\x98\x80.txt", "out.prg"},
       "in.txt",
       "",
       "Can't open file: \xC3\xA9\xF0\x9F\x98\x80.txt\n\n",
       exitedWith(1),
       ""},
      {"output folder shown as typed",
       {"in.txt", "d\xE9"},
       "in.txt",
       "d\xE9",
       kCreateError + "d\xE9\n\n",
       exitedWith(1),
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    writeFileBytes(joinPath(folder.path, c.inputName), kListing);
    if (!c.folderName.empty()) {
      ASSERT_EQ(0, mkdir(joinPath(folder.path, c.folderName).c_str(), 0755));
    }

    RunResult result = runKaldex(c.args, inFolder(folder));

    EXPECT_EQ(c.end, result.end);
    EXPECT_EQ(c.console, result.output);
    std::vector<std::string> expected = {c.inputName};
    if (!c.folderName.empty()) expected.push_back(c.folderName);
    if (!c.outputName.empty()) {
      expected.push_back(c.outputName);
      EXPECT_EQ(kDump, contentsOf(folder, c.outputName));
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, folderEntries(folder.path));
  }
}

TEST(KaldexConversion, ListingsToDumps) {
  struct Case {
    const char* name;
    std::string listing;
    std::string console;
    ProcessEnd end;
    std::string dump;
  };
  const Case cases[] = {
      {"worked example", kListing, "", exitedWith(0), kDump},
      {"empty listing", "", "", exitedWith(0), ""},
      {"every line end", "1\r2\r\n3\n4"s + '\0' + "5", "", exitedWith(0), "1\r2\r3\r4\r5\r"},
      {"carriage return at the end", "1\r", "", exitedWith(0), "1\r"},
      {"empty last line", "1\n\n", "", exitedWith(0), "1\r\r"},
      {"keywords and special characters", "null erase up left down right mul div a b c d\n", "",
       exitedWith(0),
       bytes({0x00, 0x1F, 0x5E, 0x5F, 0x60, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x0D})},
      {"escapes", "{65}{$41}{%1000001}{-1}{300}{13}\n", "", exitedWith(0), "AAA\xFF,\r\r"},
      // After an error the dump keeps every byte before the element in error.
      {"unknown token", "10 print X\n20 Print\n30 goto 10\n",
       "Error: unknown token at line 2 - #rint#\n20 Print\n\n", exitedWith(1), "10 \x74X\r20 P"},
      {"invalid character, empty lines counted", "1\n\n3 X\tY\n4\n",
       "Error: invalid character at line 3\n3 X\tY\n\n", exitedWith(1), "1\r\r3 X"},
      {"brace not closed", "10 print {34\n20 goto 10\n",
       "Error: got to end of line without finding right brace to match left brace at line 1\n"
       "10 print {34\n\n",
       exitedWith(1), "10 \x74"},
      {"line shown as read", "10 print \"\xC3\xA9\"\n",
       "Error: invalid character at line 1\n10 print \"\xC3\xA9\"\n\n", exitedWith(1), "10 \x74\""},
      {"malformed UTF-8 shown as replaced", "10 \xE9\n",
       "Error: invalid character at line 1\n10 \xEF\xBF\xBD\n\n", exitedWith(1), "10 "},
      {"byte-order mark is not skipped",
       "\xEF\xBB\xBF"
       "10 print X\n",
       "Error: invalid character at line 1\n\xEF\xBB\xBF"
       "10 print X\n\n",
       exitedWith(1), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    writeFileBytes(joinPath(folder.path, "in.txt"), c.listing);

    RunResult result = runKaldex({"in.txt", "out.prg"}, inFolder(folder));

    EXPECT_EQ(c.end, result.end);
    EXPECT_EQ(c.console, result.output);
    EXPECT_EQ(c.dump, contentsOf(folder, "out.prg"));
  }
}

TEST(KaldexConversion, LargeListingConvertsByteForByte) {
  // Several megabytes: many buffer refills and flushes, every kind of line end, and one line
  // far longer than a buffer.
  const std::string lineEnds[] = {"\n", "\r\n", "\r", "\0"s};
  std::string listing;
  std::string dump;
  for (int n = 1; n <= 400000; ++n) {
    std::string number = std::to_string(n);
    listing += number + " print X" + lineEnds[n % 4];
    dump += number + " \x74X\r";
    if (n == 200000) {
      listing += std::string(100000, '7') + "\n";
      dump += std::string(100000, '7') + "\r";
    }
  }
  TempFolder folder;
  writeFileBytes(joinPath(folder.path, "in.txt"), listing);

  RunResult result = runKaldex({"in.txt", "out.prg"}, inFolder(folder));

  EXPECT_EQ(exitedWith(0), result.end);
  EXPECT_EQ("", result.output);
  std::optional<std::string> written = contentsOf(folder, "out.prg");
  ASSERT_TRUE(written.has_value());
  EXPECT_EQ(dump.size(), written->size());
  EXPECT_EQ(dump.size(), sharedPrefixLength(dump, *written));
}

TEST(KaldexExamples, EveryExampleConverts) {
  std::vector<std::string> listings;
  for (const std::string& name : folderEntries(EXAMPLES_DIR)) {
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".txt") == 0) listings.push_back(name);
  }
  if (listings.empty()) GTEST_SKIP() << "no example listing in " << EXAMPLES_DIR;
  for (const std::string& name : listings) {
    SCOPED_TRACE(name);
    TempFolder folder;

    RunResult result = runKaldex({joinPath(EXAMPLES_DIR, name), "out.prg"}, inFolder(folder));

    EXPECT_EQ(exitedWith(0), result.end);
    EXPECT_EQ("", result.output);
    std::optional<std::string> dump = contentsOf(folder, "out.prg");
    ASSERT_TRUE(dump.has_value());
    ASSERT_FALSE(dump->empty());
    EXPECT_EQ('\r', dump->back());
  }
}

}  // namespace
