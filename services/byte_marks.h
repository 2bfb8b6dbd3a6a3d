// Scans of bytes in memory eight at a time, in a 64-bit word that holds them with the first byte
// lowest, whatever the machine's byte order. A mark is bit 7 of a byte. Each marks function marks
// the lowest byte that has its property exactly; above that byte a borrow may add or drop marks,
// so only the lowest mark of a result, or of an OR of results, tells anything.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

static_assert(std::endian::native == std::endian::little || std::endian::native == std::endian::big,
              "a word's bytes are in one order or its reverse");

constexpr uint64_t kByteOnes = 0x0101010101010101u;
constexpr uint64_t kByteMarks = 0x8080808080808080u;

// A word as loaded from memory turned into the word with its first byte lowest, or back: its bytes
// reversed on a big-endian machine, unchanged (at no cost) on a little-endian one.
constexpr uint64_t firstByteLowest(uint64_t word) {
  if (std::endian::native == std::endian::little) return word;
  word = (word & 0x00FF00FF00FF00FFu) << 8 | (word >> 8 & 0x00FF00FF00FF00FFu);
  word = (word & 0x0000FFFF0000FFFFu) << 16 | (word >> 16 & 0x0000FFFF0000FFFFu);
  return word << 32 | word >> 32;
}

inline uint64_t loadWord(const void* bytes) {
  uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  return firstByteLowest(word);
}

inline void storeWord(void* bytes, uint64_t word) {
  word = firstByteLowest(word);
  std::memcpy(bytes, &word, sizeof word);
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
  return static_cast<unsigned>(std::countr_zero(marks)) / 8;
}
