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

char16_t upperOf(char16_t unit) {
  if (unit < 0x80) return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - 0x20) : unit;
  return mapCase(kUpperRanges, unit);
}

char16_t lowerOf(char16_t unit) {
  if (unit < 0x80) return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit + 0x20) : unit;
  return mapCase(kLowerRanges, unit);
}

}  // namespace

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

size_t utf8PieceLength(std::string_view bytes, size_t limit) {
  if (bytes.size() <= limit) return bytes.size();
  // Decoding starts afresh before a byte from 0xC0 up, which never continues a sequence. A
  // sequence that the cut would split starts with such a byte within the last three before it.
  for (size_t length = limit; length > limit - 3; --length) {
    if (static_cast<unsigned char>(bytes[length - 1]) >= 0xC0) return length - 1;
  }
  return limit;
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
    char32_t code = pair ? codePointOf(unit, text[i + 1]) : unit;
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
