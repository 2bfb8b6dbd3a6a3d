#include "services/files.h"

#include <cstring>

#include "services/system.h"
#include "services/text.h"

namespace {

// One numbered file. The buffer holds read-ahead bytes [begin, end) of a file open for reading,
// or output [begin, end) not yet written of a file open for writing. begin moves as soon as the
// system takes bytes, so a close at any moment writes each byte exactly once.
struct OpenFile {
  bool open = false;
  bool forWriting = false;
  bool failed = false;
  intptr_t handle = 0;
  const SystemFileOps* ops = nullptr;
  size_t begin = 0;
  size_t end = 0;
  unsigned char buffer[kFileBufferSize];
  std::string lineBytes;  // kept between lines so that reading lines does not allocate
};

OpenFile files[kFileCount];

OpenFile* fileFor(int number, bool forWriting) {
  if (number < 0 || number >= kFileCount) return nullptr;
  OpenFile& file = files[number];
  if (!file.open || file.forWriting != forWriting) return nullptr;
  return &file;
}

// Brings in the next block when the read-ahead is used up. False at the end of the file and
// after a read error.
bool fill(OpenFile& file) {
  if (file.begin < file.end) return true;
  if (file.failed) return false;
  file.begin = file.end = 0;
  long long got = file.ops->read(file.handle, file.buffer, kFileBufferSize);
  if (got < 0) {
    file.failed = true;
    return false;
  }
  file.end = static_cast<size_t>(got);
  return got > 0;
}

bool flush(OpenFile& file) {
  while (file.begin < file.end && !file.failed) {
    long long put = file.ops->write(file.handle, file.buffer + file.begin, file.end - file.begin);
    if (put < 0) {
      file.failed = true;
    } else {
      file.begin += static_cast<size_t>(put);
    }
  }
  file.begin = file.end = 0;
  return !file.failed;
}

// The number is made free first, even when the open then fails.
bool openFile(int number, std::u16string_view path, bool forWriting) {
  if (number < 0 || number >= kFileCount) return false;
  closeFile(number);
  intptr_t handle;
  bool opened = forWriting ? systemCreateFile(path, handle) : systemOpenForReading(path, handle);
  return opened && attachFile(number, handle, systemFileOps, forWriting);
}

}  // namespace

bool attachFile(int number, intptr_t handle, const SystemFileOps& ops, bool forWriting) {
  if (number < 0 || number >= kFileCount) return false;
  closeFile(number);
  OpenFile& file = files[number];
  file.handle = handle;
  file.ops = &ops;
  file.forWriting = forWriting;
  file.failed = false;
  file.begin = file.end = 0;
  file.open = true;
  return true;
}

bool openForReading(int number, std::u16string_view path) {
  return openFile(number, path, false);
}

bool createFile(int number, std::u16string_view path) {
  return openFile(number, path, true);
}

bool closeFile(int number) {
  if (number < 0 || number >= kFileCount || !files[number].open) return true;
  OpenFile& file = files[number];
  bool written = !file.forWriting || flush(file);
  // The number is free before the system close, so a hang-up that closes everything meanwhile
  // does not close this handle twice.
  file.open = false;
  bool closed = file.ops->close(file.handle);
  return written && (closed || !file.forWriting);
}

bool closeAllFiles() {
  bool ok = true;
  for (int number = 0; number < kFileCount; ++number) {
    if (!closeFile(number)) ok = false;
  }
  return ok;
}

bool fileFailed(int number) {
  if (number < 0 || number >= kFileCount || !files[number].open) return false;
  return files[number].failed;
}

bool atEndOfFile(int number) {
  OpenFile* file = fileFor(number, false);
  return file == nullptr || !fill(*file);
}

void readLine(int number, std::u16string& line) {
  line.clear();
  OpenFile* file = fileFor(number, false);
  if (file == nullptr) return;
  std::string& bytes = file->lineBytes;
  bytes.clear();
  while (fill(*file)) {
    const unsigned char* start = file->buffer + file->begin;
    const unsigned char* stop = file->buffer + file->end;
    const unsigned char* p = start;
    while (p < stop && *p != '\r' && *p != '\n' && *p != 0)
      ++p;
    bytes.append(reinterpret_cast<const char*>(start), static_cast<size_t>(p - start));
    file->begin += static_cast<size_t>(p - start);
    if (p == stop) continue;
    ++file->begin;
    // CR LF is one line end; the byte after a lone CR starts the next line.
    if (*p == '\r' && fill(*file) && file->buffer[file->begin] == '\n') ++file->begin;
    break;
  }
  decodeUtf8(bytes, Utf8Errors::replace, line);
}

int readByte(int number) {
  OpenFile* file = fileFor(number, false);
  if (file == nullptr || !fill(*file)) return 0;
  return static_cast<signed char>(file->buffer[file->begin++]);
}

int readWord(int number) {
  OpenFile* file = fileFor(number, false);
  if (file == nullptr) return 0;
  unsigned low = 0;
  unsigned high = 0;
  if (fill(*file)) low = file->buffer[file->begin++];
  if (fill(*file)) high = file->buffer[file->begin++];
  return static_cast<int16_t>(static_cast<uint16_t>(low | high << 8));
}

void writeBytes(int number, const char* data, size_t size) {
  OpenFile* file = fileFor(number, true);
  if (file == nullptr) return;
  while (size > 0 && !file->failed) {
    size_t room = kFileBufferSize - file->end;
    size_t part = size < room ? size : room;
    std::memcpy(file->buffer + file->end, data, part);
    file->end += part;
    data += part;
    size -= part;
    if (file->end == kFileBufferSize) flush(*file);
  }
}

void writeByte(int number, int value) {
  OpenFile* file = fileFor(number, true);
  if (file == nullptr || file->failed) return;
  file->buffer[file->end++] = static_cast<unsigned char>(value);
  if (file->end == kFileBufferSize) flush(*file);
}
