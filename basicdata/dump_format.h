// Byte values of a Bally BASIC binary dump (.prg), shared by the converter that writes dumps and
// the lister that reads them.
//
// A dump is a plain byte stream of line records: the codes of a line, then kLineEnd. In the
// 300-baud layout the BASIC line number is just the digits at the start of a line. In the
// 2000-baud layout a signed 16-bit little-endian line number precedes every line, and the number
// kEndMarker closes the recording.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dump {

constexpr int kNull = 0x00;  // special character "null"
constexpr int kLineEnd = 0x0D;
constexpr int kErase = 0x1F;               // special character "erase"
constexpr int kLastPrintable = 0x5D;       // 0x20..0x5D are the ASCII characters of those codes
constexpr int kFirstSpecial = 0x5E;        // arrows up, left, down, right; multiply; divide
constexpr int kFirstLetterSpecial = 0x64;  // the special characters named a, b, c, d
constexpr int kLastLetterSpecial = 0x67;
constexpr int kFirstCommand = 0x68;  // the 16 Bally BASIC commands, LIST to TO
constexpr int kLastBallyCommand = 0x77;
constexpr int kLastViperSoftCommand = 0x7F;  // 0x78..0x7F exist in VIPERSoft BASIC only

constexpr int kEndMarker = -256;  // the line-number field 0x00 0xFF

// The line-number word of a 2000-baud record: -32768..32767 in two's complement, low byte first.
// Both programs write and read it here alone.
constexpr size_t kWordSize = 2;

inline void encodeWord(char* out, int value) {
  auto word = static_cast<uint16_t>(value);
  out[0] = static_cast<char>(word & 0xFF);
  out[1] = static_cast<char>(word >> 8);
}

inline int decodeWord(const char* in) {
  auto low = static_cast<unsigned char>(in[0]);
  auto high = static_cast<unsigned char>(in[1]);
  return static_cast<int16_t>(static_cast<uint16_t>(low | high << 8));
}

}  // namespace dump
