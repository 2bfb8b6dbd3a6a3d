#include "program_runner.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utmp.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <sstream>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Long enough for a slow machine under load; only a hanging program ever reaches it.
constexpr auto kGuardTime = std::chrono::seconds(30);

constexpr char kArgcProbe[] = "PROGRAM_RUNNER_ARGC_PROBE";

// glibc hands the arguments of main to constructors too; kernelKeepsEmptyArgv starts this very
// binary with the probe variable set to learn what a program started with an empty argv sees.
__attribute__((constructor)) void answerArgcProbe(int argc, char**, char**) {
  if (getenv(kArgcProbe) != nullptr) _exit(argc == 0 ? 0 : 1);
}

int millisecondsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return static_cast<int>(std::max<long long>(0, left.count()));
}

void pauseBriefly() {
  struct timespec pause = {0, 1000000};
  nanosleep(&pause, nullptr);
}

void closeDescriptor(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// Between fork and exec: system calls only, no allocation, nothing that takes a lock.
[[noreturn]] void childFails(const char* what) {
  const char prefix[] = "program_runner: cannot start the program: ";
  ssize_t ignored = write(STDERR_FILENO, prefix, sizeof prefix - 1);
  ignored = write(STDERR_FILENO, what, strlen(what));
  ignored = write(STDERR_FILENO, "\n", 1);
  (void)ignored;
  _exit(127);
}

// The test process ignores SIGPIPE and gtest may block signals; the program must start as it
// would from a shell.
[[noreturn]] void execChild(const char* program, char* const* argv,
                            const std::string& workingDirectory, bool unprivileged) {
  for (int signalNumber : {SIGHUP, SIGINT, SIGQUIT, SIGPIPE, SIGTERM}) {
    signal(signalNumber, SIG_DFL);
  }
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  if (!workingDirectory.empty() && chdir(workingDirectory.c_str()) != 0) childFails("chdir");
  if (unprivileged) {
    if (setgroups(0, nullptr) != 0) childFails("setgroups");
    if (setgid(kUnprivilegedId) != 0) childFails("setgid");
    if (setuid(kUnprivilegedId) != 0) childFails("setuid");
  }
  execve(program, argv, environ);
  childFails("execve");
}

// The words of argv, program name first; the pointers stay valid while words lives.
std::vector<char*> argvOf(std::vector<std::string>& words, bool empty) {
  std::vector<char*> argv;
  if (!empty) {
    for (std::string& word : words)
      argv.push_back(word.data());
  }
  argv.push_back(nullptr);
  return argv;
}

ProcessEnd endOf(int status) {
  if (WIFSIGNALED(status)) return killedBy(WTERMSIG(status));
  return exitedWith(WEXITSTATUS(status));
}

ProcessEnd waitForChild(pid_t& pid, Clock::time_point deadline) {
  int status = 0;
  for (;;) {
    pid_t ended = waitpid(pid, &status, WNOHANG);
    if (ended == pid) break;
    if (ended < 0 && errno != EINTR) {
      ADD_FAILURE() << "waitpid: " << strerror(errno);
      pid = -1;
      return ProcessEnd{};
    }
    if (Clock::now() >= deadline) {
      ADD_FAILURE() << "the program did not end within the guard time; killed";
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    pauseBriefly();
  }
  pid = -1;
  return endOf(status);
}

void killLeftOver(pid_t& pid) {
  if (pid <= 0) return;
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  pid = -1;
}

}  // namespace

bool runningAsRoot() {
  return geteuid() == 0;
}

TempFolder::TempFolder() {
  const char* base = getenv("TMPDIR");
  std::string pattern = joinPath(base != nullptr && *base != '\0' ? base : "/tmp", "e2e-XXXXXX");
  if (mkdtemp(pattern.data()) == nullptr) {
    ADD_FAILURE() << "mkdtemp " << pattern << ": " << strerror(errno);
    return;
  }
  // Programs run as an unprivileged user work in it too.
  if (chmod(pattern.c_str(), 0777) != 0) ADD_FAILURE() << "chmod: " << strerror(errno);
  path = pattern;
}

TempFolder::~TempFolder() {
  if (path.empty()) return;
  std::error_code error;
  std::filesystem::remove_all(path, error);
}

std::string joinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  path += '/';
  path += name;
  return path;
}

void writeFileBytes(const std::string& path, std::string_view bytes) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    ADD_FAILURE() << "open " << path << ": " << strerror(errno);
    return;
  }
  while (!bytes.empty()) {
    ssize_t put = write(fd, bytes.data(), bytes.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      ADD_FAILURE() << "write " << path << ": " << strerror(errno);
      break;
    }
    bytes.remove_prefix(static_cast<size_t>(put));
  }
  close(fd);
}

std::string readFileBytes(const std::string& path) {
  std::string bytes;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    ADD_FAILURE() << "open " << path << ": " << strerror(errno);
    return bytes;
  }
  char buffer[65536];
  for (;;) {
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) ADD_FAILURE() << "read " << path << ": " << strerror(errno);
    if (got <= 0) break;
    bytes.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  return bytes;
}

bool pathExists(const std::string& path) {
  struct stat status;
  return lstat(path.c_str(), &status) == 0;
}

std::optional<std::string> contentsOf(const TempFolder& folder, const std::string& name) {
  std::string path = joinPath(folder.path, name);
  if (!pathExists(path)) return std::nullopt;
  return readFileBytes(path);
}

std::string bytes(std::initializer_list<unsigned char> values) {
  return std::string(values.begin(), values.end());
}

size_t sharedPrefixLength(std::string_view left, std::string_view right) {
  auto mismatch = std::mismatch(left.begin(), left.end(), right.begin(), right.end());
  return static_cast<size_t>(mismatch.first - left.begin());
}

std::vector<std::string> folderEntries(const std::string& path) {
  std::vector<std::string> names;
  DIR* folder = opendir(path.c_str());
  if (folder == nullptr) {
    ADD_FAILURE() << "opendir " << path << ": " << strerror(errno);
    return names;
  }
  while (struct dirent* entry = readdir(folder)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(folder);
  std::sort(names.begin(), names.end());
  return names;
}

ProcessEnd exitedWith(int status) {
  return ProcessEnd{false, status};
}

ProcessEnd killedBy(int signalNumber) {
  return ProcessEnd{true, signalNumber};
}

bool operator==(const ProcessEnd& left, const ProcessEnd& right) {
  return left.bySignal == right.bySignal && left.value == right.value;
}

std::ostream& operator<<(std::ostream& stream, const ProcessEnd& end) {
  if (end.bySignal) return stream << "signal " << end.value << " (" << strsignal(end.value) << ")";
  return stream << "exit status " << end.value;
}

RunningProgram::~RunningProgram() {
  closeDescriptor(input);
  closeDescriptor(output);
  killLeftOver(pid);
}

bool startProgram(RunningProgram& running, const std::string& program,
                  const std::vector<std::string>& args, const RunOptions& options) {
  // A program that stops reading its input must not end the tests.
  signal(SIGPIPE, SIG_IGN);
  std::vector<std::string> words = {program};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv = argvOf(words, options.emptyArgv);

  int outputPipe[2];
  int inputPipe[2] = {-1, -1};
  if (pipe2(outputPipe, O_CLOEXEC) != 0 ||
      (options.input == StandardInput::bytes && pipe2(inputPipe, O_CLOEXEC) != 0)) {
    ADD_FAILURE() << "pipe: " << strerror(errno);
    return false;
  }
  pid_t pid = fork();
  if (pid == 0) {
    if (dup2(outputPipe[1], STDOUT_FILENO) < 0 || dup2(outputPipe[1], STDERR_FILENO) < 0) {
      childFails("dup2");
    }
    if (options.input == StandardInput::bytes) {
      if (dup2(inputPipe[0], STDIN_FILENO) < 0) childFails("dup2");
    } else if (options.input == StandardInput::null) {
      int null = open("/dev/null", O_RDONLY);
      if (null < 0 || dup2(null, STDIN_FILENO) < 0) childFails("/dev/null");
      if (null != STDIN_FILENO) close(null);
    } else {
      close(STDIN_FILENO);
    }
    execChild(program.c_str(), argv.data(), options.workingDirectory, options.unprivileged);
  }
  close(outputPipe[1]);
  if (inputPipe[0] >= 0) close(inputPipe[0]);
  if (pid < 0) {
    ADD_FAILURE() << "fork: " << strerror(errno);
    close(outputPipe[0]);
    if (inputPipe[1] >= 0) close(inputPipe[1]);
    return false;
  }
  running.pid = pid;
  running.output = outputPipe[0];
  running.input = inputPipe[1];
  running.pendingInput = options.inputBytes;
  // Output is read while input is written, so neither side can block the other.
  if (running.input >= 0) fcntl(running.input, F_SETFL, O_NONBLOCK);
  return true;
}

RunResult finishProgram(RunningProgram& running) {
  RunResult result;
  Clock::time_point deadline = Clock::now() + kGuardTime;
  size_t sent = 0;
  if (running.input >= 0 && running.pendingInput.empty()) closeDescriptor(running.input);
  while (running.output >= 0) {
    struct pollfd waits[2] = {{running.output, POLLIN, 0}, {running.input, POLLOUT, 0}};
    int ready = poll(waits, running.input >= 0 ? 2 : 1, millisecondsLeft(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      ADD_FAILURE() << "the program did not end within the guard time; killed. Output so far: "
                    << testing::PrintToString(result.output);
      kill(running.pid, SIGKILL);
      break;
    }
    if (waits[0].revents != 0) {
      char buffer[65536];
      ssize_t got = read(running.output, buffer, sizeof buffer);
      if (got > 0) {
        result.output.append(buffer, static_cast<size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        closeDescriptor(running.output);
      }
    }
    if (running.input >= 0 && waits[1].revents != 0) {
      const std::string& bytes = running.pendingInput;
      ssize_t put = write(running.input, bytes.data() + sent, bytes.size() - sent);
      if (put > 0) sent += static_cast<size_t>(put);
      // A program that no longer reads (EPIPE) has simply not taken the rest.
      bool stopped = put < 0 && errno != EINTR && errno != EAGAIN;
      if (stopped || sent == bytes.size()) closeDescriptor(running.input);
    }
  }
  closeDescriptor(running.input);
  closeDescriptor(running.output);
  result.end = waitForChild(running.pid, Clock::now() + kGuardTime);
  return result;
}

RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const RunOptions& options) {
  RunningProgram running;
  if (!startProgram(running, program, args, options)) return RunResult{};
  return finishProgram(running);
}

RunOptions inFolder(const TempFolder& folder) {
  RunOptions options;
  options.workingDirectory = folder.path;
  return options;
}

RunOptions withKeys(const TempFolder& folder, const std::string& keys) {
  RunOptions options = inFolder(folder);
  options.input = StandardInput::bytes;
  options.inputBytes = keys;
  return options;
}

bool kernelKeepsEmptyArgv() {
  static int answer = -1;
  if (answer >= 0) return answer == 1;
  std::vector<std::string> variables;
  for (char** variable = environ; *variable != nullptr; ++variable)
    variables.push_back(*variable);
  variables.push_back(std::string(kArgcProbe) + "=1");
  std::vector<char*> environment = argvOf(variables, false);
  char* noArguments[] = {nullptr};
  pid_t pid = fork();
  if (pid == 0) {
    execve("/proc/self/exe", noArguments, environment.data());
    _exit(127);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) {
    ADD_FAILURE() << "cannot start the argv probe";
    return false;
  }
  answer = WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 1 : 0;
  return answer == 1;
}

int openFifoWriter(const std::string& path) {
  Clock::time_point deadline = Clock::now() + kGuardTime;
  for (;;) {
    // Without a reader a non-blocking open for writing fails with ENXIO instead of waiting.
    int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
      fcntl(fd, F_SETFL, 0);
      return fd;
    }
    if (errno != ENXIO) {
      ADD_FAILURE() << "open " << path << ": " << strerror(errno);
      return -1;
    }
    if (Clock::now() >= deadline) {
      ADD_FAILURE() << "nobody opened " << path << " for reading within the guard time";
      return -1;
    }
    pauseBriefly();
  }
}

bool waitUntilDrained(int fd) {
  Clock::time_point deadline = Clock::now() + kGuardTime;
  for (;;) {
    int waiting = 0;
    if (ioctl(fd, FIONREAD, &waiting) != 0) {
      ADD_FAILURE() << "FIONREAD: " << strerror(errno);
      return false;
    }
    if (waiting == 0) return true;
    if (Clock::now() >= deadline) {
      ADD_FAILURE() << waiting << " bytes were still not read after the guard time";
      return false;
    }
    pauseBriefly();
  }
}

TerminalProgram::~TerminalProgram() {
  closeDescriptor(master);
  killLeftOver(pid);
}

bool startOnTerminal(TerminalProgram& terminal, const std::string& program,
                     const std::vector<std::string>& args, const std::string& workingDirectory) {
  std::vector<std::string> words = {program};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv = argvOf(words, false);

  // openpty, fork and login_tty are what forkpty does; apart they let the settings be chosen
  // before the program can touch them.
  int master = -1;
  int slave = -1;
  if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
    ADD_FAILURE() << "openpty: " << strerror(errno);
    return false;
  }
  struct termios settings;
  tcgetattr(slave, &settings);
  settings.c_cc[VMIN] = 3;
  settings.c_cc[VTIME] = 7;
  if (tcsetattr(slave, TCSANOW, &settings) != 0 || tcgetattr(slave, &terminal.startSettings) != 0) {
    ADD_FAILURE() << "terminal settings: " << strerror(errno);
    close(master);
    close(slave);
    return false;
  }
  fcntl(master, F_SETFD, FD_CLOEXEC);
  pid_t pid = fork();
  if (pid == 0) {
    close(master);
    if (login_tty(slave) != 0) childFails("login_tty");
    execChild(program.c_str(), argv.data(), workingDirectory, false);
  }
  close(slave);
  if (pid < 0) {
    ADD_FAILURE() << "fork: " << strerror(errno);
    close(master);
    return false;
  }
  terminal.pid = pid;
  terminal.master = master;
  return true;
}

namespace {

// Reads what the terminal shows now. False once the program's side is closed for good.
bool readTerminal(TerminalProgram& terminal) {
  char buffer[4096];
  ssize_t got = read(terminal.master, buffer, sizeof buffer);
  if (got > 0) {
    terminal.output.append(buffer, static_cast<size_t>(got));
    return true;
  }
  // Linux gives EIO once every descriptor of the program's side is closed.
  return got < 0 && (errno == EINTR || errno == EAGAIN);
}

}  // namespace

bool readUntil(TerminalProgram& terminal, std::string_view text) {
  Clock::time_point deadline = Clock::now() + kGuardTime;
  for (;;) {
    size_t found = terminal.output.find(text, terminal.matchedUpTo);
    if (found != std::string::npos) {
      terminal.matchedUpTo = found + text.size();
      return true;
    }
    struct pollfd wait = {terminal.master, POLLIN, 0};
    int ready = poll(&wait, 1, millisecondsLeft(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      ADD_FAILURE() << "the terminal did not show " << testing::PrintToString(std::string(text))
                    << " within the guard time; shown so far: "
                    << testing::PrintToString(terminal.output);
      return false;
    }
    if (!readTerminal(terminal)) {
      ADD_FAILURE() << "the program closed the terminal without showing "
                    << testing::PrintToString(std::string(text))
                    << "; shown: " << testing::PrintToString(terminal.output);
      return false;
    }
  }
}

void sendKeys(TerminalProgram& terminal, std::string_view keys) {
  while (!keys.empty()) {
    ssize_t put = write(terminal.master, keys.data(), keys.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      ADD_FAILURE() << "cannot type on the terminal: " << strerror(errno);
      return;
    }
    keys.remove_prefix(static_cast<size_t>(put));
  }
}

void sendSignal(TerminalProgram& terminal, int signalNumber) {
  if (terminal.pid <= 0 || kill(terminal.pid, signalNumber) != 0) {
    ADD_FAILURE() << "cannot send signal " << signalNumber;
  }
}

ProcessEnd waitForEnd(TerminalProgram& terminal) {
  Clock::time_point deadline = Clock::now() + kGuardTime;
  for (;;) {
    struct pollfd wait = {terminal.master, POLLIN, 0};
    int ready = poll(&wait, 1, millisecondsLeft(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      ADD_FAILURE() << "the program kept the terminal open past the guard time; killed. Shown: "
                    << testing::PrintToString(terminal.output);
      kill(terminal.pid, SIGKILL);
      break;
    }
    if (!readTerminal(terminal)) break;
  }
  return waitForChild(terminal.pid, Clock::now() + kGuardTime);
}

struct termios terminalSettings(const TerminalProgram& terminal) {
  // On Linux the settings read through the master are those of the program's side.
  struct termios settings = {};
  if (tcgetattr(terminal.master, &settings) != 0) {
    ADD_FAILURE() << "tcgetattr: " << strerror(errno);
  }
  return settings;
}

std::string settingsText(const struct termios& settings) {
  std::ostringstream text;
  text << std::oct << "iflag 0" << settings.c_iflag << ", oflag 0" << settings.c_oflag
       << ", cflag 0" << settings.c_cflag << ", lflag 0" << settings.c_lflag << std::dec
       << ", speeds " << cfgetispeed(&settings) << "/" << cfgetospeed(&settings) << ", cc";
  for (cc_t character : settings.c_cc)
    text << ' ' << static_cast<unsigned>(character);
  return text.str();
}
