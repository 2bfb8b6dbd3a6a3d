// Numbered files with a 4096-byte buffer each: a run reads kInputFile and writes kOutputFile.
// Failures are reported by results and by fileFailed; nothing here prints.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/system.h"

constexpr int kInputFile = 0;
constexpr int kOutputFile = 1;
constexpr int kFileCount = kMostOpenFiles;  // a run holds no other file open, nor do the tests
constexpr size_t kFileBufferSize = 4096;

// Opens an existing file for reading; fails on a directory. Also the test of whether an output
// file exists. A number already open is closed first, even when the open then fails.
bool openForReading(int number, std::u16string_view path);

// Creates a file for writing, or empties an existing one. Fails, leaving the file untouched, when
// the path names a file that this program holds open.
bool createFile(int number, std::u16string_view path);

// Puts an open system handle under a number, read-only or write-only. Used by the two operations
// above, by the page's module for files in memory, and by tests with fakes of the system's
// operations that fail when asked.
bool attachFile(int number, intptr_t handle, const SystemFileOps& ops, bool forWriting);

// Writes out pending output and closes. False when any output of this file could not be written
// or the close failed. A number that is not open is ignored (true).
bool closeFile(int number);
bool closeAllFiles();

// The state of a numbered file that the inline operations below work on; files.cpp keeps it up to
// date and nothing else touches it. Unread bytes [readNext, readEnd) of a file open for reading,
// and free room [writeNext, writeEnd) in the buffer of a file open for writing that has not
// failed. Every other file has both ranges empty, so the inline operations pass it on to the
// full ones, which also refill, flush and handle failures and numbers that are not open.
struct FileCursor {
  const unsigned char* readNext = nullptr;
  const unsigned char* readEnd = nullptr;
  unsigned char* writeNext = nullptr;
  unsigned char* writeEnd = nullptr;
  bool failed = false;
};
extern FileCursor fileCursors[kFileCount];

inline bool isFileNumber(int number) {
  return static_cast<unsigned>(number) < static_cast<unsigned>(kFileCount);
}

// True once a read or a write of the file has failed. Reads then behave as at the end of the
// file and writes are dropped.
inline bool fileFailed(int number) {
  return isFileNumber(number) && fileCursors[number].failed;
}

// True when no further byte can be read (end of file or a read error). Consumes nothing.
bool atEndOfFileRefilling(int number);
inline bool atEndOfFile(int number) {
  if (isFileNumber(number) && fileCursors[number].readNext != fileCursors[number].readEnd) {
    return false;
  }
  return atEndOfFileRefilling(number);
}

// A line that readLineBytes gives, or one that starts in the read-ahead (see readAhead), ends at
// its first CR, LF or zero byte: its end byte. Reading kLinePadding bytes from any byte of such a
// line, its end byte included, stays in readable memory, so that a scan may take words of bytes.
constexpr size_t kLinePadding = 8;

// A line's end byte: CR, LF or zero.
inline bool isLineEnd(unsigned char byte) {
  return byte == '\r' || byte == '\n' || byte == 0;
}

// The bytes of the next line, followed by a CR, LF or zero byte. A line ends at CR, LF, CR LF or
// a zero byte, which are consumed and not part of it; the last line needs no line end. Empty at
// the end of the file. The view holds until the next operation on the file.
std::string_view readLineBytes(int number);

// The bytes the file has read ahead and not yet given out: what the next reads take without a
// system read. Empty when none is left; otherwise a zero byte follows them (see kLinePadding).
// The view holds until the next operation on the file.
inline std::string_view readAhead(int number) {
  if (!isFileNumber(number)) return {};
  const FileCursor& cursor = fileCursors[number];
  return {reinterpret_cast<const char*>(cursor.readNext),
          static_cast<size_t>(cursor.readEnd - cursor.readNext)};
}

// Takes count bytes of the read-ahead, at most all of it.
inline void skipReadAhead(int number, size_t count) {
  if (!isFileNumber(number)) return;
  FileCursor& cursor = fileCursors[number];
  cursor.readNext += std::min(count, static_cast<size_t>(cursor.readEnd - cursor.readNext));
}

// Reads the next size bytes into data, one at a time across refills: for the few bytes that a
// reader of the read-ahead finds split by its end. Those past the end of the file, or after a read
// error, are not read, and data keeps its own there.
void readBytes(int number, char* data, size_t size);

// Output goes through the buffer by one rule: a write of n bytes is copied in while more than n
// bytes of room are left; otherwise the pending output is written out first. So bytes written one
// at a time reach the file in blocks of 4095, and a piece shorter than the buffer never straddles
// two system writes (a reader of a pipe never sees half a character).

// The part of the rule both writes below share: copies the bytes in and answers true while more
// than their number of bytes of room are left.
inline bool copyWhileRoomIsLeft(int number, const char* data, size_t size) {
  if (!isFileNumber(number)) return false;
  FileCursor& cursor = fileCursors[number];
  if (static_cast<size_t>(cursor.writeEnd - cursor.writeNext) <= size) return false;
  std::memcpy(cursor.writeNext, data, size);
  cursor.writeNext += size;
  return true;
}

// Bytes that reach the file exactly as if each were written on its own: in blocks of 4095.
void writeBytesFlushing(int number, const char* data, size_t size);
inline void writeBytes(int number, const char* data, size_t size) {
  if (!copyWhileRoomIsLeft(number, data, size)) writeBytesFlushing(number, data, size);
}

// One piece of output, such as a character's UTF-8 bytes, in one system write with the pending
// output.
void writePieceFlushing(int number, const char* data, size_t size);
inline void writePiece(int number, const char* data, size_t size) {
  if (!copyWhileRoomIsLeft(number, data, size)) writePieceFlushing(number, data, size);
}
