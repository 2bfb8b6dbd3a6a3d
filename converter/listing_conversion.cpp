#include "converter/listing_conversion.h"

#include <string>

#include "basicdata/dump_format.h"
#include "platform/memory_bounds.h"
#include "services/console.h"
#include "services/files.h"
#include "services/text.h"

namespace {

// The line and the word are shown as read, in pieces when long, so that the report of a line
// of any length takes little more memory than the line itself.
void reportError(LineError error, int64_t lineNumber, std::string_view line,
                 std::string_view word) {
  std::u16string number = decimalText(lineNumber);
  switch (error) {
    case LineError::none:
      return;
    case LineError::invalidCharacter:
      printLine(u"Error: invalid character at line " + number);
      break;
    case LineError::unknownToken:
      printShownLine(u"Error: unknown token at line " + number + u" - #", word, u"#");
      break;
    case LineError::missingBrace:
      printLine(
          u"Error: got to end of line without finding right brace to match left brace at line " +
          number);
      break;
    case LineError::missingLineNumber:
      printLine(u"Error: missing line number at line " + number);
      break;
    case LineError::lineNumberOutOfRange:
      printLine(u"Error: line number out of range at line " + number);
      break;
  }
  printShownLine(u"", line, u"");
  printLine(u"");
}

}  // namespace

ConversionEnd convertListing(DumpLayout layout) {
  std::string record;
  int64_t lineNumber = 0;
  while (!atEndOfFile(kInputFile)) {
    // The whole lines of the read-ahead are encoded where they are, and their records written
    // together. Then the line after them, if any, is read and encoded on its own.
    std::string_view ahead = readAhead(kInputFile);
    // Each line of it but the last takes two bytes at least: a digit and a line end.
    char* out = roomOf(record, recordRoom(ahead.size(), (ahead.size() + 1) / 2, layout));
    const char* rest = encodeWholeLines(ahead, layout, out, lineNumber);
    skipReadAhead(kInputFile, static_cast<size_t>(rest - ahead.data()));
    writeBytes(kOutputFile, record.data(), static_cast<size_t>(out - record.data()));
    if (fileFailed(kOutputFile)) return ConversionEnd::writeError;
    if (rest == ahead.data() + ahead.size()) continue;

    std::string_view line = readLineBytes(kInputFile);
    if (fileFailed(kInputFile)) return ConversionEnd::readError;
    ++lineNumber;
    const char* end = line.data();
    out = roomOf(record, recordRoom(line.size(), 1, layout));
    std::string_view word;
    LineError error = encodeRecord(end, layout, out, word);
    if (error == LineError::none) *out++ = static_cast<char>(dump::kLineEnd);
    writeBytes(kOutputFile, record.data(), static_cast<size_t>(out - record.data()));
    if (fileFailed(kOutputFile)) return ConversionEnd::writeError;
    if (error != LineError::none) {
      reportError(error, lineNumber, line, word);
      return ConversionEnd::listingError;
    }
  }
  if (fileFailed(kInputFile)) return ConversionEnd::readError;
  if (layout == DumpLayout::baud2000) {
    // The end marker closes a 2000-baud recording, also one without lines.
    char marker[dump::kWordSize];
    dump::encodeWord(marker, dump::kEndMarker);
    writeBytes(kOutputFile, marker, sizeof marker);
    if (fileFailed(kOutputFile)) return ConversionEnd::writeError;
  }
  return ConversionEnd::finished;
}
