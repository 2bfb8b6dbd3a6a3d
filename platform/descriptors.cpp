#include "platform/descriptors.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>

#include "platform/system.h"
#include "platform/utf8.h"

namespace {

int argumentCount = 0;
char** arguments = nullptr;

// The bytes the system takes for a path.
std::string pathBytes(std::u16string_view path) {
  std::string bytes;
  encodeUtf8(path, bytes);
  return bytes;
}

// Only openHeld and createHeld hold a file, for a number of the file table, which closes a
// number's file before it opens another under that number. So one place per number is all the
// runs need; were the table full, the open would fail as any refused open does.
HeldFile held[kMostOpenFiles];
int heldCount = 0;

// How often a writer looks again for the reader of a FIFO, which gives no sign when it comes.
constexpr int kReaderPollMs = 20;

// The standard input and output as the program was started with them (keepStandardFile).
struct StandardFile {
  bool present = false;
  struct stat status = {};
};
StandardFile standardFiles[2];

// The names of the standard input and output themselves; any other name of the standard
// output, found by its identity, is one too.
constexpr std::string_view kStandardNames[2][3] = {
    {"/dev/stdin", "/dev/fd/0", "/proc/self/fd/0"},
    {"/dev/stdout", "/dev/fd/1", "/proc/self/fd/1"},
};

bool isStandardName(const std::string& path, int fd) {
  for (std::string_view name : kStandardNames[fd])
    if (path == name) return true;
  return false;
}

bool namesStandardOutput(const std::string& path) {
  const StandardFile& output = standardFiles[STDOUT_FILENO];
  struct stat status;
  return isStandardName(path, STDOUT_FILENO) ||
         (output.present && stat(path.c_str(), &status) == 0 &&
          status.st_dev == output.status.st_dev && status.st_ino == output.status.st_ino);
}

// Short ASCII texts, which the programs' own messages are, take no memory: so the message that
// memory has run out can always be shown.
constexpr size_t kShortTextBytes = 256;

bool isShortAscii(std::u16string_view text) {
  if (text.size() >= kShortTextBytes) return false;
  for (char16_t unit : text) {
    if (unit >= 0x80) return false;
  }
  return true;
}

// The bytes, whole, to the standard output; dropped where it takes no more.
void writeAllToStandardOutput(const char* data, size_t left, const DescriptorWaits& waits) {
  while (left > 0) {
    long long put = writeWaiting(STDOUT_FILENO, data, left, waits);
    if (put < 0) return;  // nobody to tell
    data += put;
    left -= static_cast<size_t>(put);
  }
}

// Gives the descriptor as the handle, or closes it when the table is full (but a standard one).
bool hold(int fd, const struct stat& status, intptr_t& handle) {
  if (heldCount == kMostOpenFiles) {
    if (fd != STDIN_FILENO && fd != STDOUT_FILENO) close(fd);
    return false;
  }
  held[heldCount++] = {fd, status.st_dev, status.st_ino, !S_ISREG(status.st_mode)};
  handle = fd;
  return true;
}

}  // namespace

void keepCommandLine(int argc, char** argv) {
  argumentCount = argc;
  arguments = argv;
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

long long writeWaiting(int fd, const void* data, size_t size, const DescriptorWaits& waits) {
  for (;;) {
    waits.beforeCall();
    ssize_t put = write(fd, data, size);
    if (put >= 0) return put;
    if (errno == EAGAIN) {
      waits.untilWritable(fd);
    } else if (errno != EINTR) {
      return -1;
    }
  }
}

void writeStandardOutput(std::u16string_view text, bool lineEnd, const DescriptorWaits& waits) {
  if (isShortAscii(text)) {
    char bytes[kShortTextBytes];
    size_t size = 0;
    for (char16_t unit : text)
      bytes[size++] = static_cast<char>(unit);
    if (lineEnd) bytes[size++] = '\n';
    writeAllToStandardOutput(bytes, size, waits);
    return;
  }
  std::string bytes;
  bytes.reserve(text.size() + 1);
  encodeUtf8(text, bytes);
  if (lineEnd) bytes.push_back('\n');
  writeAllToStandardOutput(bytes.data(), bytes.size(), waits);
}

void keepStandardFile(int fd, const struct stat* status) {
  standardFiles[fd] = status != nullptr ? StandardFile{true, *status} : StandardFile{};
}

bool standardInputIsHeld() {
  const StandardFile& input = standardFiles[STDIN_FILENO];
  return !input.present || isHeld(input.status);
}

// The standard output is written as it is, whatever it holds, as a shell's redirection made it.
bool systemHoldsNothingToLose(std::u16string_view path) {
  std::string bytes = pathBytes(path);
  if (namesStandardOutput(bytes)) return true;
  struct stat status;
  return stat(bytes.c_str(), &status) == 0 &&
         (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode) || S_ISCHR(status.st_mode));
}

bool openHeld(std::u16string_view path, int openFlags, intptr_t& handle) {
  std::string bytes = pathBytes(path);
  if (isStandardName(bytes, STDIN_FILENO)) {
    const StandardFile& input = standardFiles[STDIN_FILENO];
    return input.present && !S_ISDIR(input.status.st_mode) &&
           hold(STDIN_FILENO, input.status, handle);
  }
  int fd = open(bytes.c_str(), O_RDONLY | openFlags);
  if (fd < 0) return false;
  struct stat status;
  if (fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
    close(fd);
    return false;
  }
  return hold(fd, status, handle);
}

bool createHeld(std::u16string_view path, int openFlags, const DescriptorWaits& waits,
                intptr_t& handle) {
  std::string bytes = pathBytes(path);
  // Only a file that keeps data is refused when held: a terminal or a socket can be both the
  // input and the output.
  if (namesStandardOutput(bytes)) {
    const StandardFile& output = standardFiles[STDOUT_FILENO];
    return output.present && !(S_ISREG(output.status.st_mode) && isHeld(output.status)) &&
           hold(STDOUT_FILENO, output.status, handle);
  }
  int fd;
  for (;;) {
    fd = open(bytes.c_str(), O_WRONLY | O_CREAT | openFlags, 0666);
    // A sticky folder that others write to may refuse O_CREAT on a file of another owner that
    // it lets this program write (Linux's protected_regular and protected_fifos).
    if (fd < 0) fd = open(bytes.c_str(), O_WRONLY | openFlags);
    // A non-blocking open of a FIFO without a reader is refused: wait for the reader, as a
    // blocking open would, with a hang-up or an interrupt acted on meanwhile.
    struct stat status;
    if (fd >= 0 || errno != ENXIO || stat(bytes.c_str(), &status) != 0 ||
        !S_ISFIFO(status.st_mode)) {
      break;
    }
    waits.pause(kReaderPollMs);
  }
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

bool closeHeld(intptr_t handle) {
  int fd = static_cast<int>(handle);
  for (int i = 0; i < heldCount; ++i) {
    if (held[i].fd == fd) {
      held[i] = held[--heldCount];
      break;
    }
  }
  if (fd == STDIN_FILENO || fd == STDOUT_FILENO) return true;  // the standard ones stay open
  // After a close interrupted by a signal the descriptor is gone on Linux: never close twice.
  return close(fd) == 0 || errno == EINTR;
}

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
