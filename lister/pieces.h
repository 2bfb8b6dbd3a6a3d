// The listing's output, a piece of text for each byte of the dump, copied straight into the output
// file's buffer: the renderer's hot path. Built on the cursor and writePiece of services/files.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "services/files.h"

// The bytes to write for each byte value, at most kMaxPieceSize of them: a table made once for a
// whole conversion, for writePieces.
constexpr size_t kMaxPieceSize = 8;
struct PieceTable {
  unsigned char text[256][kMaxPieceSize];
  uint8_t size[256];
};

// How many pieces fit in room bytes of buffer, where each is copied at kMaxPieceSize bytes and,
// as writePiece asks, must find more room than its size: n pieces while room > n * kMaxPieceSize.
inline size_t piecesThatFit(size_t room) {
  return room == 0 ? 0 : (room - 1) / kMaxPieceSize;  // room - 1 is taken only above 0: no wrap
}

// Copies the pieces of count bytes to out and returns the end of their text. Copies kMaxPieceSize
// bytes for each, so out needs that much room beyond the start of the last piece.
inline unsigned char* copyPieces(unsigned char* out, const unsigned char* in, size_t count,
                                 const PieceTable& pieces) {
  auto put = [&out, &pieces](unsigned char byte) {
    size_t size = pieces.size[byte];
    uint64_t text;
    std::memcpy(&text, pieces.text[byte], sizeof text);
    std::memcpy(out, &text, sizeof text);
    out += size;
  };
  const unsigned char* stop = in + count;
  // Rounds of four, counted: two instructions a round fewer than comparing pointers, whatever
  // registers the compiler picks around the loop (callgrind, MORVIX on a 10 MB dump: 78.6 M
  // instructions; comparing pointers, 81.1 M or 83.8 M as the registers fell).
  for (size_t rounds = count / 4; rounds > 0; --rounds, in += 4) {
    put(in[0]);
    put(in[1]);
    put(in[2]);
    put(in[3]);
  }
  for (; in < stop; ++in)
    put(*in);
  return out;
}

// writePiece of the first size bytes of text, a piece of at most kMaxPieceSize bytes from text's
// kMaxPieceSize or more: copied in at that fixed size when the buffer has room for it.
inline void writeShortPiece(int number, const char* text, size_t size) {
  if (isFileNumber(number)) {
    FileCursor& cursor = fileCursors[number];
    if (piecesThatFit(static_cast<size_t>(cursor.writeEnd - cursor.writeNext)) > 0) {
      std::memcpy(cursor.writeNext, text, kMaxPieceSize);
      cursor.writeNext += size;
      return;
    }
  }
  writePiece(number, text, size);
}

// Writes the piece of each of the bytes, with the very system writes that writePiece of each piece
// in turn would make, and stops after a piece whose write failed. Returns how many of the bytes'
// pieces it wrote.
size_t writePiecesFlushing(int number, std::string_view bytes, const PieceTable& pieces);
inline size_t writePieces(int number, std::string_view bytes, const PieceTable& pieces) {
  if (isFileNumber(number)) {
    FileCursor& cursor = fileCursors[number];
    if (bytes.size() <= piecesThatFit(static_cast<size_t>(cursor.writeEnd - cursor.writeNext))) {
      cursor.writeNext =
          copyPieces(cursor.writeNext, reinterpret_cast<const unsigned char*>(bytes.data()),
                     bytes.size(), pieces);
      return bytes.size();
    }
  }
  return writePiecesFlushing(number, bytes, pieces);
}
