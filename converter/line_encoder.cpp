#include "converter/line_encoder.h"

#include <array>

#include "basicdata/dump_format.h"
#include "basicdata/tokens.h"
#include "services/byte_marks.h"
#include "services/files.h"

namespace {

// The listing's characters 31..93 stand for the byte of their own code: "erase" and the
// printable characters.
constexpr unsigned char kFirstLiteral = dump::kErase;
constexpr unsigned char kLastLiteral = dump::kLastPrintable;
constexpr unsigned char kWordLast = 127;  // 94..127 but "{" begin a word

// A line number word holds -32768..32767; -256 is taken by the end marker.
constexpr int64_t kLowestLineNumber = -32768;
constexpr int64_t kHighestLineNumber = 32767;

// The scans load a word of bytes at any byte of a line up to its end byte, which the padding after
// the line must hold; a run of characters that stand for themselves is stored a word at a time,
// the last one where the end byte's output would go, which the slack after the output must hold.
constexpr size_t kWordBytes = sizeof(loadWord(nullptr));
static_assert(kLinePadding >= kWordBytes, "a word loaded at a line's end byte is in its padding");
static_assert(kEncodeSlack >= kWordBytes, "a word stored at the line end's output is in the slack");

// The value of each byte as a digit ("0" to "9", "A" to "F", "a" to "f"); 255 for other bytes.
constexpr std::array<uint8_t, 256> kDigitValues = [] {
  std::array<uint8_t, 256> values = {};
  for (int byte = 0; byte < 256; ++byte) {
    values[byte] = 255;
    if (byte >= '0' && byte <= '9') values[byte] = static_cast<uint8_t>(byte - '0');
    if (byte >= 'A' && byte <= 'F') values[byte] = static_cast<uint8_t>(byte - 'A' + 10);
    if (byte >= 'a' && byte <= 'f') values[byte] = static_cast<uint8_t>(byte - 'a' + 10);
  }
  return values;
}();

// The bytes that end a word, as bits by value: the blank, which belongs to the word, and the line
// end bytes.
constexpr uint64_t kWordEnds = uint64_t{1} << ' ' | 1u << '\r' | 1u << '\n' | 1u << 0;

// The first "}" or line end byte from p on. Each "}" and each byte below 14 is marked, and a few
// other bytes above the lowest mark may be, so every marked byte is looked at.
const char* findBraceOrLineEnd(const char* p) {
  for (;; p += 8) {
    uint64_t bytes = loadWord(p);
    for (uint64_t marks = marksOf(bytes, '}') | marksBelow(bytes, 14); marks != 0;
         marks &= marks - 1) {
      const char* at = p + lowestMarkedByte(marks);
      if (*at == '}' || isLineEnd(*at)) return at;
    }
  }
}

const char* findWordEnd(const char* p) {
  while (*p != ' ' && !isLineEnd(*p))
    ++p;
  return p;
}

}  // namespace

int64_t parseNumber(const char*& text) {
  const char* p = text;
  while (*p == ' ' || *p == '\t')
    ++p;
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  unsigned base = 10;
  if (*p == '$') {
    base = 16;
    ++p;
  } else if (*p == '%') {
    base = 2;
    ++p;
  }
  uint64_t value = 0;  // unsigned, so that overflow wraps without undefined behaviour
  for (unsigned digit; (digit = kDigitValues[static_cast<unsigned char>(*p)]) < base; ++p)
    value = value * base + digit;
  text = p;
  return static_cast<int64_t>(negative ? 0 - value : value);
}

LineError parseLineNumber(const char*& line, int& number) {
  const char* p = line;
  bool negative = *p == '-';
  if (negative) ++p;
  const char* firstDigit = p;
  // The magnitude stops growing once it is out of range, so that no run of digits can wrap it.
  int64_t magnitude = 0;
  for (unsigned digit; (digit = static_cast<unsigned char>(*p) - '0') <= 9; ++p) {
    if (magnitude <= -kLowestLineNumber) magnitude = magnitude * 10 + digit;
  }
  if (p == firstDigit) return LineError::missingLineNumber;
  int64_t value = negative ? -magnitude : magnitude;
  if (value < kLowestLineNumber || value > kHighestLineNumber || value == dump::kEndMarker)
    return LineError::lineNumberOutOfRange;
  number = static_cast<int>(value);
  line = *p == ' ' ? p + 1 : p;
  return LineError::none;
}

namespace {

// The bodies of encodeRecord, written out in the loop over the lines of a read-ahead: a call there
// instead costs KALDEX 15-18% more instructions (callgrind, a 16 MiB listing: 156.2 M against
// 132.1 M; with -2K 201.4 M against 175.1 M). Check with scripts/bench before folding one back
// into a call.
inline LineError encodeElements(const char*& line, char*& out, std::string_view& word) {
  const char* p = line;
  char* o = out;  // kept in a register, not behind the reference
  LineError error = LineError::none;
  while (true) {
    auto c = static_cast<unsigned char>(*p);
    if (c >= kFirstLiteral && c <= kLastLiteral) {
      // A run of characters that stand for themselves, eight at a time: all eight are copied,
      // and o moves past those of the run. Another element follows it.
      size_t run;
      do {
        uint64_t bytes = loadWord(p);
        storeWord(o, bytes);
        run = lowestMarkedByte(marksOutside(bytes, kFirstLiteral, kLastLiteral));
        p += run;
        o += run;
      } while (run == 8);
      c = static_cast<unsigned char>(*p);
    }
    if (c > kLastLiteral && c <= kWordLast && c != '{') {
      // A word runs to the next blank, which belongs to it, or to the line end. An input word
      // is one of up to kLongestWord bytes above 32 followed by one of these.
      uint64_t bytes = loadWord(p);
      uint64_t marks = marksBelow(bytes, ' ' + 1);
      size_t length = lowestMarkedByte(marks);
      uint64_t key = bytes & (marks ^ (marks - 1)) >> 8;  // the bytes below the lowest mark
      const WordSlot& slot = wordSlotFor(key);
      if (marks == 0 || (kWordEnds >> p[length] & 1) == 0 || slot.key != key) {
        word = std::string_view(p, static_cast<size_t>(findWordEnd(p) - p));
        error = LineError::unknownToken;
        break;
      }
      *o++ = static_cast<char>(slot.code);
      // Whether the word ends in a blank, from the bytes at hand rather than read again: a blank
      // is then marked where the word ends, and exactly, for no blank comes before it.
      p += length + ((marksOf(bytes, ' ') & marks & (0 - marks)) != 0);
    } else if (c == '{') {
      // The number ends before the first "}" or at it, and no line end byte is part of it.
      const char* close = p + 1;
      int64_t value = parseNumber(close);
      if (*close != '}') close = findBraceOrLineEnd(close);
      if (*close != '}') {
        error = LineError::missingBrace;
        break;
      }
      *o++ = static_cast<char>(value);
      p = close + 1;
    } else {
      if (!isLineEnd(*p)) error = LineError::invalidCharacter;
      break;
    }
  }
  line = p;
  out = o;
  return error;
}

inline LineError encodeRecordInline(const char*& line, const ConverterOptions& options, char*& out,
                                    std::string_view& word) {
  if (options.baud2000) {
    int number = 0;
    LineError error = parseLineNumber(line, number);
    if (error != LineError::none) return error;
    dump::encodeWord(out, number);
    out += dump::kWordSize;
  }
  return encodeElements(line, out, word);
}

}  // namespace

size_t recordRoom(size_t count, size_t lines, const ConverterOptions& options) {
  return count + kEncodeSlack + (options.baud2000 ? lines : 0);
}

LineError encodeRecord(const char*& line, const ConverterOptions& options, char*& out,
                       std::string_view& word) {
  return encodeRecordInline(line, options, out, word);
}

const char* encodeWholeLines(std::string_view readAhead, const ConverterOptions& options,
                             char*& out, int64_t& lines) {
  const char* p = readAhead.data();
  const char* end = p + readAhead.size();
  while (p < end) {
    const char* line = p;
    char* o = out;
    std::string_view word;
    if (encodeRecordInline(p, options, o, word) != LineError::none || p == end ||
        (*p == '\r' && p + 1 == end)) {
      return line;
    }
    *o++ = static_cast<char>(dump::kLineEnd);
    out = o;
    ++lines;
    p += *p == '\r' && p[1] == '\n' ? 2 : 1;
  }
  return end;
}
