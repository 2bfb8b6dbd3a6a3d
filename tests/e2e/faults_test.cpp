// Faults from outside while both programs work: a disk that fills up, a signal in the middle of a
// conversion, an input that changes while it is being read, and a line of 100 MB. What is checked
// is how each run ends, what it prints and the bytes left on disk.
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <thread>

#include "program_runner.h"

namespace {

const Program* const kBoth[] = {&kKaldex, &kMorvix};

// The output buffer of both programs.
constexpr size_t kBlock = 4096;

// Long enough for a slow machine under load; only a stuck program ever reaches it.
constexpr auto kPatience = std::chrono::seconds(30);

std::string repeated(const std::string& text, size_t count) {
  std::string result;
  result.reserve(text.size() * count);
  for (size_t i = 0; i < count; ++i)
    result += text;
  return result;
}

// Compares without printing megabytes when they differ.
void expectSameBytes(const std::string& expected, const std::string& actual) {
  EXPECT_EQ(expected.size(), actual.size());
  EXPECT_EQ(expected.size(), firstDifference(expected, actual)) << "first difference";
}

// Every file that a process started meanwhile writes holds at most limit bytes, as on a full
// disk: the write that reaches the limit writes what fits and the next fails with EFBIG, since
// SIGXFSZ is ignored (which a started program inherits).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t limit) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    struct rlimit reduced = {limit, saved_.rlim_max};
    EXPECT_EQ(0, setrlimit(RLIMIT_FSIZE, &reduced));
    previous_ = ::signal(SIGXFSZ, SIG_IGN);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    ::signal(SIGXFSZ, previous_);
  }

 private:
  struct rlimit saved_;
  void (*previous_)(int);
};

TEST(Faults, DiskFillsUpWhileWriting) {
  struct Case {
    const char* where;
    size_t limit;  // bytes of the output that fit
    bool fromEnd;  // the limit counts back from the end of the whole output
  };
  const Case cases[] = {
      {"inside a block, many blocks before the end", 50000, false},
      {"on a block boundary", 12 * kBlock, false},
      {"in the last block, written at the close", 100, true},
      {"exactly at the end, so nothing fails", 0, true},
  };
  for (const Program* program : kBoth) {
    // Hundreds of kilobytes, ending in a part block.
    const size_t copies = 20000;
    std::string expected = repeated(program->output, copies);
    ASSERT_NE(0u, expected.size() % kBlock);
    for (const Case& c : cases) {
      SCOPED_TRACE(program->name + " " + c.where);
      TempFolder folder;
      writeFile(folder / "in", repeated(program->input, copies));
      size_t limit = c.fromEnd ? expected.size() - c.limit : c.limit;

      RunResult result;
      {
        FileSizeLimit full(limit);
        result = runProgram(program->path, folder, {"in", "out"});
      }

      bool fits = limit == expected.size();
      EXPECT_EQ(fits ? 0 : 1, result.end);
      EXPECT_EQ(fits ? "" : kWriteError + "out\n\n", result.console);
      expectSameBytes(expected.substr(0, limit), readFile(folder / "out").value_or(""));
      EXPECT_EQ(repeated(program->input, copies), readFile(folder / "in"));
    }
  }
}

// Feeds bytes to a FIFO that the program reads, without blocking the test if it stops reading.
void feed(int fifo, const std::string& data) {
  auto deadline = std::chrono::steady_clock::now() + kPatience;
  size_t written = 0;
  while (written < data.size()) {
    ssize_t put = write(fifo, data.data() + written, data.size() - written);
    if (put > 0) {
      written += static_cast<size_t>(put);
      continue;
    }
    ASSERT_TRUE(put < 0 && errno == EAGAIN) << strerror(errno);
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the program stopped reading";
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// Waits until the program has taken everything from the FIFO and sleeps, waiting for more.
void waitUntilWaitingForInput(int fifo, pid_t pid) {
  auto deadline = std::chrono::steady_clock::now() + kPatience;
  std::string stat;
  for (;;) {
    int waiting = 1;
    ASSERT_EQ(0, ioctl(fifo, FIONREAD, &waiting));
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::getline(file, stat);
    // The state follows the name in parentheses; "S" is a sleep, here only the wait for input.
    size_t state = stat.rfind(") ");
    if (waiting == 0 && state != std::string::npos && stat.compare(state + 2, 1, "S") == 0) return;
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "still busy: " << stat;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

TEST(Faults, SignalWhileConverting) {
  SKIP_ON_WINDOWS("signals");
  // A hang-up closes the output with every byte converted; an interrupt or a termination ends the
  // program at once, losing at most the block not yet written. Nothing else is touched.
  for (const Program* program : kBoth) {
    for (int signalNumber : {SIGHUP, SIGINT, SIGTERM}) {
      SCOPED_TRACE(program->name + " " + strsignal(signalNumber));
      TempFolder folder;
      ASSERT_EQ(0, mkfifo((folder / "in").c_str(), 0600));
      writeFile(folder / "keep", kOldOutput);
      // Opened for reading too, so that the open does not wait for the program.
      int fifo = open((folder / "in").c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
      ASSERT_LE(0, fifo);
      const size_t copies = 10000;
      std::string expected = repeated(program->output, copies);
      RunOptions options;
      options.whileRunning = [&](pid_t pid) {
        feed(fifo, repeated(program->input, copies));
        waitUntilWaitingForInput(fifo, pid);
        kill(pid, signalNumber);
      };

      RunResult result = runProgram(program->path, folder, {"in", "out"}, options);
      close(fifo);

      EXPECT_EQ(-signalNumber, result.end);
      EXPECT_EQ("", result.console);
      std::string written = readFile(folder / "out").value_or("");
      if (signalNumber == SIGHUP) {
        expectSameBytes(expected, written);
      } else {
        EXPECT_EQ(written.size(), firstDifference(expected, written));
        EXPECT_LT(expected.size() - written.size(), kBlock);
      }
      EXPECT_EQ(kOldOutput, readFile(folder / "keep"));
      EXPECT_EQ(3, std::distance(std::filesystem::directory_iterator(folder.path), {}));
    }
  }
}

TEST(Faults, InputChangesWhileBeingRead) {
  // The output is a FIFO that the test does not empty until the change is made: once its 64 KiB
  // are full the program waits, far before the middle of its input of a megabyte. Then everything
  // it writes is taken. The FIFO exists, so the question comes first.
  struct Case {
    const char* change;
    std::function<void(const TempFolder&, off_t half)> make;
    bool halfRemains;  // else the whole input is read
  };
  const Case cases[] = {
      {"truncated to half",
       [](const TempFolder& folder, off_t half) {
         EXPECT_EQ(0, truncate((folder / "in").c_str(), half));
       },
       true},
      // An open file lives on under its old name or none.
      {"removed", [](const TempFolder& folder, off_t) { std::filesystem::remove(folder / "in"); },
       false},
      {"replaced",
       [](const TempFolder& folder, off_t) {
         std::filesystem::rename(folder / "other", folder / "in");
       },
       false},
  };
  for (const Program* program : kBoth) {
    // A megabyte, so the program is far from its end when it stops.
    const size_t copies = (size_t{1} << 20) / program->input.size() / 2 * 2;
    for (const Case& c : cases) {
      SCOPED_TRACE(program->name + " input " + c.change);
      TempFolder folder;
      writeFile(folder / "in", repeated(program->input, copies));
      writeFile(folder / "other", "x");
      ASSERT_EQ(0, mkfifo((folder / "out").c_str(), 0600));
      int reader = open((folder / "out").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
      ASSERT_LE(0, reader);
      std::string written;
      std::thread taker([&] {
        auto deadline = std::chrono::steady_clock::now() + kPatience;
        for (int waiting = 0; waiting < static_cast<int>(kBlock);) {
          if (ioctl(reader, FIONREAD, &waiting) != 0 || std::chrono::steady_clock::now() > deadline)
            break;
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        c.make(folder, static_cast<off_t>(copies / 2 * program->input.size()));
        fcntl(reader, F_SETFL, 0);
        char buffer[65536];
        for (ssize_t got; (got = read(reader, buffer, sizeof buffer)) > 0;)
          written.append(buffer, static_cast<size_t>(got));
      });

      RunResult result = runProgram(program->path, folder, {"in", "out"}, {"y"});
      taker.join();
      close(reader);

      EXPECT_EQ(0, result.end);
      EXPECT_EQ(kQuestion + "Y\n", result.console);
      expectSameBytes(repeated(program->output, c.halfRemains ? copies / 2 : copies), written);
    }
  }
}

// Writes or checks, piece by piece, head + unit * units + tail, lines times, so that a test of a
// large file never holds it in memory. Nothing is allocated per piece: the test's own memory
// counts in the program's peak.
void forEachPiece(size_t lines, std::string_view head, const std::string& unit, size_t units,
                  std::string_view tail, const std::function<void(std::string_view)>& take) {
  const size_t unitsPerPiece = 100000;
  const std::string piece = repeated(unit, std::min(units, unitsPerPiece));
  for (size_t line = 0; line < lines; ++line) {
    take(head);
    for (size_t done = 0; done < units; done += unitsPerPiece) {
      take(std::string_view(piece).substr(0, std::min(unitsPerPiece, units - done) * unit.size()));
    }
    take(tail);
  }
}

TEST(Faults, HundredMegabytesInOneLine) {
  // KALDEX keeps one line in memory at a time: a line of 100 MB converts whole, with memory a
  // few times its size; the same amount in short lines needs next to none.
  struct Case {
    size_t lines;
    size_t units;  // of the listing "print {65}B" and its dump "tAB" (print is 0x74) per line
    long peakMemoryMb;
  };
  const size_t total = size_t{100} << 20;
  const std::string unit = "print {65}B";
  const Case cases[] = {
      {1, total / unit.size(), 8 * 100},
      {total / (3 + 10 * unit.size() + 1), 10, 64},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.lines) + " lines");
    TempFolder folder;
    {
      std::ofstream listing(folder / "in", std::ios::binary);
      forEachPiece(c.lines, "10 ", unit, c.units, "\n",
                   [&](std::string_view piece) { listing << piece; });
      ASSERT_TRUE(listing.good());
    }

    RunResult result = runProgram(kKaldex.path, folder, {"in", "out"});

    EXPECT_EQ(0, result.end);
    EXPECT_EQ("", result.console);
    EXPECT_GT(c.peakMemoryMb << 10, result.peakMemoryKb);
    std::ifstream dump(folder / "out", std::ios::binary);
    size_t checked = 0;
    bool same = true;
    std::string read;
    forEachPiece(c.lines, "10 ", "tAB", c.units, "\r", [&](std::string_view piece) {
      read.resize(piece.size());
      same = same && dump.read(read.data(), static_cast<std::streamsize>(read.size())) &&
             read == piece;
      if (same) checked += piece.size();
    });
    EXPECT_TRUE(same) << "the dump differs after " << checked << " bytes";
    EXPECT_EQ(std::char_traits<char>::eof(), dump.get());
  }
}

}  // namespace
