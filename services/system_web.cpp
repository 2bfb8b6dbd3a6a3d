// The console, command line, keys and files of the WebAssembly build, on its host's file system:
// under Node the real one, in the page the one in memory that the page fills and reads. There
// are no signals and no terminal modes; a key is a byte of the standard input, whose read waits
// for it.
#include <fcntl.h>
#include <sys/stat.h>
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

// The descriptors this program holds open, to refuse creating over one of them.
constexpr int kHeldCount = kFileCount;
int held[kHeldCount];
int heldCount = 0;

bool isHeld(const struct stat& status) {
  struct stat other;
  for (int i = 0; i < heldCount; ++i) {
    if (fstat(held[i], &other) == 0 && other.st_dev == status.st_dev &&
        other.st_ino == status.st_ino) {
      return true;
    }
  }
  return false;
}

bool hold(int fd, intptr_t& handle) {
  if (heldCount == kHeldCount) {
    close(fd);
    return false;
  }
  held[heldCount++] = fd;
  handle = fd;
  return true;
}

std::string pathBytes(std::u16string_view path) {
  std::string bytes;
  encodeUtf8(path, bytes);
  return bytes;
}

// One write; a descriptor that another program made non-blocking is waited for.
long long writeWaiting(int fd, const void* data, size_t size) {
  for (;;) {
    ssize_t put = write(fd, data, size);
    if (put >= 0 || errno != EAGAIN) return put;
    delayMs(1);
  }
}

long long readFile(intptr_t handle, unsigned char* data, size_t size) {
  ssize_t got = read(static_cast<int>(handle), data, size);
  return got < 0 ? -1 : got;
}

long long writeFile(intptr_t handle, const unsigned char* data, size_t size) {
  return writeWaiting(static_cast<int>(handle), data, size);
}

bool closeHeldFile(intptr_t handle) {
  int fd = static_cast<int>(handle);
  for (int i = 0; i < heldCount; ++i) {
    if (held[i] == fd) {
      held[i] = held[--heldCount];
      break;
    }
  }
  return close(fd) == 0;
}

KeyBytes keys;

long long readKeyBytes(unsigned char* data, size_t size) {
  ssize_t got = read(STDIN_FILENO, data, size);
  if (got < 0) return errno == EAGAIN ? 0 : -1;
  return got == 0 ? -1 : got;
}

}  // namespace

void startRun(int argc, char** argv) {
  argumentCount = argc;
  arguments = argv;
}

void exitProcess(int status) {
  std::exit(status);
}

namespace {

// The text, and a line end when asked, to the standard output in one write where it takes them.
void writeConsole(std::u16string_view text, bool lineEnd) {
  std::string bytes;
  encodeUtf8(text, bytes);
  if (lineEnd) bytes.push_back('\n');
  const char* data = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    long long put = writeWaiting(STDOUT_FILENO, data, left);
    if (put < 0) return;  // nobody to tell
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
  struct timespec pause = {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
  nanosleep(&pause, nullptr);
}

void beginKeyInput() {
  keys.count = 0;
  keys.ended = false;
}

void endKeyInput() {}

KeyRead readKey(std::u16string& key) {
  // Keys from a pipe need no clock.
  return nextKey(keys, KeySource::pipe, readKeyBytes, 0, key);
}

const SystemFileOps systemFileOps = {readFile, writeFile, closeHeldFile};

bool systemOpenForReading(std::u16string_view path, intptr_t& handle) {
  int fd = open(pathBytes(path).c_str(), O_RDONLY);
  if (fd < 0) return false;
  struct stat status;
  if (fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
    close(fd);
    return false;
  }
  return hold(fd, handle);
}

bool systemCreateFile(std::u16string_view path, intptr_t& handle) {
  std::string bytes = pathBytes(path);
  int fd = open(bytes.c_str(), O_RDWR | O_CREAT, 0666);
  if (fd < 0) fd = open(bytes.c_str(), O_WRONLY);
  if (fd < 0) return false;
  struct stat status;
  if (fstat(fd, &status) != 0 || isHeld(status) ||
      (S_ISREG(status.st_mode) && status.st_size > 0 && ftruncate(fd, 0) != 0)) {
    close(fd);
    return false;
  }
  return hold(fd, handle);
}
