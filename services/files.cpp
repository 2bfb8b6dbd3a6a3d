#include "services/files.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "services/byte_marks.h"
#include "services/memory_bounds.h"
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
  // The read-ahead, a zero byte and padding, or the output and the padding's room. Allocated on
  // its own, so that a sanitizer sees where it ends, and kept for the number's next file.
  unsigned char* buffer = nullptr;
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
  markReadable(file.buffer, kFileBufferSize + kLinePadding);
  long long got = file.ops->read(file.handle, file.buffer, kFileBufferSize);
  if (got < 0) {
    cursor.failed = true;
    return false;
  }
  cursor.readEnd = file.buffer + got;
  file.buffer[got] = 0;
  markUnreadable(cursor.readEnd + kLinePadding, kFileBufferSize - static_cast<size_t>(got));
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
  if (!opened) return false;
  if (attachFile(number, handle, systemFileOps, forWriting)) return true;
  systemFileOps.close(handle);  // no memory for its buffer
  return false;
}

}  // namespace

FileCursor fileCursors[kFileCount];

bool attachFile(int number, intptr_t handle, const SystemFileOps& ops, bool forWriting) {
  if (!isFileNumber(number)) return false;
  closeFile(number);
  OpenFile& file = files[number];
  if (file.buffer == nullptr) {
    file.buffer = new (std::nothrow) unsigned char[kFileBufferSize + kLinePadding];
    if (file.buffer == nullptr) return false;
  }
  // Output never reaches the padding.
  markReadable(file.buffer, kFileBufferSize);
  markUnreadable(file.buffer + kFileBufferSize, kLinePadding);
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

// The first CR, LF or zero byte in [p, stop), or stop. Sixteen bytes at a time; only the bytes
// marked as below 14 are looked at.
const unsigned char* findLineEnd(const unsigned char* p, const unsigned char* stop) {
  for (; stop - p >= 16; p += 16) {
    uint64_t low = marksBelow(loadWord(p), 14);
    uint64_t high = marksBelow(loadWord(p + 8), 14);
    if ((low | high) == 0) continue;
    for (; low != 0; low &= low - 1) {
      size_t k = lowestMarkedByte(low);
      if (isLineEnd(p[k])) return p + k;
    }
    for (; high != 0; high &= high - 1) {
      size_t k = 8 + lowestMarkedByte(high);
      if (isLineEnd(p[k])) return p + k;
    }
  }
  while (p < stop && !isLineEnd(*p))
    ++p;
  return p;
}

}  // namespace

std::string_view readLineBytes(int number) {
  if (!isFileNumber(number)) return {};
  FileCursor& cursor = fileCursors[number];
  // Only a file open for reading has a read-ahead.
  if (cursor.readNext == cursor.readEnd && (fileFor(number, false) == nullptr || !fill(number)))
    return {};
  const unsigned char* start = cursor.readNext;
  const unsigned char* end = findLineEnd(start, cursor.readEnd);
  // A line whose end is in the read-ahead, with the byte after it when the end is a CR, is given
  // where it lies. CR LF is one line end; the byte after a lone CR starts the next line.
  ptrdiff_t rest = cursor.readEnd - end;
  if (rest > 1 || (rest == 1 && *end != '\r')) {
    cursor.readNext = end + 1;
    if (*end == '\r' && end[1] == '\n') ++cursor.readNext;
    return {reinterpret_cast<const char*>(start), static_cast<size_t>(end - start)};
  }
  // Any other line is gathered across refills, and zero bytes are put after it.
  std::string& bytes = files[number].lineBytes;
  markStorageReadable(bytes);
  bytes.assign(start, end);
  cursor.readNext = end;
  while (cursor.readNext == cursor.readEnd && fill(number)) {
    start = cursor.readNext;
    end = findLineEnd(start, cursor.readEnd);
    bytes.append(start, end);
    cursor.readNext = end;
  }
  if (cursor.readNext != cursor.readEnd) {
    end = cursor.readNext++;
    if (*end == '\r' && fill(number) && *cursor.readNext == '\n') ++cursor.readNext;
  }
  bytes.append(kLinePadding, '\0');
  markUnreadableAfter(bytes, bytes.size());
  return std::string_view(bytes).substr(0, bytes.size() - kLinePadding);
}

void readBytes(int number, char* data, size_t size) {
  if (fileFor(number, false) == nullptr) return;
  FileCursor& cursor = fileCursors[number];
  for (size_t i = 0; i < size && fill(number); ++i)
    data[i] = static_cast<char>(*cursor.readNext++);
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

void writePieceFlushing(int number, const char* data, size_t size) {
  if (fileFor(number, true) == nullptr || !flush(number)) return;
  // A piece too large for the buffer goes out as a run of bytes; the programs write none.
  if (size < kFileBufferSize) {
    writePiece(number, data, size);
  } else {
    writeBytes(number, data, size);
  }
}

size_t writePiecesFlushing(int number, std::string_view bytes, const PieceTable& pieces) {
  if (!isFileNumber(number)) return bytes.size();
  // A file that is not open for writing has no room, so writePiece drops each piece.
  FileCursor& cursor = fileCursors[number];
  const auto* first = reinterpret_cast<const unsigned char*>(bytes.data());
  const unsigned char* in = first;
  const unsigned char* end = first + bytes.size();
  while (in < end) {
    size_t fit = piecesThatFit(static_cast<size_t>(cursor.writeEnd - cursor.writeNext));
    if (fit > 0) {
      size_t count = std::min(static_cast<size_t>(end - in), fit);
      cursor.writeNext = copyPieces(cursor.writeNext, in, count, pieces);
      in += count;
      continue;
    }
    unsigned char byte = *in++;
    writePiece(number, reinterpret_cast<const char*>(pieces.text[byte]), pieces.size[byte]);
    if (cursor.failed) break;
  }
  return static_cast<size_t>(in - first);
}
