// What both programs do alike about parameters, files and the question, checked on each, and the
// round trip through both: the whole console text, the exit status and the bytes of every file.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <random>

#include "program_runner.h"

namespace {

// MORVIX dump list -e -n -v, then KALDEX list back: the bytes of back. For the 2000-baud layout
// -2k and -2K are added.
std::string dumpAfterRoundTrip(const TempFolder& folder, const std::string& dump,
                               bool baud2000 = false) {
  std::vector<std::string> listerArgs = {dump, "list", "-e", "-n", "-v"};
  std::vector<std::string> converterArgs = {"list", "back"};
  if (baud2000) {
    listerArgs.push_back("-2k");
    converterArgs.push_back("-2K");
  }
  RunResult listed = runProgram(kMorvix.path, folder, listerArgs);
  EXPECT_EQ(0, listed.end);
  EXPECT_EQ("", listed.console);
  RunResult converted = runProgram(kKaldex.path, folder, converterArgs);
  EXPECT_EQ(0, converted.end);
  EXPECT_EQ("", converted.console);
  return readFile(folder / "back").value_or("");
}

TEST(RoundTrip, ExamplesConvertAndComeBackToTheSameDump) {
  int examples = 0;
  for (const auto& entry : std::filesystem::directory_iterator(EXAMPLES_DIR)) {
    if (entry.path().extension() != ".txt") continue;
    SCOPED_TRACE(entry.path());
    ++examples;
    TempFolder folder;

    RunResult result = runProgram(kKaldex.path, folder, {entry.path(), "example"});

    EXPECT_EQ(0, result.end);
    EXPECT_EQ("", result.console);
    std::string dump = readFile(folder / "example").value_or("");
    ASSERT_FALSE(dump.empty());
    EXPECT_EQ('\r', dump.back());
    EXPECT_EQ(dump, dumpAfterRoundTrip(folder, "example"));
  }
  EXPECT_LT(0, examples);
}

// Compares without printing megabytes when the dumps differ.
void expectLargeRoundTrip(const std::string& dump, bool baud2000) {
  TempFolder folder;
  writeFile(folder / "big", dump);
  std::string back = dumpAfterRoundTrip(folder, "big", baud2000);
  EXPECT_EQ(dump.size(), back.size());
  EXPECT_EQ(dump.size(), firstDifference(dump, back));
}

TEST(RoundTrip, LargeDumpComesBackByteForByte) {
  // Megabytes of every byte value, ending in 13: many buffers through both programs.
  std::minstd_rand random(2024);
  std::string dump(3000000, '\0');
  for (char& byte : dump)
    byte = static_cast<char>(random());
  dump.back() = '\r';
  expectLargeRoundTrip(dump, false);
}

TEST(RoundTrip, Large2000BaudRecordingComesBackByteForByte) {
  // Megabytes of records with every number but the end marker and every byte but 13 as content.
  std::minstd_rand random(2026);
  std::string dump;
  while (dump.size() < 3000000) {
    uint16_t number = static_cast<uint16_t>(random());
    if (number == 0xFF00) continue;
    dump.push_back(static_cast<char>(number & 0xFF));
    dump.push_back(static_cast<char>(number >> 8));
    for (int length = random() % 60; length > 0; --length) {
      char byte = static_cast<char>(random());
      dump.push_back(byte == '\r' ? '\n' : byte);
    }
    dump.push_back('\r');
  }
  dump += std::string("\x00\xFF", 2);
  expectLargeRoundTrip(dump, true);
}

const Program* const kBoth[] = {&kKaldex, &kMorvix};

// The input in, an existing output out, a folder sub, links to in, and a larger input big.
void prepare(const TempFolder& folder, const Program& program) {
  writeFile(folder / "in", program.input);
  writeFile(folder / "out", kOldOutput);
  std::filesystem::create_directory(folder / "sub");
  std::filesystem::create_symlink("in", folder / "link");
  std::filesystem::create_hard_link(folder / "in", folder / "hard");
  std::string big;
  for (int i = 0; i < 1000; ++i)
    big += program.input;
  writeFile(folder / "big", big);
}

TEST(BothPrograms, FewerThanTwoParametersShowUsageAndTouchNothing) {
  for (const Program* program : kBoth) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"in"}}) {
      SCOPED_TRACE(program->name + " " + testing::PrintToString(args));
      TempFolder folder;
      writeFile(folder / "in", program->input);

      RunResult result = runProgram(program->path, folder, args, {"y"});

      EXPECT_EQ(0, result.end);
      EXPECT_EQ(program->usage, result.console);
      EXPECT_EQ(program->input, readFile(folder / "in"));
      EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(folder.path), {}));
    }
  }
}

TEST(BothPrograms, FilesThatCannotBeUsed) {
  struct Case {
    std::vector<std::string> args;
    std::string console;
    std::optional<std::string> created;  // the file "new" afterwards
  };
  const std::string yes = kQuestion + "Y\n";
  const std::string writeError = yes + kWriteError + "/dev/full\n\n";
  const Case cases[] = {
      // The output is neither probed nor created when the input cannot be opened.
      {{"missing", "out"}, "Can't open file: missing\n\n", std::nullopt},
      {{"missing", "new"}, "Can't open file: missing\n\n", std::nullopt},
      {{"sub", "out"}, "Can't open file: sub\n\n", std::nullopt},
      {{"in", "sub"}, kCreateError + "sub\n\n", std::nullopt},
      // The input itself exists, so the question comes first; the refusal follows the yes.
      {{"in", "in"}, yes + kCreateError + "in\n\n", std::nullopt},
      {{"in", "./in"}, yes + kCreateError + "./in\n\n", std::nullopt},
      {{"in", "link"}, yes + kCreateError + "link\n\n", std::nullopt},
      {{"in", "hard"}, yes + kCreateError + "hard\n\n", std::nullopt},
      // Failing at the close and failing while converting, with many buffers still to come.
      {{"in", "/dev/full"}, writeError, std::nullopt},
      {{"big", "/dev/full"}, writeError, std::nullopt},
      // The program's own memory from address 0, never mapped: it opens but cannot be read.
      {{"/proc/self/mem", "new"}, kReadError + "/proc/self/mem\n\n", ""},
  };
  for (const Program* program : kBoth) {
    for (const Case& c : cases) {
      SCOPED_TRACE(program->name + " " + testing::PrintToString(c.args));
      TempFolder folder;
      prepare(folder, *program);

      RunResult result = runProgram(program->path, folder, c.args, {"y"});

      EXPECT_EQ(1, result.end);
      EXPECT_EQ(c.console, result.console);
      EXPECT_EQ(program->input, readFile(folder / "in"));
      EXPECT_EQ(kOldOutput, readFile(folder / "out"));
      EXPECT_EQ(c.created, readFile(folder / "new"));
      EXPECT_TRUE(std::filesystem::is_empty(folder / "sub"));
    }
  }
}

TEST(BothPrograms, QuestionTakesKeysFromAPipe) {
  struct Case {
    Input input;
    std::string keys;
    std::string answer;  // console text after the question
    int end;
  };
  const Case cases[] = {
      {Input::keys, "q\r\ny", "Q\nY\n", 0},  // line ends are not keys
      {Input::keys, std::string("\0\0y", 3), "Y\n",
       0},  // nor are zero bytes, and they echo nothing
      {Input::keys, "yn", "Y\n", 0},
      {Input::keys, "n", "N\n" + kAborted, 1},
      {Input::keys, "q", "Q\n" + kAborted, 1},
      {Input::null, "", kAborted, 1},
      // Unless the program guards descriptor 0, its input file would take it and answer.
      {Input::closed, "", kAborted, 1},
  };
  for (const Program* program : kBoth) {
    for (const Case& c : cases) {
      SCOPED_TRACE(program->name + " " + testing::PrintToString(c.keys));
      TempFolder folder;
      prepare(folder, *program);
      RunOptions options{c.keys, c.input};

      RunResult result = runProgram(program->path, folder, {"in", "out"}, options);

      EXPECT_EQ(c.end, result.end);
      EXPECT_EQ(kQuestion + c.answer, result.console);
      EXPECT_EQ(c.end == 0 ? program->output : kOldOutput, readFile(folder / "out"));
    }
  }
}

TEST(BothPrograms, PermissionsOfAnUnprivilegedUser) {
  SKIP_ON_WINDOWS("file modes and users");
  if (geteuid() != 0) GTEST_SKIP() << "starting a program as another user needs root";
  struct Case {
    std::filesystem::perms input;
    std::filesystem::perms output;
    std::string console;
  };
  using std::filesystem::perms;
  const Case cases[] = {
      {perms::none, perms::owner_read | perms::owner_write, "Can't open file: in\n\n"},
      {perms::owner_read, perms::owner_read, kQuestion + "Y\n" + kCreateError + "out\n\n"},
      // The probe cannot read it, so it counts as absent; it can still be emptied and written.
      {perms::owner_read, perms::owner_write, ""},
  };
  for (const Program* program : kBoth) {
    for (const Case& c : cases) {
      SCOPED_TRACE(program->name + " " + c.console);
      TempFolder folder;
      prepare(folder, *program);
      for (const auto& [name, mode] : {std::pair{"in", c.input}, std::pair{"out", c.output}}) {
        ASSERT_EQ(0, chown((folder / name).c_str(), kNobody, kNobody));
        std::filesystem::permissions(folder / name, mode);
      }
      RunOptions options{"y"};
      options.nobody = true;

      RunResult result = runProgram(program->path, folder, {"in", "out"}, options);

      EXPECT_EQ(c.console.empty() ? 0 : 1, result.end);
      EXPECT_EQ(c.console, result.console);
      EXPECT_EQ(c.console.empty() ? program->output : kOldOutput, readFile(folder / "out"));
      EXPECT_EQ(program->input, readFile(folder / "in"));
    }
  }
}

TEST(BothPrograms, QuestionOnATerminalTakesKeysAtOnceAndRestoresIt) {
  SKIP_ON_WINDOWS("pseudo-terminal and signals");
  struct Case {
    const Program* program;
    std::vector<std::string> keys;  // typed one at a time, each once the one before is echoed
    int signalNumber;               // sent once the last key is echoed; 0 for none
    std::string answer;             // what the terminal shows after the question
    int end;
    int pauseMs = 0;  // when set, keys are typed this long apart instead, as they echo nothing
  };
  const Case cases[] = {
      {&kKaldex, {"q", "y"}, 0, "Q\r\nY\r\n", 0},
      {&kKaldex, {"\xC3\xA9", "n"}, 0, "\xC3\x89\r\nN\r\nOperation aborted.\r\n", 1},
      {&kKaldex, {"\r", "Y"}, 0, "\r\r\nY\r\n", 0},
      {&kKaldex, {"q", "\x03"}, 0, "Q\r\n", -SIGINT},
      {&kKaldex, {"q"}, SIGHUP, "Q\r\n", -SIGHUP},
      // Keys without a character echo nothing, and the keys after them still answer: Ctrl-@,
      // an arrow and a function key, whole or split between reads. A lone ESC is the Escape key.
      {&kKaldex, {std::string("\0y", 2)}, 0, "Y\r\n", 0},
      {&kKaldex, {"\x1B[Ay"}, 0, "Y\r\n", 0},
      {&kKaldex, {"\x1B[", "Ay"}, 0, "Y\r\n", 0, 100},
      {&kKaldex, {"\x1BOPy"}, 0, "Y\r\n", 0},
      {&kKaldex, {"\x1B", "y"}, 0, "\x1B\r\nY\r\n", 0},
      {&kMorvix, {"q", "y"}, 0, "Q\r\nY\r\n", 0},
  };
  const std::string question = "Output file already exists. Overwrite? [y/n]\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program->name + " " + testing::PrintToString(c.keys));
    TempFolder folder;
    prepare(folder, *c.program);
    Terminal terminal(c.program->path, folder, {"in", "out"});

    // Keys typed as soon as the question shows must already be taken without Enter or echo.
    ASSERT_TRUE(terminal.readUntil(question));
    for (const std::string& key : c.keys) {
      if (&key != &c.keys.front() && c.pauseMs > 0) {
        usleep(c.pauseMs * 1000);
      } else if (&key != &c.keys.front()) {
        ASSERT_TRUE(terminal.readUntil("\r\n"));
      }
      terminal.type(key);
    }
    if (c.signalNumber != 0) {
      ASSERT_TRUE(terminal.readUntil("\r\n"));
      terminal.signal(c.signalNumber);
    }
    int end = terminal.waitForEnd();

    EXPECT_EQ(c.end, end);
    EXPECT_EQ(question + c.answer, terminal.shown);
    EXPECT_EQ(terminal.startSettings, terminal.settings());
    EXPECT_EQ(c.end == 0 ? c.program->output : kOldOutput, readFile(folder / "out"));
  }
}

}  // namespace
