// Runs a built program as its users would: in a folder of its own, with a chosen standard input,
// as an unprivileged user or on a pseudo-terminal, and collects what it prints and how it ends.
// Every wait is bounded by a generous guard time so that a hanging program fails its test
// instead of stopping the whole run; the guard never measures anything.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// The user and group "nobody", for runs without root's rights.
constexpr uid_t kUnprivilegedId = 65534;

// True when the tests run as root, the only way they can start a program as another user.
bool runningAsRoot();

// A folder of its own for one test, open to every user, removed with its contents at the end.
struct TempFolder {
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string path;
};

std::string joinPath(std::string_view folder, std::string_view name);

// Whole files as bytes. A failure is reported to the running test.
void writeFileBytes(const std::string& path, std::string_view bytes);
std::string readFileBytes(const std::string& path);

// True when the path names anything, a dangling symbolic link included.
bool pathExists(const std::string& path);

// The bytes of the named file in the folder, or nothing when there is no such file.
std::optional<std::string> contentsOf(const TempFolder& folder, const std::string& name);

// Bytes given by value, for data that is not text.
std::string bytes(std::initializer_list<unsigned char> values);

// How many bytes from the start both hold alike. Long data is compared by this and by size: the
// position of the first difference says more in a report than megabytes of text.
size_t sharedPrefixLength(std::string_view left, std::string_view right);

// The names in a folder, sorted, without "." and "..".
std::vector<std::string> folderEntries(const std::string& path);

// How a process ended: its exit status, or the signal that ended it.
struct ProcessEnd {
  bool bySignal = false;
  int value = -1;
};
ProcessEnd exitedWith(int status);
ProcessEnd killedBy(int signalNumber);
bool operator==(const ProcessEnd& left, const ProcessEnd& right);
std::ostream& operator<<(std::ostream& stream, const ProcessEnd& end);

struct RunResult {
  ProcessEnd end;
  std::string output;  // every byte written to the standard output and error, in order
};

enum class StandardInput {
  bytes,   // RunOptions::inputBytes through a pipe that is closed after them
  null,    // /dev/null
  closed,  // no descriptor 0 at all
};

struct RunOptions {
  std::string workingDirectory;  // empty: the tests' own
  StandardInput input = StandardInput::null;
  std::string inputBytes;
  bool unprivileged = false;  // run as kUnprivilegedId; needs root
  bool emptyArgv = false;     // start with no argument at all, not even the program's name
};

// A program started with its output on a pipe and not yet waited for.
struct RunningProgram {
  RunningProgram() = default;
  ~RunningProgram();  // a program still running is killed
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  pid_t pid = -1;
  int input = -1;   // write end of the standard input pipe
  int output = -1;  // read end of the standard output and error pipe
  std::string pendingInput;
};

// Starts program with args after its name. False, with the failure reported, when it could not.
bool startProgram(RunningProgram& running, const std::string& program,
                  const std::vector<std::string>& args, const RunOptions& options);

// Sends the pending input, collects all output and waits for the end.
RunResult finishProgram(RunningProgram& running);

RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const RunOptions& options);

// A run in the folder with /dev/null as standard input.
RunOptions inFolder(const TempFolder& folder);

// Keys for the question through a pipe; also catches a question asked where none belongs.
RunOptions withKeys(const TempFolder& folder, const std::string& keys);

// What both programs print about their files, word for word, misspelling included.
inline const std::string kQuestion = "Output file already exists. Overwrite? [y/n]\n";
inline const std::string kAborted = "Operation aborted.\n";
inline const std::string kCreateError = "An error ocurred while creating the output file: ";
inline const std::string kWriteError = "An error occurred while writing the output file: ";
inline const std::string kReadError = "An error occurred while reading the input file: ";

// True when this kernel gives a program started with an empty argv no arguments at all; newer
// Linux kernels put an empty name in its place.
bool kernelKeepsEmptyArgv();

// Opens a FIFO for writing as soon as a reader has it open; -1, reported, after the guard time.
int openFifoWriter(const std::string& path);

// Waits until the reader has taken every byte written through the pipe end fd.
bool waitUntilDrained(int fd);

// A program on a new pseudo-terminal, which is its controlling terminal, standard input, output
// and error.
struct TerminalProgram {
  TerminalProgram() = default;
  ~TerminalProgram();  // a program still running is killed
  TerminalProgram(const TerminalProgram&) = delete;
  TerminalProgram& operator=(const TerminalProgram&) = delete;

  pid_t pid = -1;
  int master = -1;
  // The settings the terminal had when the program started: the system's defaults for a new
  // terminal, except VMIN and VTIME (unused in canonical mode) set to unusual values, so that
  // settings rebuilt by hand instead of restored show up.
  struct termios startSettings = {};
  // Everything the terminal has shown so far; the terminal turns each "\n" into "\r\n".
  std::string output;
  size_t matchedUpTo = 0;
};

bool startOnTerminal(TerminalProgram& terminal, const std::string& program,
                     const std::vector<std::string>& args, const std::string& workingDirectory);

// Reads until text appears after the previous match. False at the end of the output or after
// the guard time, reported.
bool readUntil(TerminalProgram& terminal, std::string_view text);

// Types keys on the terminal, as bytes.
void sendKeys(TerminalProgram& terminal, std::string_view keys);

void sendSignal(TerminalProgram& terminal, int signalNumber);

// Reads the rest of the output and waits for the end.
ProcessEnd waitForEnd(TerminalProgram& terminal);

// The terminal's current settings, also once the program has ended.
struct termios terminalSettings(const TerminalProgram& terminal);

// The settings as text, so that a difference shows which field differs.
std::string settingsText(const struct termios& settings);
