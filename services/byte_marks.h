// Scans of bytes in memory eight at a time, in a 64-bit word that holds them as loaded: the first
// byte lowest. A mark is bit 7 of a byte. Each marks function marks the lowest byte that has its
// property exactly; above that byte a borrow may add or drop marks, so only the lowest mark of a
// result, or of an OR of results, tells anything.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the first byte of a word is its lowest");

constexpr uint64_t kByteOnes = 0x0101010101010101u;
constexpr uint64_t kByteMarks = 0x8080808080808080u;

inline uint64_t loadWord(const void* bytes) {
  uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

// The bytes below limit, which is at most 128.
inline uint64_t marksBelow(uint64_t word, unsigned limit) {
  return (word - limit * kByteOnes) & ~word & kByteMarks;
}

// The bytes outside first..last, where 0 < first <= last < 128. Only a byte of 128 or more carries
// into the byte above it, and it is marked itself.
inline uint64_t marksOutside(uint64_t word, unsigned first, unsigned last) {
  return (~(word + (128 - first) * kByteOnes) | (word + (127 - last) * kByteOnes) | word) &
         kByteMarks;
}

inline uint64_t marksOf(uint64_t word, unsigned char byte) {
  return marksBelow(word ^ (byte * kByteOnes), 1);
}

// The index of the lowest marked byte, 8 when no byte is marked.
inline size_t lowestMarkedByte(uint64_t marks) {
  return marks == 0 ? 8 : static_cast<unsigned>(__builtin_ctzll(marks)) / 8;
}
