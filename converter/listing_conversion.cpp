#include "converter/listing_conversion.h"

#include <string>

#include "basicdata/dump_format.h"
#include "services/files.h"
#include "services/memory_bounds.h"
#include "services/system.h"
#include "services/text.h"

namespace {

// Bytes of the listing as the console shows them.
std::u16string shownText(std::string_view bytes) {
  std::u16string text;
  decodeUtf8(bytes, Utf8Errors::replace, text);
  return visibleText(text);
}

void reportError(LineError error, int64_t lineNumber, std::string_view line,
                 std::string_view word) {
  std::u16string number = decimalText(lineNumber);
  std::u16string message;
  switch (error) {
    case LineError::none:
      return;
    case LineError::invalidCharacter:
      message = u"Error: invalid character at line " + number;
      break;
    case LineError::unknownToken:
      message = u"Error: unknown token at line " + number + u" - #" + shownText(word) + u"#";
      break;
    case LineError::missingBrace:
      message =
          u"Error: got to end of line without finding right brace to match left brace at "
          u"line " +
          number;
      break;
    case LineError::missingLineNumber:
      message = u"Error: missing line number at line " + number;
      break;
    case LineError::lineNumberOutOfRange:
      message = u"Error: line number out of range at line " + number;
      break;
  }
  printLine(message);
  printLine(shownText(line));
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
