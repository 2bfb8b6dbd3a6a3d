#include "lister/pieces.h"

#include <algorithm>

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
