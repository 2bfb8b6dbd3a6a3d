// The console, command line, keys, signals and files on POSIX systems.
//
// A hang-up (the terminal going away) must close every file with its buffered bytes written, but
// no file operation may run inside a signal handler while the main code is in the middle of one.
// So the SIGHUP handler only raises a flag, and blocking calls return early on it. The main code
// acts on the flag before each system call and after each wait. A wait holds SIGHUP back from its
// check until ppoll or pselect lets it in, so a hang-up cannot slip in between the check and the
// wait.
//
// Only POSIX.1-2008 calls, but for ppoll where the build found it (HAVE_PPOLL). A port to another
// POSIX system touches: waitWithMask, the one place that chooses between ppoll and pselect;
// readKeyBytes, which asks with select whether a key is there, as poll does not work on a
// terminal everywhere (macOS); and the large-file and ppoll settings in CMakeLists.txt.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/select.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "services/console.h"
#include "services/files.h"
#include "services/key_bytes.h"
#include "services/system.h"
#include "services/text.h"

namespace {

int argumentCount = 0;
char** arguments = nullptr;

volatile sig_atomic_t hangupPending = 0;
bool hangingUp = false;

// The terminal settings found when the question began; put back on every way out.
struct termios savedTerminal;
volatile sig_atomic_t terminalChanged = 0;

void restoreTerminal() {
  if (terminalChanged) {
    tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    terminalChanged = 0;
  }
}

void onHangup(int) {
  hangupPending = 1;
}

// Interrupt, quit and terminate end the process at once, as they would without a handler; the
// handler only gives the terminal back first. It is installed to be reset on entry, so raising
// the signal again ends the process.
void onInterrupt(int signalNumber) {
  restoreTerminal();
  raise(signalNumber);
}

// Installs handler unless the signal was ignored when the process started (as under nohup).
void catchSignal(int signalNumber, void (*handler)(int), int flags) {
  struct sigaction old;
  if (sigaction(signalNumber, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) return;
  struct sigaction action = {};
  action.sa_handler = handler;
  action.sa_flags = flags;
  sigemptyset(&action.sa_mask);
  sigaction(signalNumber, &action, nullptr);
}

[[noreturn]] void hangUp() {
  hangingUp = true;
  restoreTerminal();
  closeAllFiles();
  signal(SIGHUP, SIG_DFL);
  sigset_t hup;
  sigemptyset(&hup);
  sigaddset(&hup, SIGHUP);
  sigprocmask(SIG_UNBLOCK, &hup, nullptr);
  raise(SIGHUP);
  _exit(128 + SIGHUP);
}

void checkHangup() {
  if (hangupPending && !hangingUp) hangUp();
}

// Waits as ppoll does, until fd (none when -1) is ready for writing or reading, a signal that
// mask lets in arrives, or the time runs out (none: for ever); the signal mask is mask during the
// wait only. A descriptor select cannot take counts as ready at once: its caller then tries again.
void waitWithMask(int fd, bool writing, const struct timespec* timeout, const sigset_t* mask) {
#if HAVE_PPOLL
  struct pollfd poller = {fd, static_cast<short>(writing ? POLLOUT : POLLIN), 0};
  ppoll(&poller, fd < 0 ? 0 : 1, timeout, mask);
#else
  if (fd >= FD_SETSIZE) return;
  fd_set ready;
  FD_ZERO(&ready);
  if (fd >= 0) FD_SET(fd, &ready);
  pselect(fd + 1, writing ? nullptr : &ready, writing ? &ready : nullptr, nullptr, timeout, mask);
#endif
}

// Waits until fd is ready for writing or reading, or for timeoutMs when fd is -1 (a negative
// timeout waits for ever). A hang-up ends the wait and is acted on.
void waitFor(int fd, bool writing, int timeoutMs) {
  sigset_t hup;
  sigset_t previous;
  sigemptyset(&hup);
  sigaddset(&hup, SIGHUP);
  sigprocmask(SIG_BLOCK, &hup, &previous);
  if (hangupPending && !hangingUp) {
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    hangUp();
  }
  sigset_t during = previous;
  sigdelset(&during, SIGHUP);
  struct timespec timeout = {timeoutMs / 1000, (timeoutMs % 1000) * 1000000L};
  waitWithMask(fd, writing, timeoutMs < 0 ? nullptr : &timeout, &during);
  sigprocmask(SIG_SETMASK, &previous, nullptr);
  checkHangup();
}

// A file descriptor that is not open would be taken by the next open, and the console text
// would land in the output file, or the question would read the input file.
void keepStandardDescriptorsOpen() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      int opened = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
      if (opened != fd && opened >= 0) close(opened);
    }
  }
}

std::string pathBytes(std::u16string_view path) {
  std::string bytes;
  encodeUtf8(path, bytes);
  return bytes;
}

// ---- Files ----

// The files this program holds open, by identity, to refuse creating over one of them.
struct HeldFile {
  int fd;
  dev_t device;
  ino_t inode;
  bool canBlock;  // a pipe, terminal or device: reads and writes wait for it
};
constexpr int kHeldCount = kFileCount + 2;
HeldFile held[kHeldCount];
int heldCount = 0;

const HeldFile* heldFor(int fd) {
  for (int i = 0; i < heldCount; ++i) {
    if (held[i].fd == fd) return &held[i];
  }
  return nullptr;
}

bool isHeld(const struct stat& status) {
  for (int i = 0; i < heldCount; ++i) {
    if (held[i].device == status.st_dev && held[i].inode == status.st_ino) return true;
  }
  return false;
}

bool hold(int fd, const struct stat& status, intptr_t& handle) {
  if (heldCount == kHeldCount) {
    close(fd);
    return false;
  }
  held[heldCount++] = {fd, status.st_dev, status.st_ino, !S_ISREG(status.st_mode)};
  handle = fd;
  return true;
}

long long readFile(intptr_t handle, unsigned char* data, size_t size) {
  int fd = static_cast<int>(handle);
  const HeldFile* file = heldFor(fd);
  for (;;) {
    checkHangup();
    // A FIFO without a writer yet would read as ended; waiting first also waits for the writer.
    if (file != nullptr && file->canBlock) waitFor(fd, false, -1);
    ssize_t got = read(fd, data, size);
    if (got >= 0) return got;
    if (errno != EINTR && errno != EAGAIN) return -1;
  }
}

long long writeFile(intptr_t handle, const unsigned char* data, size_t size) {
  int fd = static_cast<int>(handle);
  for (;;) {
    checkHangup();
    ssize_t put = write(fd, data, size);
    if (put >= 0) return put;
    if (errno == EAGAIN) {
      waitFor(fd, true, -1);
    } else if (errno != EINTR) {
      return -1;
    }
  }
}

bool closeHeldFile(intptr_t handle) {
  int fd = static_cast<int>(handle);
  for (int i = 0; i < heldCount; ++i) {
    if (held[i].fd == fd) {
      held[i] = held[--heldCount];
      break;
    }
  }
  // After a close interrupted by a signal the descriptor is gone on Linux: never close twice.
  return close(fd) == 0 || errno == EINTR;
}

// ---- Keys ----

KeyBytes keys;
bool keysFromTerminal = false;

long long readKeyBytes(unsigned char* data, size_t size) {
  checkHangup();
  fd_set ready;
  FD_ZERO(&ready);
  FD_SET(STDIN_FILENO, &ready);
  struct timeval now = {0, 0};
  int found = select(STDIN_FILENO + 1, &ready, nullptr, nullptr, &now);
  if (found <= 0) return found < 0 && errno != EINTR ? -1 : 0;
  ssize_t got = read(STDIN_FILENO, data, size);
  if (got < 0) return errno == EINTR || errno == EAGAIN ? 0 : -1;
  if (got == 0) return -1;
  return got;
}

long long monotonicMs() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

}  // namespace

// ---- Run and console ----

void startRun(int argc, char** argv) {
  argumentCount = argc;
  arguments = argv;
  keepStandardDescriptorsOpen();
  catchSignal(SIGHUP, onHangup, 0);
  catchSignal(SIGINT, onInterrupt, SA_RESETHAND | SA_NODEFER);
  catchSignal(SIGQUIT, onInterrupt, SA_RESETHAND | SA_NODEFER);
  catchSignal(SIGTERM, onInterrupt, SA_RESETHAND | SA_NODEFER);
  // A reader that goes away must show as a failed write, not end the process silently.
  signal(SIGPIPE, SIG_IGN);
}

void exitProcess(int status) {
  restoreTerminal();
  std::exit(status);
}

namespace {

// The text, and a line end when asked, to the standard output in one write where it takes them.
void writeConsole(std::u16string_view text, bool lineEnd) {
  std::string bytes;
  bytes.reserve(text.size() + 1);
  encodeUtf8(text, bytes);
  if (lineEnd) bytes.push_back('\n');
  const char* data = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    checkHangup();
    ssize_t put = write(STDOUT_FILENO, data, left);
    if (put < 0) {
      // A standard output that another program made non-blocking takes the line as it drains.
      if (errno == EAGAIN) waitFor(STDOUT_FILENO, true, -1);
      if (errno == EINTR || errno == EAGAIN) continue;
      return;  // nobody to tell
    }
    data += put;
    left -= static_cast<size_t>(put);
  }
}

}  // namespace

void printLine(std::u16string_view text) {
  writeConsole(text, true);
}

void printPart(std::u16string_view text) {
  writeConsole(text, false);
}

int parameterCount() {
  return argumentCount - 1;
}

std::u16string parameterAt(int index) {
  std::u16string parameter;
  if (index >= 0 && index + 1 < argumentCount) {
    decodeUtf8(arguments[index + 1], Utf8Errors::escape, parameter);
  }
  return parameter;
}

void delayMs(int milliseconds) {
  waitFor(-1, false, milliseconds);
}

void beginKeyInput() {
  keys.count = 0;
  keys.ended = false;
  keysFromTerminal = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &savedTerminal) == 0;
  if (!keysFromTerminal) return;
  struct termios keyMode = savedTerminal;
  keyMode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  // Enter gives CR, as its key does everywhere else.
  keyMode.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR);
  keyMode.c_cc[VMIN] = 1;
  keyMode.c_cc[VTIME] = 0;
  terminalChanged = 1;
  tcsetattr(STDIN_FILENO, TCSANOW, &keyMode);
}

void endKeyInput() {
  restoreTerminal();
}

KeyRead readKey(std::u16string& key) {
  return nextKey(keys, keysFromTerminal ? KeySource::terminal : KeySource::pipe, readKeyBytes,
                 monotonicMs(), key);
}

// ---- Files ----

const SystemFileOps systemFileOps = {readFile, writeFile, closeHeldFile};

bool systemOpenForReading(std::u16string_view path, intptr_t& handle) {
  std::string bytes = pathBytes(path);
  // Without O_NONBLOCK, opening a FIFO would wait for a writer before the question could be asked.
  int fd = open(bytes.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat status;
  if (fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
    close(fd);
    return false;
  }
  return hold(fd, status, handle);
}

bool systemCreateFile(std::u16string_view path, intptr_t& handle) {
  std::string bytes = pathBytes(path);
  int flags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  int fd = open(bytes.c_str(), O_RDWR | O_CREAT | flags, 0666);
  if (fd < 0) fd = open(bytes.c_str(), O_WRONLY | flags);
  if (fd < 0) return false;
  // The identity is taken from the opened file itself, so a link or a rename in between cannot
  // lead to emptying a file that is held open. A file already empty is not truncated: that
  // changes nothing, yet ext4 then writes all the file's data out at its close, a wait as long as
  // the conversion itself.
  struct stat status;
  if (fstat(fd, &status) != 0 || isHeld(status) ||
      (S_ISREG(status.st_mode) && status.st_size > 0 && ftruncate(fd, 0) != 0)) {
    close(fd);
    return false;
  }
  return hold(fd, status, handle);
}
