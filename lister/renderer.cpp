#include "lister/renderer.h"

#include <string>

#include "basicdata/dump_format.h"
#include "basicdata/tokens.h"
#include "services/files.h"
#include "services/text.h"

namespace {

// The UTF-8 text of every byte value but the line end, worked out once before the dump is read,
// and for the many whose text is one byte that byte alone, or -1.
struct Pieces {
  std::string of[256];
  int single[256];
};

void buildPieces(const ListerOptions& options, Pieces& pieces) {
  SlotMap map =
      options.editable ? buildSlotMap(editableTable, false) : buildSlotMap(symbolTable, true);
  int lastKeywordCode = options.viperSoft ? dump::kLastViperSoftCommand : dump::kLastBallyCommand;
  for (int byte = 0; byte < 256; ++byte) {
    int code = static_cast<signed char>(byte);  // bytes 0x80..0xFF are the codes -128..-1
    std::string& piece = pieces.of[byte];
    if (code == dump::kNull || (code >= dump::kErase && code < dump::kFirstLetterSpecial) ||
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
    pieces.single[byte] =
        piece.size() == 1 && code != dump::kLineEnd ? static_cast<unsigned char>(piece[0]) : -1;
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
  Pieces pieces;
  buildPieces(options, pieces);
  // The first line number of a 2000-baud recording is written whatever it holds.
  if (options.baud2000) writeLineNumber(readWord(0));
  while (!atEndOfFile(0) && !fileFailed(1)) {
    unsigned char byte = static_cast<unsigned char>(readByte(0));
    int single = pieces.single[byte];
    if (single >= 0) {
      writeByte(1, single);
      continue;
    }
    if (byte != dump::kLineEnd) {
      writePiece(1, pieces.of[byte].data(), pieces.of[byte].size());
      continue;
    }
    writePiece(1, "\r\n", 2);
    // After every line end of a 2000-baud recording comes the next line number, or the end
    // marker; bytes after the marker are still listed, as text without line numbers.
    if (options.baud2000) {
      int number = readWord(0);
      if (number != dump::kEndMarker) writeLineNumber(number);
    }
  }
}
