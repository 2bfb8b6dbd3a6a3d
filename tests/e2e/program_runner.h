// Runs a built program as its users would: in a folder of its own, with keys through a pipe or on
// a pseudo-terminal, possibly as an unprivileged user; collects what it prints and how it ends.
#pragma once

#include <sys/types.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

// The tests run the programs of this build, or, when the environment variable
// E2E_WINDOWS_PROGRAMS names a folder, the Windows programs in it under Wine (E2E_WINE, by
// default Debian's wine64). Their console text, UTF-16LE with CR LF, is then read as UTF-8 with
// LF, so that both are held to the same texts.
bool testingWindowsPrograms();
std::string programPath(const std::string& builtPath, const std::string& name);

// Cases that cannot happen on Windows (terminals, signals, POSIX files and permissions) are
// skipped there, with the reason shown.
#define SKIP_ON_WINDOWS(reason) \
  if (testingWindowsPrograms()) GTEST_SKIP() << "POSIX only: " reason

// One program under test, with a small input file and the output it makes of it.
struct Program {
  std::string name;
  std::string path;
  std::string usage;
  std::string input;
  std::string output;
};
extern const Program kKaldex;  // in kaldex_test.cpp
extern const Program kMorvix;  // in morvix_test.cpp

// What both programs print about their files, word for word, misspelling included.
inline const std::string kQuestion = "Output file already exists. Overwrite? [y/n]\n";
inline const std::string kAborted = "Operation aborted.\n";
inline const std::string kCreateError = "An error ocurred while creating the output file: ";
inline const std::string kWriteError = "An error occurred while writing the output file: ";
inline const std::string kReadError = "An error occurred while reading the input file: ";

// What an existing output holds before a run; only a run that writes may change it.
inline const std::string kOldOutput = "OLD OUTPUT";

// The user and group "nobody".
constexpr uid_t kNobody = 65534;

inline std::string bytes(std::initializer_list<unsigned char> values) {
  return std::string(values.begin(), values.end());
}

// Where two long strings first differ; compared with the size, it says more in a report than
// megabytes of text.
inline size_t firstDifference(const std::string& left, const std::string& right) {
  return std::mismatch(left.begin(), left.end(), right.begin(), right.end()).first - left.begin();
}

// A folder for one test, open to every user, removed with its contents at the end.
struct TempFolder {
  TempFolder();
  ~TempFolder();
  std::filesystem::path operator/(const std::string& name) const { return path / name; }
  std::filesystem::path path;
};

void writeFile(const std::filesystem::path& path, const std::string& bytes);
std::optional<std::string> readFile(const std::filesystem::path& path);  // nothing when absent

enum class Input { keys, null, closed };

struct RunOptions {
  std::string keys;  // standard input through a pipe that is closed after them
  Input input = Input::keys;
  bool nobody = false;                           // run as kNobody; needs root
  std::function<void(pid_t)> whileRunning = {};  // called once the program has started
};

// How a program ended: its exit status, or minus the signal that ended it.
struct RunResult {
  int end = -1;
  std::string console;  // standard output and error together, in order
  // The largest resident set of the process, in KiB; it starts as a copy of the test's own.
  long peakMemoryKb = 0;
};

RunResult runProgram(const std::string& program, const TempFolder& folder,
                     const std::vector<std::string>& args, const RunOptions& options = {});

// A program on a new pseudo-terminal, its controlling terminal and standard streams.
class Terminal {
 public:
  Terminal(const std::string& program, const TempFolder& folder,
           const std::vector<std::string>& args);
  ~Terminal();  // a program still running is killed

  // Reads until text shows after the previous match; false, reported, if the program ends first.
  bool readUntil(const std::string& text);
  void type(const std::string& keys);
  void signal(int signalNumber);
  int waitForEnd();              // reads the rest; the end as in RunResult
  std::string settings() const;  // the terminal's settings as text, also after the end

  std::string startSettings;
  std::string shown;  // everything shown so far; the terminal turns "\n" into "\r\n"

 private:
  pid_t pid_ = -1;
  int master_ = -1;
  size_t matched_ = 0;
};
