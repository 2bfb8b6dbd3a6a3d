#include "platform/utf8.h"

#include <cstring>

namespace {

// Four bytes below 0x80, as loaded from memory, spread to four 16-bit code units in the same
// order when stored back: the ASCII fast path of decoding. The byte that is k-th lowest becomes
// the k-th lowest unit, so this holds in either byte order.
uint64_t widenAscii(uint32_t bytes) {
  uint64_t units = bytes;
  units = (units | units << 16) & 0x0000FFFF0000FFFFu;
  return (units | units << 8) & 0x00FF00FF00FF00FFu;
}

constexpr char16_t kReplacement = 0xFFFD;

}  // namespace

void decodeUtf8(std::string_view bytes, Utf8Errors errors, std::u16string& out) {
  // The code units are gathered in a local array and appended a chunk at a time, which costs one
  // copy; no sequence gives more than 8 units, the ASCII word included.
  constexpr size_t kChunk = 256;
  char16_t chunk[kChunk];
  char16_t* dst = chunk;
  out.reserve(out.size() + bytes.size());
  const auto* src = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t size = bytes.size();
  size_t i = 0;
  while (i < size) {
    if (dst > chunk + kChunk - 8) {
      out.append(chunk, static_cast<size_t>(dst - chunk));
      dst = chunk;
    }
    // Eight ASCII bytes at a time: the common case for listings.
    if (i + 8 <= size) {
      uint32_t low;
      uint32_t high;
      std::memcpy(&low, src + i, 4);
      std::memcpy(&high, src + i + 4, 4);
      if (((low | high) & 0x80808080u) == 0) {
        uint64_t units[2] = {widenAscii(low), widenAscii(high)};
        std::memcpy(dst, units, 16);
        dst += 8;
        i += 8;
        continue;
      }
    }
    unsigned char lead = src[i];
    if (lead < 0x80) {
      *dst++ = lead;
      ++i;
      continue;
    }
    // The bounds of the second byte exclude overlong forms, surrogates and values above U+10FFFF.
    size_t continuations = 0;
    uint32_t code = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      continuations = 1;
      code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      continuations = 2;
      code = lead & 0x0F;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      continuations = 3;
      code = lead & 0x07;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    }
    // Bytes src[i, i + length) so far form the start of a well-formed sequence.
    size_t length = 1;
    while (length <= continuations && i + length < size) {
      unsigned char next = src[i + length];
      if (next < low || next > high) break;
      code = (code << 6) | (next & 0x3F);
      low = 0x80;
      high = 0xBF;
      ++length;
    }
    if (continuations == 0 || length <= continuations) {
      // src[i, i + length) is a maximal ill-formed subpart.
      if (errors == Utf8Errors::replace) {
        *dst++ = kReplacement;
      } else {
        for (size_t k = 0; k < length; ++k)
          *dst++ = static_cast<char16_t>(kEscapeBase + src[i + k]);
      }
    } else if (code < 0x10000) {
      *dst++ = static_cast<char16_t>(code);
    } else {
      code -= 0x10000;
      *dst++ = static_cast<char16_t>(0xD800 + (code >> 10));
      *dst++ = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    }
    i += length;
  }
  out.append(chunk, static_cast<size_t>(dst - chunk));
}

void encodeUtf8(std::u16string_view text, std::string& out) {
  // No code unit gives more than three bytes (a surrogate pair gives four for two units).
  size_t start = out.size();
  out.resize(start + 3 * text.size());
  char* dst = &out[start];
  size_t size = text.size();
  for (size_t i = 0; i < size; ++i) {
    char16_t unit = text[i];
    if (unit < 0x80) {
      *dst++ = static_cast<char>(unit);
      continue;
    }
    uint32_t code = unit;
    if (isHighSurrogate(unit) && i + 1 < size && isLowSurrogate(text[i + 1])) {
      code = codePointOf(unit, text[i + 1]);
      ++i;
    } else if (unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF) {
      *dst++ = static_cast<char>(unit - kEscapeBase);
      continue;
    } else if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
      code = kReplacement;
    }
    if (code < 0x800) {
      *dst++ = static_cast<char>(0xC0 | (code >> 6));
    } else if (code < 0x10000) {
      *dst++ = static_cast<char>(0xE0 | (code >> 12));
      *dst++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    } else {
      *dst++ = static_cast<char>(0xF0 | (code >> 18));
      *dst++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      *dst++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    }
    *dst++ = static_cast<char>(0x80 | (code & 0x3F));
  }
  out.resize(static_cast<size_t>(dst - out.data()));
}
