// What the page asks of the converter and the lister without a run of either: every error of a
// listing at once, the listing rewritten in the editable form, and text shown as the programs show
// it. The page calls these in one module instance that it keeps; each call leaves the files closed.
//
// A listing is given as size bytes at text, followed by kLinePadding bytes that the caller owns,
// and is read through the file layer, so its lines split as KALDEX splits them. Places in it are
// given to the page in UTF-16 code units, as the page's strings count: the bytes are the UTF-8 of
// such a string, in which a character of four bytes is two units and any other character one.
#include <emscripten.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "basicdata/dump_format.h"
#include "converter/line_encoder.h"
#include "converter/listing_conversion.h"
#include "lister/renderer.h"
#include "platform/memory_bounds.h"
#include "services/files.h"
#include "services/text.h"

namespace {

// The files of a call are in memory: the input a range of bytes, the output a string.
struct MemoryFile {
  const unsigned char* next = nullptr;
  const unsigned char* end = nullptr;
  std::string* sink = nullptr;
};

long long readMemory(intptr_t handle, unsigned char* data, size_t size) {
  auto* file = reinterpret_cast<MemoryFile*>(handle);
  size_t count = std::min(size, static_cast<size_t>(file->end - file->next));
  std::copy(file->next, file->next + count, data);
  file->next += count;
  return static_cast<long long>(count);
}

long long writeMemory(intptr_t handle, const unsigned char* data, size_t size) {
  reinterpret_cast<MemoryFile*>(handle)->sink->append(reinterpret_cast<const char*>(data), size);
  return static_cast<long long>(size);
}

bool closeMemory(intptr_t) {
  return true;
}

constexpr SystemFileOps kMemoryOps = {readMemory, writeMemory, closeMemory};

void attachInput(MemoryFile& file, const char* data, size_t size) {
  file.next = reinterpret_cast<const unsigned char*>(data);
  file.end = file.next + size;
  attachFile(kInputFile, reinterpret_cast<intptr_t>(&file), kMemoryOps, false);
}

// The flags of a call: bit 0 the 2000-baud layout, bit 1 the reading form.
ConverterOptions optionsOf(int flags) {
  ConverterOptions options;
  options.baud2000 = (flags & 1) != 0;
  options.readingForm = (flags & 2) != 0;
  return options;
}

// UTF-16 code units of UTF-8 bytes: one for each byte that begins a character, two for a lead
// byte of four.
size_t unitsOf(std::string_view bytes) {
  size_t units = 0;
  for (char c : bytes) {
    auto byte = static_cast<unsigned char>(c);
    units += (byte & 0xC0) != 0x80;
    units += byte >= 0xF0;
  }
  return units;
}

// The bytes of the element in error that starts at the start of rest, which ends at the line end.
size_t elementLength(LineError error, std::string_view rest, std::string_view word) {
  size_t length = 0;
  switch (error) {
    case LineError::unknownToken:
      return word.data() == rest.data() ? word.size() : 1;
    case LineError::missingBrace:
      return rest.size();  // the brace and all after it
    case LineError::lineNumberOutOfRange:
      length = rest.size() > 0 && rest[0] == '-';
      while (length < rest.size() && rest[length] >= '0' && rest[length] <= '9')
        ++length;
      return length;
    default:
      // One character, of all its bytes.
      if (rest.empty()) return 0;
      length = 1;
      while (length < rest.size() && (static_cast<unsigned char>(rest[length]) & 0xC0) == 0x80)
        ++length;
      return length;
  }
}

// The number that begins a BASIC line, after any blanks: an optional "-" and decimal digits.
std::string_view basicLineNumber(std::string_view line) {
  size_t start = line.find_first_not_of(' ');
  if (start == line.npos) return {};
  size_t end = start + (line[start] == '-');
  while (end < line.size() && line[end] >= '0' && line[end] <= '9')
    ++end;
  return end > start + (line[start] == '-') ? line.substr(start, end - start) : std::string_view();
}

// The line end bytes that follow a line of text at offset: CR LF is one line end of two bytes.
size_t lineEndLength(std::string_view text, size_t offset) {
  if (offset >= text.size()) return 0;
  return text[offset] == '\r' && offset + 1 < text.size() && text[offset + 1] == '\n' ? 2 : 1;
}

std::string report;

}  // namespace

extern "C" {

// Every line of the listing in error, as the converter reads it. The report is UTF-8 text: first
// the size of the dump that the listing converts to, or -1 after an error, then for each line in
// error one line of five fields separated by tabs: where its element in error starts and ends,
// its text line number, the BASIC line number that begins it (or nothing) and the message that
// KALDEX prints for it. Valid until the next call.
EMSCRIPTEN_KEEPALIVE const char* checkListing(const char* text, size_t size, int flags) {
  ConverterOptions options = optionsOf(flags);
  std::string_view all(text, size);
  MemoryFile input;
  attachInput(input, text, size);
  std::string errors;
  std::string record;
  int64_t dumpSize = options.baud2000 ? dump::kWordSize : 0;  // the end marker
  int64_t lineNumber = 0;
  size_t offset = 0;  // of the line in the text, in bytes
  size_t units = 0;   // the same in UTF-16 code units
  bool failed = false;
  while (!atEndOfFile(kInputFile)) {
    std::string_view line = readLineBytes(kInputFile);
    ++lineNumber;
    const char* at = line.data();
    char* out = roomOf(record, recordRoom(line.size(), 1, options));
    char* start = out;
    std::string_view word;
    LineError error = encodeRecord(at, options, out, word);
    if (error == LineError::none) {
      dumpSize += out - start + 1;
    } else {
      failed = true;
      size_t column = static_cast<size_t>(at - line.data());
      std::string_view rest = line.substr(column);
      size_t first = units + unitsOf(line.substr(0, column));
      size_t last = first + unitsOf(rest.substr(0, elementLength(error, rest, word)));
      errors += std::to_string(first) + '\t' + std::to_string(last) + '\t' +
                std::to_string(lineNumber) + '\t' + std::string(basicLineNumber(line)) + '\t';
      encodeUtf8(errorMessage(error, lineNumber, word), errors);
      errors += '\n';
    }
    units += unitsOf(line);
    offset += line.size();
    size_t ending = lineEndLength(all, offset);
    offset += ending;
    units += ending;
  }
  closeFile(kInputFile);
  markStorageReadable(record);
  report = std::to_string(failed ? -1 : dumpSize) + '\n' + errors;
  return report.c_str();
}

// The listing with each line that converts on its own in the reading form replaced by its
// editable listing (MORVIX -e -n -v, with flags bit 0 in the 2000-baud layout); the line ends stay.
// A line in error stays as it is, and so does, in the 2000-baud layout, a line whose record holds
// the line end byte, for it would not list as one line. Valid until the next call.
EMSCRIPTEN_KEEPALIVE const char* writeAsWords(const char* text, size_t size, int flags) {
  ConverterOptions options = optionsOf(flags | 2);
  std::string_view all(text, size);
  // The records of the lines that convert, as one dump, and for each line either the number of
  // listing lines its record gives or, for a line kept, where it is in the text.
  struct Line {
    size_t listed;  // 0 for a line kept
    size_t offset;
    size_t size;
    size_t ending;  // the bytes of its line end
  };
  std::string records;
  std::vector<Line> lines;
  std::string record;
  MemoryFile input;
  attachInput(input, text, size);
  size_t offset = 0;
  while (!atEndOfFile(kInputFile)) {
    std::string_view line = readLineBytes(kInputFile);
    const char* at = line.data();
    char* out = roomOf(record, recordRoom(line.size(), 1, options));
    std::string_view word;
    Line entry = {0, offset, line.size(), 0};
    if (encodeRecord(at, options, out, word) == LineError::none) {
      std::string_view bytes(record.data(), static_cast<size_t>(out - record.data()));
      std::string_view content = bytes.substr(options.baud2000 ? dump::kWordSize : 0);
      size_t ends = 0;
      for (char c : content)
        ends += static_cast<unsigned char>(c) == dump::kLineEnd;
      if (!options.baud2000 || ends == 0) {
        entry.listed = ends + 1;
        records.append(bytes);
        records += static_cast<char>(dump::kLineEnd);
      }
    }
    offset += line.size();
    entry.ending = lineEndLength(all, offset);
    offset += entry.ending;
    lines.push_back(entry);
  }
  closeFile(kInputFile);
  markStorageReadable(record);

  if (options.baud2000) {
    char marker[dump::kWordSize];
    dump::encodeWord(marker, dump::kEndMarker);
    records.append(marker, sizeof marker);
  }
  std::string listed;
  MemoryFile output;
  output.sink = &listed;
  attachInput(input, records.data(), records.size());
  attachFile(kOutputFile, reinterpret_cast<intptr_t>(&output), kMemoryOps, true);
  ListerOptions editable;
  editable.editable = editable.charNumbers = editable.viperSoft = true;
  editable.baud2000 = options.baud2000;
  renderDump(editable);
  closeFile(kInputFile);
  closeFile(kOutputFile);

  report.clear();
  size_t next = 0;  // in listed, whose lines each end in CR LF
  for (const Line& line : lines) {
    if (line.listed == 0) report.append(all.substr(line.offset, line.size));
    for (size_t piece = 0; piece < line.listed; ++piece) {
      size_t end = std::min(listed.find("\r\n", next), listed.size());
      if (piece > 0) report += '\n';
      report.append(listed, next, end - next);
      next = end + 2;
    }
    report.append(all.substr(line.offset + line.size, line.ending));
  }
  return report.c_str();
}

// The size of the answer of the last call, which may hold zero bytes (a listing's line ends).
EMSCRIPTEN_KEEPALIVE size_t answerSize() {
  return report.size();
}

// UTF-8 text as the programs show text from outside them (visibleText).
EMSCRIPTEN_KEEPALIVE const char* shownText(const char* text, size_t size) {
  std::u16string decoded;
  decodeUtf8(std::string_view(text, size), Utf8Errors::replace, decoded);
  report.clear();
  encodeUtf8(visibleText(decoded), report);
  return report.c_str();
}

}  // extern "C"
