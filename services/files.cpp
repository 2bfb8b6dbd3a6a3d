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

constexpr uint64_t kOnes = 0x0101010101010101u;
constexpr uint64_t kHighBits = 0x8080808080808080u;

// Bit 7 marked in the bytes of word below 14: exactly in the lowest one; a borrow may mark others
// above it.
uint64_t marksBelow14(uint64_t word) {
  return (word - 14 * kOnes) & ~word & kHighBits;
}

// The index of the lowest byte whose bit 7 is set in marks, which has only such bits: the lowest
// mark is bit 8k + 7, and the product puts k in the top byte.
size_t lowestMarkedByte(uint64_t marks) {
  return (((marks & (0 - marks)) >> 7) * 0x0001020304050607u) >> 56;
}

bool isLineEnd(unsigned char byte) {
  return byte == '\r' || byte == '\n' || byte == 0;
}

// The first CR, LF or zero byte in [p, stop), or stop. Eight bytes at a time; only the bytes
// marked as below 14 are looked at.
const unsigned char* findLineEnd(const unsigned char* p, const unsigned char* stop) {
  for (; stop - p >= 8; p += 8) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    for (uint64_t marks = marksBelow14(word); marks != 0; marks &= marks - 1) {
      size_t k = lowestMarkedByte(marks);
      if (isLineEnd(p[k])) return p + k;
    }
  }
  while (p < stop && !isLineEnd(*p))
    ++p;
  return p;
}

// Appends to line the code units of the bytes from p on that are ASCII and not below 14, up to
// the first other byte, and returns where it stopped. Such bytes are whole characters and none of
// them ends a line.
const unsigned char* appendPlainAscii(const unsigned char* p, const unsigned char* stop,
                                      std::u16string& line) {
  constexpr size_t kChunk = 256;
  char16_t chunk[kChunk];
  char16_t* out = chunk;
  for (; stop - p >= 8; p += 8) {
    if (out > chunk + kChunk - 8) {
      line.append(chunk, static_cast<size_t>(out - chunk));
      out = chunk;
    }
    uint64_t word;
    std::memcpy(&word, p, 8);
    uint32_t halves[2];
    std::memcpy(halves, p, 8);
    uint64_t units[2] = {widenAscii(halves[0]), widenAscii(halves[1])};
    std::memcpy(out, units, 16);
    uint64_t marks = marksBelow14(word) | (word & kHighBits);
    if (marks != 0) {
      // The lowest mark is exact: the bytes before it are plain, and only their units count.
      size_t plain = lowestMarkedByte(marks);
      out += plain;
      line.append(chunk, static_cast<size_t>(out - chunk));
      return p + plain;
    }
    out += 8;
  }
  if (out > chunk + kChunk - 8) {
    line.append(chunk, static_cast<size_t>(out - chunk));
    out = chunk;
  }
  for (; p < stop && *p >= 14 && *p < 0x80; ++p)
    *out++ = *p;
  line.append(chunk, static_cast<size_t>(out - chunk));
  return p;
}

}  // namespace

void readLine(int number, std::u16string& line) {
  line.clear();
  OpenFile* file = fileFor(number, false);
  if (file == nullptr) return;
  FileCursor& cursor = fileCursors[number];
  // The line is decoded in order: plain ASCII straight into line as long as nothing else came
  // before it, the rest gathered in bytes and decoded at its end. ASCII bytes are whole
  // characters, so decoding in two parts gives what decoding the whole would.
  std::string& bytes = file->lineBytes;
  bytes.clear();
  while (fill(number)) {
    const unsigned char* start = cursor.readNext;
    if (bytes.empty()) start = appendPlainAscii(start, cursor.readEnd, line);
    const unsigned char* end = start;
    if (end == cursor.readEnd || !isLineEnd(*end)) {
      end = findLineEnd(start, cursor.readEnd);
      bytes.append(reinterpret_cast<const char*>(start), static_cast<size_t>(end - start));
    }
    cursor.readNext = end;
    if (end == cursor.readEnd) continue;
    ++cursor.readNext;
    // CR LF is one line end; the byte after a lone CR starts the next line.
    if (*end == '\r' && fill(number) && *cursor.readNext == '\n') ++cursor.readNext;
    break;
  }
  if (!bytes.empty()) decodeUtf8(bytes, Utf8Errors::replace, line);
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
    if (room <= 1) {
      flush(number);
      continue;
    }
    size_t part = size < room - 1 ? size : room - 1;
    std::memcpy(cursor.writeNext, data, part);
    cursor.writeNext += part;
    data += part;
    size -= part;
  }
}

void writeByteFlushing(int number, int value) {
  char byte = static_cast<char>(value);
  writeBytesFlushing(number, &byte, 1);
}

void writePieceFlushing(int number, const char* data, size_t size) {
  if (fileFor(number, true) == nullptr || !flush(number)) return;
  if (size < kFileBufferSize) {
    writePiece(number, data, size);
    return;
  }
  FileCursor& cursor = fileCursors[number];
  OpenFile& file = files[number];
  while (size > 0) {
    long long put =
        file.ops->write(file.handle, reinterpret_cast<const unsigned char*>(data), size);
    if (put < 0) {
      cursor.failed = true;
      cursor.writeEnd = file.buffer;
      return;
    }
    data += put;
    size -= static_cast<size_t>(put);
  }
}
