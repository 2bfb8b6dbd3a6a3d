#include "services/text.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>

namespace {

// Code units first, first + stride, ..., last map to unit + delta; delta is stored modulo 2^16.
struct CaseRange {
  char16_t first;
  char16_t last;
  uint16_t delta;
  uint16_t stride;
};

#include "services/case_table.inc"

template <size_t N>
char16_t mapCase(const CaseRange (&ranges)[N], char16_t unit) {
  const CaseRange* end = ranges + N;
  // The first range that starts after unit; the one before it is the only candidate.
  const CaseRange* next = std::upper_bound(
      ranges, end, unit, [](char16_t u, const CaseRange& range) { return u < range.first; });
  if (next == ranges) return unit;
  const CaseRange& range = next[-1];
  if (unit > range.last || (unit - range.first) % range.stride != 0) return unit;
  return static_cast<char16_t>(unit + range.delta);
}

// Four bytes below 0x80, as loaded from memory, spread to four 16-bit code units in the same
// order when stored back: the ASCII fast path of decoding. The byte that is k-th lowest becomes
// the k-th lowest unit, so this holds in either byte order.
uint64_t widenAscii(uint32_t bytes) {
  uint64_t units = bytes;
  units = (units | units << 16) & 0x0000FFFF0000FFFFu;
  return (units | units << 8) & 0x00FF00FF00FF00FFu;
}

constexpr char16_t kReplacement = 0xFFFD;
constexpr char16_t kEscapeBase = 0xDC00;

bool isHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

char16_t upperOf(char16_t unit) {
  if (unit < 0x80) return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - 0x20) : unit;
  return mapCase(kUpperRanges, unit);
}

char16_t lowerOf(char16_t unit) {
  if (unit < 0x80) return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit + 0x20) : unit;
  return mapCase(kLowerRanges, unit);
}

std::u16string toUpper(std::u16string_view text) {
  std::u16string result(text);
  for (char16_t& unit : result)
    unit = upperOf(unit);
  return result;
}

std::u16string toLower(std::u16string_view text) {
  std::u16string result(text);
  for (char16_t& unit : result)
    unit = lowerOf(unit);
  return result;
}

namespace {

// "0000" to "9999": the four decimal digits of each number below 10000, and three bytes more, so
// that four bytes can be read from any digit.
constexpr std::array<char, 4 * 10000 + 3> kFourDigits = [] {
  std::array<char, 4 * 10000 + 3> digits = {};
  for (int number = 0; number < 10000; ++number) {
    for (int i = 0, rest = number; i < 4; ++i, rest /= 10)
      digits[4 * number + 3 - i] = static_cast<char>('0' + rest % 10);
  }
  return digits;
}();

}  // namespace

size_t formatDecimal(int64_t value, char* out) {
  // Unsigned negation is defined for every value, the most negative one included.
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  char* p = out;
  if (value < 0) *p++ = '-';
  // Groups of four digits, the last group first; the leading group has one to four digits.
  uint32_t groups[5];
  size_t count = 0;
  for (; magnitude >= 10000; magnitude /= 10000)
    groups[count++] = static_cast<uint32_t>(magnitude % 10000);
  uint32_t leading = static_cast<uint32_t>(magnitude);
  size_t digits = 1 + (leading >= 10) + (leading >= 100) + (leading >= 1000);
  // Four bytes each: past the leading group's digits they are written over by the next group or
  // lie beyond the number, within the kMaxDecimalLength bytes of out.
  std::memcpy(p, &kFourDigits[4 * leading + 4 - digits], 4);
  p += digits;
  while (count > 0) {
    std::memcpy(p, &kFourDigits[4 * groups[--count]], 4);
    p += 4;
  }
  return static_cast<size_t>(p - out);
}

std::u16string decimalText(int64_t value) {
  char digits[kMaxDecimalLength];
  size_t length = formatDecimal(value, digits);
  return std::u16string(digits, digits + length);
}

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

size_t utf8PieceLength(std::string_view bytes, size_t most) {
  if (bytes.size() <= most) return bytes.size();
  // Decoding starts afresh before a byte from 0xC0 up, which never continues a sequence. A
  // sequence that the cut would split starts with such a byte within the last three before it.
  for (size_t length = most; length > most - 3; --length) {
    if (static_cast<unsigned char>(bytes[length - 1]) >= 0xC0) return length - 1;
  }
  return most;
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
      code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
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

namespace {

// How visibleText shows a character that is no control.
enum ShownAs : uint8_t {
  kAsItIs,
  kByName,
  kMark,  // a combining mark: as it is on a visible character, by name where it carries none
};

// Code points first..last.
struct ShownRange {
  char32_t first;
  char32_t last;
  ShownAs as;
};

#include "services/invisible_table.inc"

// A visible character carries at most this many combining marks as they are: two are enough for
// a letter of most scripts written decomposed (U+1EC7 is e, U+0323 and U+0302), while a pile of
// marks can cover the text around it.
constexpr int kMostMarksShown = 2;

ShownAs shownAs(char32_t code) {
  const ShownRange* begin = std::begin(kShownRanges);
  // The first range that starts after code; the one before it is the only candidate.
  const ShownRange* next =
      std::upper_bound(begin, std::end(kShownRanges), code,
                       [](char32_t c, const ShownRange& range) { return c < range.first; });
  return next != begin && code <= next[-1].last ? next[-1].as : kAsItIs;
}

// Appends "<U+", code in four or more uppercase hexadecimal digits, and ">".
void appendCodeName(char32_t code, std::u16string& out) {
  out += u"<U+";
  int shift = 12;
  while (code >> shift >> 4 != 0)
    shift += 4;
  for (; shift >= 0; shift -= 4)
    out += u"0123456789ABCDEF"[(code >> shift) & 0xF];
  out += u'>';
}

}  // namespace

std::u16string visibleText(std::u16string_view text) {
  ShownMarks marks;
  return visibleText(text, marks);
}

std::u16string visibleText(std::u16string_view text, ShownMarks& marks) {
  std::u16string shown;
  shown.reserve(text.size());
  int count = marks.count;
  size_t size = text.size();
  for (size_t i = 0; i < size; ++i) {
    char16_t unit = text[i];
    // A surrogate pair is one character, and its low surrogate no escaped byte.
    bool pair = isHighSurrogate(unit) && i + 1 < size && isLowSurrogate(text[i + 1]);
    char32_t code = pair ? 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00) : unit;
    // Below the table's first character, ASCII included, only the controls need a look.
    ShownAs as = code >= kShownRanges[0].first ? shownAs(code) : kAsItIs;
    if (as == kMark && (count == ShownMarks::kNoBase || count >= kMostMarksShown)) as = kByName;
    if (as == kByName) {
      appendCodeName(code, shown);
      count = ShownMarks::kNoBase;
      i += pair;
      continue;
    }
    count = as == kMark ? count + 1 : 0;
    if (pair) {
      shown += unit;
      shown += text[++i];
      continue;
    }
    // An escaped byte counts as the control of its value: in some terminals a lone byte 0x9B
    // starts a control sequence as U+009B does.
    bool escapedC1 = unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0x9F;
    char16_t c = escapedC1 ? static_cast<char16_t>(unit - kEscapeBase) : unit;
    if (c >= 0x80 && c <= 0x9F) {
      shown += u"M-";
      c = static_cast<char16_t>(c - 0x80);
    }
    // A mark after a control would be seen on the letter of its caret form.
    if (c < 0x20 || c == 0x7F) {
      shown += u'^';
      c ^= 0x40;
      count = ShownMarks::kNoBase;
    }
    shown += c;
  }
  marks.count = count;
  return shown;
}

std::vector<std::u16string> splitCommandLine(std::u16string_view commandLine) {
  std::vector<std::u16string> words;
  size_t size = commandLine.size();
  size_t i = 0;
  while (true) {
    while (i < size && commandLine[i] == u' ')
      ++i;
    if (i == size) break;
    // A quoted word ends at the next quote, a bare word at the next space; either way the
    // delimiter is consumed. A bare word may contain quotes.
    char16_t delimiter = u' ';
    if (commandLine[i] == u'"') {
      delimiter = u'"';
      ++i;
    }
    size_t end = std::min(commandLine.find(delimiter, i), size);
    words.emplace_back(commandLine.substr(i, end - i));
    i = end == size ? size : end + 1;
  }
  return words;
}
