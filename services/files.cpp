#include "services/files.h"

#include <cstring>

#include "services/system.h"
#include "services/text.h"

namespace {

// One numbered file. Its buffer holds the read-ahead of a file open for reading, or output not yet
// written of a file open for writing: bytes [written, writeNext) of the buffer, where written
// moves as soon as the system takes bytes, so a close at any moment writes each byte exactly once.
// The positions in the buffer live in the file's FileCursor.
struct OpenFile {
  bool open = false;
  bool forWriting = false;
  intptr_t handle = 0;
  const SystemFileOps* ops = nullptr;
  size_t written = 0;
  unsigned char buffer[kFileBufferSize];
  std::string lineBytes;  // kept between lines so that reading lines does not allocate
};

OpenFile files[kFileCount];

OpenFile* fileFor(int number, bool forWriting) {
  if (!isFileNumber(number)) return nullptr;
  OpenFile& file = files[number];
  if (!file.open || file.forWriting != forWriting) return nullptr;
  return &file;
}

// Brings in the next block when the read-ahead is used up. False at the end of the file and
// after a read error.
bool fill(int number) {
  FileCursor& cursor = fileCursors[number];
  if (cursor.readNext != cursor.readEnd) return true;
  if (cursor.failed) return false;
  OpenFile& file = files[number];
  cursor.readNext = cursor.readEnd = file.buffer;
  long long got = file.ops->read(file.handle, file.buffer, kFileBufferSize);
  if (got < 0) {
    cursor.failed = true;
    return false;
  }
  cursor.readEnd = file.buffer + got;
  return got > 0;
}

// Writes out the buffer and empties it. After a failure the room stays empty, so that every
// further write comes here and is dropped.
bool flush(int number) {
  FileCursor& cursor = fileCursors[number];
  OpenFile& file = files[number];
  size_t end = static_cast<size_t>(cursor.writeNext - file.buffer);
  while (file.written < end && !cursor.failed) {
    long long put = file.ops->write(file.handle, file.buffer + file.written, end - file.written);
    if (put < 0) {
      cursor.failed = true;
    } else {
      file.written += static_cast<size_t>(put);
    }
  }
  file.written = 0;
  cursor.writeNext = file.buffer;
  cursor.writeEnd = cursor.failed ? file.buffer : file.buffer + kFileBufferSize;
  return !cursor.failed;
}

// The number is made free first, even when the open then fails.
bool openFile(int number, std::u16string_view path, bool forWriting) {
  if (!isFileNumber(number)) return false;
  closeFile(number);
  intptr_t handle;
  bool opened = forWriting ? systemCreateFile(path, handle) : systemOpenForReading(path, handle);
  return opened && attachFile(number, handle, systemFileOps, forWriting);
}

}  // namespace

FileCursor fileCursors[kFileCount];

bool attachFile(int number, intptr_t handle, const SystemFileOps& ops, bool forWriting) {
  if (!isFileNumber(number)) return false;
  closeFile(number);
  OpenFile& file = files[number];
  file.handle = handle;
  file.ops = &ops;
  file.forWriting = forWriting;
  file.written = 0;
  file.open = true;
  FileCursor& cursor = fileCursors[number];
  cursor = FileCursor();
  if (forWriting) {
    cursor.writeNext = file.buffer;
    cursor.writeEnd = file.buffer + kFileBufferSize;
  }
  return true;
}

bool openForReading(int number, std::u16string_view path) {
  return openFile(number, path, false);
}

bool createFile(int number, std::u16string_view path) {
  return openFile(number, path, true);
}

bool closeFile(int number) {
  if (!isFileNumber(number) || !files[number].open) return true;
  OpenFile& file = files[number];
  bool written = !file.forWriting || flush(number);
  // The number is free before the system close, so a hang-up that closes everything meanwhile
  // does not close this handle twice.
  file.open = false;
  fileCursors[number] = FileCursor();
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

bool atEndOfFileRefilling(int number) {
  return fileFor(number, false) == nullptr || !fill(number);
}

namespace {

bool isLineEnd(unsigned char byte) {
  return byte == '\r' || byte == '\n' || byte == 0;
}

// The first CR, LF or zero byte in [p, stop), or stop. Eight bytes at a time: each byte below 14
// gets its high bit marked (exactly the lowest one; a borrow may mark others above it), and only
// marked bytes are looked at.
const unsigned char* findLineEnd(const unsigned char* p, const unsigned char* stop) {
  constexpr uint64_t kOnes = 0x0101010101010101u;
  constexpr uint64_t kHighBits = 0x8080808080808080u;
  for (; stop - p >= 8; p += 8) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    for (uint64_t marks = (word - 14 * kOnes) & ~word & kHighBits; marks != 0; marks &= marks - 1) {
      // The lowest mark is bit 8k + 7; the product puts k in the top byte.
      size_t k = (((marks & (0 - marks)) >> 7) * 0x0001020304050607u) >> 56;
      if (isLineEnd(p[k])) return p + k;
    }
  }
  while (p < stop && !isLineEnd(*p))
    ++p;
  return p;
}

}  // namespace

void readLine(int number, std::u16string& line) {
  line.clear();
  OpenFile* file = fileFor(number, false);
  if (file == nullptr) return;
  FileCursor& cursor = fileCursors[number];
  std::string& bytes = file->lineBytes;
  bytes.clear();
  while (fill(number)) {
    const unsigned char* start = cursor.readNext;
    const unsigned char* end = findLineEnd(start, cursor.readEnd);
    std::string_view part(reinterpret_cast<const char*>(start), static_cast<size_t>(end - start));
    cursor.readNext = end;
    if (end == cursor.readEnd) {
      bytes.append(part);
      continue;
    }
    // A line within the read-ahead is decoded where it lies; only one that spans refills is
    // gathered first.
    if (bytes.empty()) {
      decodeUtf8(part, Utf8Errors::replace, line);
    } else {
      bytes.append(part);
      decodeUtf8(bytes, Utf8Errors::replace, line);
    }
    ++cursor.readNext;
    // CR LF is one line end; the byte after a lone CR starts the next line.
    if (*end == '\r' && fill(number) && *cursor.readNext == '\n') ++cursor.readNext;
    return;
  }
  decodeUtf8(bytes, Utf8Errors::replace, line);
}

int readByteRefilling(int number) {
  if (fileFor(number, false) == nullptr || !fill(number)) return 0;
  return static_cast<signed char>(*fileCursors[number].readNext++);
}

int readWordRefilling(int number) {
  if (fileFor(number, false) == nullptr) return 0;
  FileCursor& cursor = fileCursors[number];
  unsigned low = 0;
  unsigned high = 0;
  if (fill(number)) low = *cursor.readNext++;
  if (fill(number)) high = *cursor.readNext++;
  return static_cast<int16_t>(static_cast<uint16_t>(low | high << 8));
}

void writeBytesFlushing(int number, const char* data, size_t size) {
  if (fileFor(number, true) == nullptr) return;
  FileCursor& cursor = fileCursors[number];
  while (size > 0 && !cursor.failed) {
    size_t room = static_cast<size_t>(cursor.writeEnd - cursor.writeNext);
    size_t part = size < room ? size : room;
    std::memcpy(cursor.writeNext, data, part);
    cursor.writeNext += part;
    data += part;
    size -= part;
    if (cursor.writeNext == cursor.writeEnd) flush(number);
  }
}

void writeByteFlushing(int number, int value) {
  if (fileFor(number, true) == nullptr || fileCursors[number].failed) return;
  FileCursor& cursor = fileCursors[number];
  *cursor.writeNext++ = static_cast<unsigned char>(value);
  if (cursor.writeNext == cursor.writeEnd) flush(number);
}
