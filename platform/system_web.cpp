// The console, keys, pauses and files of the WebAssembly build, with what it does alike with POSIX
// on descriptors from descriptors.h. The files are on its host's file system: under Node the real
// one, in the page the one in memory that the page fills and reads. There are no signals and no
// terminal modes; a key is a byte of the standard input, whose read waits for it.
#include <emscripten.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "platform/descriptors.h"
#include "platform/key_bytes.h"
#include "platform/system.h"

namespace {

KeyBytes keys;

long long readKeyBytes(unsigned char* data, size_t size) {
  ssize_t got = read(STDIN_FILENO, data, size);
  if (got < 0) return errno == EAGAIN ? 0 : -1;
  return got == 0 ? -1 : got;
}

// Nothing comes meanwhile: there are no signals.
void actOnNothing() {}

// The host offers no wait for a descriptor: a short pause, then the write again.
void pauseToWrite(int) {
  delayMs(1);
}

const DescriptorWaits waits = {actOnNothing, pauseToWrite, delayMs};

// The host's standard input may have been made non-blocking: a short pause, then the read again.
long long readFile(intptr_t handle, unsigned char* data, size_t size) {
  for (;;) {
    ssize_t got = read(static_cast<int>(handle), data, size);
    if (got >= 0 || errno != EAGAIN) return got < 0 ? -1 : got;
    delayMs(1);
  }
}

long long writeFile(intptr_t handle, const unsigned char* data, size_t size) {
  return writeWaiting(static_cast<int>(handle), data, size, waits);
}

// The host reads and writes a file at the position the module keeps for it, which a FIFO, a pipe
// or a terminal refuses: such a file is read and written where it stands.
bool keptWhereItStands(bool held, intptr_t handle) {
  const HeldFile* file = held ? heldFor(static_cast<int>(handle)) : nullptr;
  if (file != nullptr && file->canBlock) EM_ASM({ FS.getStream($0).seekable = false; }, file->fd);
  return held;
}

// Descriptors 0 and 1 of the module write to and read from the host's own, but have no status of
// the host: the host's go by these names. Node puts the null device in place of a standard
// descriptor closed at the start, which nothing tells apart from one given on purpose: the null
// device counts as closed, as a dump written there would be lost without a word.
void keepStandardFiles() {
  struct stat null;
  bool hasNull = stat("/dev/null", &null) == 0;
  for (int fd : {STDIN_FILENO, STDOUT_FILENO}) {
    struct stat status;
    bool present = stat(fd == STDIN_FILENO ? "/dev/stdin" : "/dev/stdout", &status) == 0 &&
                   !(hasNull && null.st_dev == status.st_dev && null.st_ino == status.st_ino);
    keepStandardFile(fd, present ? &status : nullptr);
  }
}

}  // namespace

// ---- Run and console ----

// Nothing ends the run from outside: closeFiles is never needed.
void systemStart(int argc, char** argv, void (*)()) {
  keepCommandLine(argc, argv);
  keepStandardFiles();
}

void systemPrint(std::u16string_view text, bool lineEnd) {
  writeStandardOutput(text, lineEnd, waits);
}

void exitProcess(int status) {
  std::exit(status);
}

void delayMs(int milliseconds) {
  struct timespec pause = {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
  nanosleep(&pause, nullptr);
}

// ---- Keys ----

void beginKeyInput() {
  keys = KeyBytes{};
  keys.ended = standardInputIsHeld();
}

void endKeyInput() {}

KeyRead readKey(std::u16string& key) {
  // Keys from a pipe need no clock.
  return nextKey(keys, KeySource::pipe, readKeyBytes, 0, key);
}

// ---- Files ----

// Descriptors stay blocking, as nothing here could wait for one: a read waits in the host.
bool systemOpenForReading(std::u16string_view path, intptr_t& handle) {
  return keptWhereItStands(openHeld(path, 0, handle), handle);
}

bool systemCreateFile(std::u16string_view path, intptr_t& handle) {
  return keptWhereItStands(createHeld(path, 0, waits, handle), handle);
}

const SystemFileOps systemFileOps = {readFile, writeFile, closeHeld};
