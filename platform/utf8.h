// UTF-8 and UTF-16, the two forms of text the programs meet: the systems of file descriptors take
// paths and console text as UTF-8 bytes, Windows and the programs' own text are UTF-16. Shared by
// the platform files and the services above them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

inline bool isHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
inline bool isLowSurrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}
// The code point of a surrogate pair.
inline char32_t codePointOf(char16_t high, char16_t low) {
  return 0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) + (low - 0xDC00);
}

// The lone surrogate U+DC00 + b stands for a byte b that is not UTF-8 (see Utf8Errors::escape).
constexpr char16_t kEscapeBase = 0xDC00;

// What decodeUtf8 makes of bytes that are not well-formed UTF-8.
enum class Utf8Errors {
  // U+FFFD for each maximal subpart of an ill-formed sequence (C0 80 gives two): for text read
  // from files and keys.
  replace,
  // Each ill-formed byte b becomes the lone surrogate U+DC00 + b, which encodeUtf8 turns back
  // into b: for command-line words, so that a path the user typed reaches the system unchanged.
  escape,
};

// Appends the UTF-16 form of bytes to out.
void decodeUtf8(std::string_view bytes, Utf8Errors errors, std::u16string& out);

// Appends the UTF-8 form of text to out. A lone surrogate U+DC80..U+DCFF gives back the byte
// that decodeUtf8 escaped; any other lone surrogate gives U+FFFD.
void encodeUtf8(std::u16string_view text, std::string& out);
