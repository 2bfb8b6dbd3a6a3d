#include "converter/listing_conversion.h"

#include <string>

#include "basicdata/dump_format.h"
#include "services/console.h"
#include "services/files.h"
#include "services/memory_bounds.h"
#include "services/system.h"
#include "services/text.h"

namespace {

// The message of an error but the word of an unknown token, which stands between before and after.
void messageParts(LineError error, int64_t lineNumber, std::u16string& before,
                  std::u16string& after) {
  const char16_t* text = u"";
  switch (error) {
    case LineError::none:
      return;
    case LineError::invalidCharacter:
      text = u"Error: invalid character at line ";
      break;
    case LineError::unknownToken:
      text = u"Error: unknown token at line ";
      after = u"#";
      break;
    case LineError::missingBrace:
      text = u"Error: got to end of line without finding right brace to match left brace at line ";
      break;
    case LineError::missingLineNumber:
      text = u"Error: missing line number at line ";
      break;
    case LineError::lineNumberOutOfRange:
      text = u"Error: line number out of range at line ";
      break;
  }
  before = text + decimalText(lineNumber);
  if (error == LineError::unknownToken) before += u" - #";
}

// The line and the word are shown as read, in pieces when long, so that the report of a line
// of any length takes little more memory than the line itself.
void reportError(LineError error, int64_t lineNumber, std::string_view line,
                 std::string_view word) {
  std::u16string before;
  std::u16string after;
  messageParts(error, lineNumber, before, after);
  printShownLine(before, error == LineError::unknownToken ? word : std::string_view(), after);
  printShownLine(u"", line, u"");
  printLine(u"");
}

}  // namespace

std::u16string errorMessage(LineError error, int64_t lineNumber, std::string_view word) {
  std::u16string before;
  std::u16string after;
  messageParts(error, lineNumber, before, after);
  if (error != LineError::unknownToken) return before;
  std::u16string units;
  decodeUtf8(word, Utf8Errors::replace, units);
  return before + visibleText(units) + after;
}

ConversionEnd convertListing(const ConverterOptions& options) {
  std::string record;
  int64_t lineNumber = 0;
  while (!atEndOfFile(kInputFile)) {
    // The whole lines of the read-ahead are encoded where they are, and their records written
    // together. Then the line after them, if any, is read and encoded on its own.
    std::string_view ahead = readAhead(kInputFile);
    // Each line of it but the last takes two bytes at least: a digit and a line end.
    char* out = roomOf(record, recordRoom(ahead.size(), (ahead.size() + 1) / 2, options));
    const char* rest = encodeWholeLines(ahead, options, out, lineNumber);
    skipReadAhead(kInputFile, static_cast<size_t>(rest - ahead.data()));
    writeBytes(kOutputFile, record.data(), static_cast<size_t>(out - record.data()));
    if (fileFailed(kOutputFile)) return ConversionEnd::writeError;
    if (rest == ahead.data() + ahead.size()) continue;

    std::string_view line = readLineBytes(kInputFile);
    if (fileFailed(kInputFile)) return ConversionEnd::readError;
    ++lineNumber;
    const char* end = line.data();
    out = roomOf(record, recordRoom(line.size(), 1, options));
    std::string_view word;
    LineError error = encodeRecord(end, options, out, word);
    if (error == LineError::none) *out++ = static_cast<char>(dump::kLineEnd);
    writeBytes(kOutputFile, record.data(), static_cast<size_t>(out - record.data()));
    if (fileFailed(kOutputFile)) return ConversionEnd::writeError;
    if (error != LineError::none) {
      reportError(error, lineNumber, line, word);
      return ConversionEnd::listingError;
    }
  }
  if (fileFailed(kInputFile)) return ConversionEnd::readError;
  if (options.baud2000) {
    // The end marker closes a 2000-baud recording, also one without lines.
    char marker[dump::kWordSize];
    dump::encodeWord(marker, dump::kEndMarker);
    writeBytes(kOutputFile, marker, sizeof marker);
    if (fileFailed(kOutputFile)) return ConversionEnd::writeError;
  }
  return ConversionEnd::finished;
}
