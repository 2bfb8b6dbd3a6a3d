// The console, keys, signals, waits and files on POSIX systems, with what POSIX and the web build
// do alike on descriptors from descriptors.h.
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

#include "platform/descriptors.h"
#include "platform/key_bytes.h"
#include "platform/system.h"

namespace {

volatile sig_atomic_t hangupPending = 0;
bool hangingUp = false;
void (*closeFilesOnHangup)() = nullptr;

// The question's key mode on a terminal. keyMode is set while the question reads keys from the
// terminal; keyApplied while the terminal holds the key mode put there by this process, and
// savedTerminal the settings to put back, read when the key mode was put on. Only a process group
// that has the terminal in the foreground may change it: one in the background stops with its
// group first, as a shell expects, and puts the key mode on once it goes on in the foreground.
// Every way out puts the settings found back while the terminal is still this group's.
struct termios savedTerminal;
struct termios keyTerminal;
volatile sig_atomic_t keyMode = 0;
volatile sig_atomic_t keyApplied = 0;

// A terminal that is not the controlling one has no foreground group: nothing stops its users.
bool inForeground() {
  pid_t group = tcgetpgrp(STDIN_FILENO);
  return group == getpgrp() || (group == -1 && errno == ENOTTY);
}

void restoreTerminal() {
  if (!keyApplied) return;
  keyApplied = 0;
  if (inForeground()) tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
}

// Once put on, the key mode is put on again as it was, as a shell may have reset the terminal
// meanwhile; it is never read back as the settings found.
void applyKeyMode() {
  if (!keyMode || !inForeground()) return;
  if (!keyApplied) {
    if (tcgetattr(STDIN_FILENO, &savedTerminal) != 0) return;
    keyTerminal = savedTerminal;
    keyTerminal.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    // Enter gives CR, as its key does everywhere else.
    keyTerminal.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR);
    keyTerminal.c_cc[VMIN] = 1;
    keyTerminal.c_cc[VTIME] = 0;
  }
  if (tcsetattr(STDIN_FILENO, TCSANOW, &keyTerminal) == 0) keyApplied = 1;
}

// Turns the key mode on or off, with the terminal settings that go with it. Signals are held
// back meanwhile, so that no handler finds the flags and the terminal at odds.
void setKeyMode(bool on) {
  sigset_t all;
  sigset_t previous;
  sigfillset(&all);
  sigprocmask(SIG_BLOCK, &all, &previous);
  if (on) {
    keyMode = 1;
    applyKeyMode();
  } else {
    restoreTerminal();
    keyMode = 0;
  }
  sigprocmask(SIG_SETMASK, &previous, nullptr);
}

// Before the key mode is put on, or a key is read, by a process group in the background: the
// group stops, as the terminal stops it on a change of its settings; the stop handler puts the
// key mode on when the group goes on in the foreground. Where the stop is ignored, or the group
// is orphaned, the question goes on without the key mode.
void takeTerminal() {
  if (!keyMode || keyApplied) return;
  if (!inForeground()) kill(0, SIGTTOU);
  setKeyMode(true);
}

void onHangup(int) {
  hangupPending = 1;
}

// The signals whose default ends the process, but for hang-up, which closes the files first, and
// for a broken pipe and the file size limit, which make a write fail instead (see systemStart).
constexpr int kEndingSignals[] = {SIGINT,    SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM,
                                  SIGVTALRM, SIGPROF, SIGXCPU, SIGABRT, SIGBUS,  SIGFPE,
                                  SIGILL,    SIGSEGV, SIGSYS,  SIGTRAP};

// Each of them ends the process at once, as it would without a handler, once the terminal is
// given back. The handler is not held back while it runs, so the signal raised again with its
// default action takes effect there and then.
void onEndingSignal(int signalNumber) {
  restoreTerminal();
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

// Installs handler unless the signal was ignored when the process started (as under nohup), or
// is handled already (as by a sanitizer).
void catchSignal(int signalNumber, void (*handler)(int), int flags) {
  struct sigaction old;
  if (sigaction(signalNumber, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) return;
  struct sigaction action = {};
  action.sa_handler = handler;
  action.sa_flags = flags;
  sigemptyset(&action.sa_mask);
  sigaction(signalNumber, &action, nullptr);
}

constexpr int kStopSignals[] = {SIGTSTP, SIGTTIN, SIGTTOU};

// Ctrl-Z, and a read or a change of the terminal from the background: the terminal is given back
// before the stop and the key mode put on again after it, if the group is then in the foreground.
// In an orphaned process group the stop is discarded and the question simply goes on.
void onStop(int signalNumber) {
  int saved = errno;
  restoreTerminal();
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
  catchSignal(signalNumber, onStop, SA_NODEFER | SA_RESTART);
  applyKeyMode();
  errno = saved;
}

// Also after a stop that cannot be caught (SIGSTOP), or one the shell sent to the whole group. A
// group continued in the background leaves the terminal as its new owner has it.
void onContinue(int) {
  int saved = errno;
  if (keyApplied && !inForeground()) keyApplied = 0;
  applyKeyMode();
  errno = saved;
}

[[noreturn]] void hangUp() {
  hangingUp = true;
  setKeyMode(false);
  closeFilesOnHangup();
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
// would land in the output file, or the question would read the input file. The stand-in is no
// standard stream the program was given: the standard files kept know it as closed.
void keepStandardDescriptorsOpen() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    struct stat status;
    bool isOpen = fstat(fd, &status) == 0;
    if (fd <= STDOUT_FILENO) keepStandardFile(fd, isOpen ? &status : nullptr);
    if (!isOpen && errno == EBADF) {
      int opened = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
      if (opened != fd && opened >= 0) close(opened);
    }
  }
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

void systemStart(int argc, char** argv, void (*closeFiles)()) {
  keepCommandLine(argc, argv);
  closeFilesOnHangup = closeFiles;
  keepStandardDescriptorsOpen();
  catchSignal(SIGHUP, onHangup, 0);
  for (int signalNumber : kEndingSignals)
    catchSignal(signalNumber, onEndingSignal, SA_NODEFER);
  for (int signalNumber : kStopSignals)
    catchSignal(signalNumber, onStop, SA_NODEFER | SA_RESTART);
  catchSignal(SIGCONT, onContinue, SA_RESTART);
  // A reader that goes away, or a write past the file size limit, must show as a failed write,
  // not end the process silently.
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
}

void exitProcess(int status) {
  setKeyMode(false);
  std::exit(status);
}

void delayMs(int milliseconds) {
  waitFor(-1, false, milliseconds);
}

void beginKeyInput() {
  keys = KeyBytes{};
  keys.ended = standardInputIsHeld();
  keysFromTerminal = !keys.ended && isatty(STDIN_FILENO);
  if (!keysFromTerminal) return;
  keyMode = 1;
  takeTerminal();
}

void endKeyInput() {
  setKeyMode(false);
}

KeyRead readKey(std::u16string& key) {
  takeTerminal();
  return nextKey(keys, keysFromTerminal ? KeySource::terminal : KeySource::pipe, readKeyBytes,
                 monotonicMs(), key);
}

// ---- Files ----

namespace {

// An open never waits for the other end of a FIFO: its writer or reader is waited for where a
// hang-up is acted on (readFile, createHeld).
constexpr int kOpenFlags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

void waitToWrite(int fd) {
  waitFor(fd, true, -1);
}

const DescriptorWaits waits = {checkHangup, waitToWrite, delayMs};

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
  return writeWaiting(static_cast<int>(handle), data, size, waits);
}

}  // namespace

void systemPrint(std::u16string_view text, bool lineEnd) {
  writeStandardOutput(text, lineEnd, waits);
}

bool systemOpenForReading(std::u16string_view path, intptr_t& handle) {
  return openHeld(path, kOpenFlags, handle);
}

bool systemCreateFile(std::u16string_view path, intptr_t& handle) {
  return createHeld(path, kOpenFlags, waits, handle);
}

const SystemFileOps systemFileOps = {readFile, writeFile, closeHeld};
