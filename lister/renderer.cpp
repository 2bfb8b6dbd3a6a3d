#include "lister/renderer.h"

#include <string>

#include "basicdata/dump_format.h"
#include "basicdata/tokens.h"
#include "lister/pieces.h"
#include "services/files.h"
#include "services/text.h"

namespace {

// The UTF-8 text of every byte value, worked out once before the dump is read; a line end is CR LF.
void buildPieces(const ListerOptions& options, PieceTable& pieces) {
  // Case mapping keeps the lengths of the table texts: their letters are ASCII, and the symbols
  // have no case.
  static_assert(kLongestTextBytes <= kMaxPieceSize, "every text fits, as do {-128} and CR LF");
  SlotMap map =
      options.editable ? buildSlotMap(editableTable, false) : buildSlotMap(symbolTable, true);
  int lastKeywordCode = options.viperSoft ? dump::kLastViperSoftCommand : dump::kLastBallyCommand;
  for (int byte = 0; byte < 256; ++byte) {
    int code = static_cast<signed char>(byte);  // bytes 0x80..0xFF are the codes -128..-1
    std::string piece;
    if (code == dump::kLineEnd) {
      piece = "\r\n";
    } else if (code == dump::kNull || (code >= dump::kErase && code < dump::kFirstLetterSpecial) ||
               (code >= dump::kFirstCommand && code <= lastKeywordCode)) {
      encodeUtf8(map.slots[byte], piece);
    } else if (code >= dump::kFirstLetterSpecial && code <= dump::kLastLetterSpecial) {
      // The special characters a to d are shown in lower case, as they are typed.
      encodeUtf8(toLower(map.slots[byte]), piece);
    } else if (options.charNumbers) {
      char digits[kMaxDecimalLength];
      piece = "{";
      piece.append(digits, formatDecimal(code, digits));
      piece += "}";
    } else {
      piece = "?";
    }
    piece.copy(reinterpret_cast<char*>(pieces.text[byte]), kMaxPieceSize);
    pieces.size[byte] = static_cast<uint8_t>(piece.size());
  }
}

// The line number and one blank, at most "-32768 ".
void writeLineNumber(int number) {
  char text[kMaxDecimalLength];
  size_t length = formatDecimal(number, text);
  text[length++] = ' ';
  writeShortPiece(kOutputFile, text, length);
}

// The line number word that the read-ahead holds only part of, or none of; a byte missing at the
// end of the input counts as 0.
int readLineNumber() {
  char word[dump::kWordSize] = {};
  readBytes(kInputFile, word, sizeof word);
  return dump::decodeWord(word);
}

// Writes the line number that follows a line end, unless it is the end marker.
void writeLineNumberUnlessMarker(int number) {
  if (number != dump::kEndMarker) writeLineNumber(number);
}

}  // namespace

void renderDump(const ListerOptions& options) {
  PieceTable pieces = {};
  buildPieces(options, pieces);
  // The first line number of a 2000-baud recording is written whatever it holds.
  if (options.baud2000) writeLineNumber(readLineNumber());
  while (!atEndOfFile(kInputFile) && !fileFailed(kOutputFile)) {
    std::string_view bytes = readAhead(kInputFile);
    if (!options.baud2000) {
      skipReadAhead(kInputFile, writePieces(kOutputFile, bytes, pieces));
      continue;
    }
    // In a 2000-baud recording every line end is followed by the next line number, or the end
    // marker; bytes after the marker are still listed, as text without line numbers. The lines
    // of the read-ahead are listed in one go; a number that it holds only part of is read after.
    size_t taken = 0;
    bool numberNext = false;
    while (taken < bytes.size() && !fileFailed(kOutputFile)) {
      size_t end = bytes.find(static_cast<char>(dump::kLineEnd), taken);
      std::string_view line = bytes.substr(taken, end == bytes.npos ? end : end + 1 - taken);
      size_t written = writePieces(kOutputFile, line, pieces);
      taken += written;
      if (written < line.size() || end == bytes.npos) break;
      numberNext = bytes.size() - taken < dump::kWordSize;
      if (numberNext) break;
      writeLineNumberUnlessMarker(dump::decodeWord(bytes.data() + taken));
      taken += dump::kWordSize;
    }
    skipReadAhead(kInputFile, taken);
    if (numberNext) writeLineNumberUnlessMarker(readLineNumber());
  }
}
