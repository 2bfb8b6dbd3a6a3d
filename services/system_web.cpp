// The keys and the pauses of the WebAssembly build, and the hooks of system_fd.cpp, which holds
// its command line, printLine and files. The files are on its host's file system: under Node the
// real one, in the page the one in memory that the page fills and reads. There are no signals and
// no terminal modes; a key is a byte of the standard input, whose read waits for it.
#include <emscripten.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "services/key_bytes.h"
#include "services/system.h"
#include "services/system_fd.h"

namespace {

KeyBytes keys;

long long readKeyBytes(unsigned char* data, size_t size) {
  ssize_t got = read(STDIN_FILENO, data, size);
  if (got < 0) return errno == EAGAIN ? 0 : -1;
  return got == 0 ? -1 : got;
}

}  // namespace

// ---- Run and console ----

void startRun(int argc, char** argv) {
  keepCommandLine(argc, argv);
}

void exitProcess(int status) {
  std::exit(status);
}

void delayMs(int milliseconds) {
  struct timespec pause = {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
  nanosleep(&pause, nullptr);
}

void beginKeyInput() {
  keys = KeyBytes{};
  keys.ended = standardInputIsHeld();
}

void endKeyInput() {}

KeyRead readKey(std::u16string& key) {
  // Keys from a pipe need no clock.
  return nextKey(keys, KeySource::pipe, readKeyBytes, 0, key);
}

// ---- Hooks of system_fd.cpp ----

// Descriptors stay blocking, as nothing here could wait for one: a read waits in the host.
const int kOpenFlags = 0;

// The host reads and writes a file at the position the module keeps for it, which a FIFO, a pipe
// or a terminal refuses: such a file is read and written where it stands.
void fileHeld(const HeldFile& file) {
  if (file.canBlock) EM_ASM({ FS.getStream($0).seekable = false; }, file.fd);
}

// Nothing comes meanwhile: there are no signals.
void actOnPendingEvents() {}

// The host offers no wait for a descriptor: a short pause, then the write again.
void waitToWrite(int) {
  delayMs(1);
}

// The host's standard input may have been made non-blocking: a short pause, then the read again.
long long readHeldFile(intptr_t handle, unsigned char* data, size_t size) {
  for (;;) {
    ssize_t got = read(static_cast<int>(handle), data, size);
    if (got >= 0 || errno != EAGAIN) return got < 0 ? -1 : got;
    delayMs(1);
  }
}

// Descriptors 0 and 1 of the module write to and read from the host's own, but have no status of
// the host: the host's go by these names. Node puts the null device in place of a standard
// descriptor closed at the start, which nothing tells apart from one given on purpose: the null
// device counts as closed, as a dump written there would be lost without a word.
bool standardStatus(int fd, struct stat& status) {
  struct stat null;
  return stat(fd == STDIN_FILENO ? "/dev/stdin" : "/dev/stdout", &status) == 0 &&
         !(stat("/dev/null", &null) == 0 && null.st_dev == status.st_dev &&
           null.st_ino == status.st_ino);
}
