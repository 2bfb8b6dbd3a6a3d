#include "lister/renderer.h"

#include <string>

#include "basicdata/dump_format.h"
#include "basicdata/tokens.h"
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

void writeLineNumber(int number) {
  char digits[kMaxDecimalLength + 1];
  size_t length = formatDecimal(number, digits);
  digits[length++] = ' ';
  writePiece(1, digits, length);
}

}  // namespace

void renderDump(const ListerOptions& options) {
  PieceTable pieces = {};
  buildPieces(options, pieces);
  // The first line number of a 2000-baud recording is written whatever it holds.
  if (options.baud2000) writeLineNumber(readWord(0));
  while (!atEndOfFile(0) && !fileFailed(1)) {
    // The bytes already read, in a 2000-baud recording up to the next line end.
    std::string_view bytes = readAhead(0);
    if (options.baud2000) {
      size_t lineEnd = bytes.find(static_cast<char>(dump::kLineEnd));
      if (lineEnd != std::string_view::npos) bytes.remove_suffix(bytes.size() - lineEnd - 1);
    }
    size_t written = writePieces(1, bytes, pieces);
    skipReadAhead(0, written);
    // After every line end of a 2000-baud recording comes the next line number, or the end
    // marker; bytes after the marker are still listed, as text without line numbers.
    if (options.baud2000 && bytes[written - 1] == dump::kLineEnd) {
      int number = readWord(0);
      if (number != dump::kEndMarker) writeLineNumber(number);
    }
  }
}
