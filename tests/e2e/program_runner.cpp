#include "program_runner.h"

#include <fcntl.h>
#include <grp.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

// Long enough for a slow machine under load; only a hanging program ever reaches it.
constexpr unsigned kGuardSeconds = 30;

std::vector<char*> argvOf(std::vector<std::string>& words) {
  std::vector<char*> argv;
  for (std::string& word : words)
    argv.push_back(word.data());
  argv.push_back(nullptr);
  return argv;
}

// The program starts as from a shell: default signal handling with nothing blocked (the test
// process ignores SIGPIPE). The alarm outlives exec and ends a hanging program, so every wait of
// the tests is bounded. Exit status 127 says the program could not be started.
[[noreturn]] void execProgram(char* const* argv, const TempFolder& folder, bool nobody) {
  for (int signalNumber : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE})
    ::signal(signalNumber, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  if (chdir(folder.path.c_str()) != 0) _exit(127);
  if (nobody && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
    _exit(127);
  }
  alarm(kGuardSeconds);
  execvp(argv[0], argv);
  _exit(127);
}

const char* windowsPrograms() {
  const char* folder = std::getenv("E2E_WINDOWS_PROGRAMS");
  return folder != nullptr && *folder != '\0' ? folder : nullptr;
}

std::string wine() {
  const char* chosen = std::getenv("E2E_WINE");
  if (chosen != nullptr && *chosen != '\0') return chosen;
  const char* debian = "/usr/lib/wine/wine64";
  return access(debian, X_OK) == 0 ? debian : "wine";
}

// The command that runs program with args, under Wine for the Windows programs.
std::vector<std::string> commandOf(const std::string& program,
                                   const std::vector<std::string>& args) {
  std::vector<std::string> words = {program};
  if (testingWindowsPrograms()) words.insert(words.begin(), wine());
  words.insert(words.end(), args.begin(), args.end());
  return words;
}

// UTF-16LE with CR LF, as a Windows program writes to a pipe, as UTF-8 with LF. A byte left over
// at the end is kept as it is, so that it shows in a comparison.
std::string consoleTextOfWindows(const std::string& bytes) {
  std::u16string units;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  std::string text;
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (c == u'\r' && i + 1 < units.size() && units[i + 1] == u'\n') continue;
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
    }
    int more = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    static const unsigned char kLead[] = {0x00, 0xC0, 0xE0, 0xF0};
    text += static_cast<char>(kLead[more] | c >> 6 * more);
    for (int shift = 6 * (more - 1); shift >= 0; shift -= 6)
      text += static_cast<char>(0x80 | (c >> shift & 0x3F));
  }
  if (bytes.size() % 2 != 0) text += bytes.back();
  return text;
}

int endOf(pid_t pid, long* peakMemoryKb = nullptr) {
  int status = 0;
  struct rusage usage = {};
  wait4(pid, &status, 0, &usage);
  if (peakMemoryKb != nullptr) *peakMemoryKb = usage.ru_maxrss;
  return WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status);
}

}  // namespace

bool testingWindowsPrograms() {
  return windowsPrograms() != nullptr;
}

std::string programPath(const std::string& builtPath, const std::string& name) {
  if (!testingWindowsPrograms()) return builtPath;
  return (std::filesystem::path(windowsPrograms()) / (name + ".exe")).string();
}

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "e2e-XXXXXX").string();
  EXPECT_NE(nullptr, mkdtemp(pattern.data()));
  path = pattern;
  std::filesystem::permissions(path, std::filesystem::perms::all);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary);
  file << bytes;
  EXPECT_TRUE(file.good()) << "cannot write " << path;
}

std::optional<std::string> readFile(const std::filesystem::path& path) {
  if (!std::filesystem::is_regular_file(path)) return std::nullopt;
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

RunResult runProgram(const std::string& program, const TempFolder& folder,
                     const std::vector<std::string>& args, const RunOptions& options) {
  ::signal(SIGPIPE, SIG_IGN);  // a program that ends without reading its keys must not end us
  std::vector<std::string> words = commandOf(program, args);
  std::vector<char*> argv = argvOf(words);
  int output[2];
  int input[2];
  if (pipe2(output, O_CLOEXEC) != 0 || pipe2(input, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe: " << strerror(errno);
    return {};
  }
  pid_t pid = fork();
  if (pid == 0) {
    dup2(output[1], STDOUT_FILENO);
    dup2(output[1], STDERR_FILENO);
    if (options.input == Input::keys) {
      dup2(input[0], STDIN_FILENO);
    } else if (options.input == Input::null) {
      dup2(open("/dev/null", O_RDONLY | O_CLOEXEC), STDIN_FILENO);
    } else {
      close(STDIN_FILENO);
    }
    execProgram(argv.data(), folder, options.nobody);
  }
  close(output[1]);
  close(input[0]);
  if (options.whileRunning) options.whileRunning(pid);
  // The keys are few, so they fit the pipe whether or not the program reads them.
  ssize_t ignored = write(input[1], options.keys.data(), options.keys.size());
  (void)ignored;
  close(input[1]);
  RunResult result;
  char buffer[65536];
  for (ssize_t got; (got = read(output[0], buffer, sizeof buffer)) > 0;)
    result.console.append(buffer, got);
  close(output[0]);
  result.end = endOf(pid, &result.peakMemoryKb);
  if (testingWindowsPrograms()) result.console = consoleTextOfWindows(result.console);
  return result;
}

Terminal::Terminal(const std::string& program, const TempFolder& folder,
                   const std::vector<std::string>& args) {
  std::vector<std::string> words = commandOf(program, args);
  std::vector<char*> argv = argvOf(words);
  int slave = -1;
  EXPECT_EQ(0, openpty(&master_, &slave, nullptr, nullptr, nullptr));
  // VMIN and VTIME mean nothing in canonical mode; unusual values show settings that were rebuilt
  // by hand instead of restored.
  struct termios start;
  tcgetattr(slave, &start);
  start.c_cc[VMIN] = 3;
  start.c_cc[VTIME] = 7;
  tcsetattr(slave, TCSANOW, &start);
  startSettings = settings();
  fcntl(master_, F_SETFD, FD_CLOEXEC);
  pid_ = fork();
  if (pid_ == 0) {
    if (login_tty(slave) != 0) _exit(127);
    execProgram(argv.data(), folder, false);
  }
  close(slave);
}

Terminal::~Terminal() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    endOf(pid_);
  }
  close(master_);
}

bool Terminal::readUntil(const std::string& text) {
  char buffer[4096];
  for (;;) {
    size_t found = shown.find(text, matched_);
    if (found != std::string::npos) {
      matched_ = found + text.size();
      return true;
    }
    // Linux gives EIO once the program's side is closed for good.
    ssize_t got = read(master_, buffer, sizeof buffer);
    if (got <= 0) {
      ADD_FAILURE() << "the program ended without showing " << testing::PrintToString(text)
                    << "; shown: " << testing::PrintToString(shown);
      return false;
    }
    shown.append(buffer, got);
  }
}

void Terminal::type(const std::string& keys) {
  EXPECT_EQ(static_cast<ssize_t>(keys.size()), write(master_, keys.data(), keys.size()));
}

void Terminal::signal(int signalNumber) {
  EXPECT_EQ(0, kill(pid_, signalNumber));
}

int Terminal::waitForEnd() {
  char buffer[4096];
  for (ssize_t got; (got = read(master_, buffer, sizeof buffer)) > 0;)
    shown.append(buffer, got);
  int end = endOf(pid_);
  pid_ = -1;
  return end;
}

std::string Terminal::settings() const {
  // On Linux the master reads the settings of the program's side.
  struct termios now = {};
  EXPECT_EQ(0, tcgetattr(master_, &now));
  std::ostringstream text;
  text << std::oct << "iflag 0" << now.c_iflag << ", oflag 0" << now.c_oflag << ", cflag 0"
       << now.c_cflag << ", lflag 0" << now.c_lflag << std::dec << ", speeds " << cfgetispeed(&now)
       << "/" << cfgetospeed(&now) << ", cc";
  for (cc_t character : now.c_cc)
    text << ' ' << static_cast<unsigned>(character);
  return text.str();
}
