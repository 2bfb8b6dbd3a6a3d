#include "converter/line_encoder.h"

#include <array>
#include <cstring>

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

// The bytes first..last, where 0 < first <= last < 128, exact in the lowest mark of an OR with
// marksOutside(word, first, last): a byte of 128 or more, which can carry into the byte above it,
// is marked there.
inline uint64_t marksInside(uint64_t word, unsigned first, unsigned last) {
  return (word + (128 - first) * kByteOnes) & ~(word + (127 - last) * kByteOnes) & ~word &
         kByteMarks;
}

bool isCapital(unsigned char c) {
  return c >= 'A' && c <= 'Z';
}

// The code of the command spelled in capitals by the length bytes at p, or kNoCode.
int commandCode(const char* p, size_t length) {
  if (length > kLongestWord) return kNoCode;
  uint64_t key = 0;  // the key of the lowercase word
  for (size_t i = length; i-- > 0;)
    key = key << 8 | static_cast<unsigned char>(p[i] | 0x20);
  const WordSlot& slot = wordSlotFor(key);
  return slot.key == key && slot.code >= dump::kFirstCommand ? slot.code : kNoCode;
}

// The code of the symbol whose UTF-8 bytes begin at p, which then moves past them, or kNoCode.
int symbolCode(const char*& p) {
  for (const SymbolBytes& symbol : symbolBytes) {
    if (std::memcmp(p, symbol.bytes, symbol.size) == 0) {
      p += symbol.size;
      return symbol.code;
    }
  }
  return kNoCode;
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
// instead costs KALDEX 15-19% more instructions (callgrind, a 16 MiB listing from scripts/bench's
// generator: 157.9 M against 132.8 M; with -2K 200.9 M against 174.0 M). Check with scripts/bench
// before folding one back into a call.
// The reading form is compiled as a second body, so that the default one keeps its code.
template <bool kReadingForm>
inline LineError encodeElements(const char*& line, char*& out, std::string_view& word) {
  const char* p = line;
  char* o = out;  // kept in a register, not behind the reference
  LineError error = LineError::none;
  [[maybe_unused]] bool quoted = false;  // the reading form: after an odd number of quotes
  while (true) {
    auto c = static_cast<unsigned char>(*p);
    if (c >= kFirstLiteral && c <= kLastLiteral) {
      // A run of characters that stand for themselves, eight at a time: all eight are copied,
      // and o moves past those of the run. Another element follows it. In the reading form a
      // quote, and outside quotes a capital, is an element of its own.
      size_t run;
      do {
        uint64_t bytes = loadWord(p);
        storeWord(o, bytes);
        uint64_t ends = marksOutside(bytes, kFirstLiteral, kLastLiteral);
        if constexpr (kReadingForm)
          ends |= marksOf(bytes, '"') | (quoted ? 0 : marksInside(bytes, 'A', 'Z'));
        run = lowestMarkedByte(ends);
        p += run;
        o += run;
      } while (run == 8);
      c = static_cast<unsigned char>(*p);
    }
    if constexpr (kReadingForm) {
      if (c == '"') {
        *o++ = '"';
        ++p;
        quoted = !quoted;
        continue;
      }
      if (isCapital(c)) {
        // Only a whole run of capitals can be a command, which takes one blank after it.
        const char* end = p;
        while (isCapital(static_cast<unsigned char>(*end)))
          ++end;
        int code = commandCode(p, static_cast<size_t>(end - p));
        if (code != kNoCode) {
          *o++ = static_cast<char>(code);
          p = end + (*end == ' ');
        } else {
          while (p != end)
            *o++ = *p++;
        }
        continue;
      }
      if (c > kWordLast) {
        int code = symbolCode(p);
        if (code != kNoCode) {
          *o++ = static_cast<char>(code);
          continue;
        }
      }
    }
    if (c > kLastLiteral && c <= kWordLast && c != '{') {
      // A word runs to the next blank, which belongs to it, or to the line end. An input word
      // is one of up to kLongestWord bytes above 32 followed by one of these.
      uint64_t bytes = loadWord(p);
      uint64_t marks = marksBelow(bytes, ' ' + 1);
      size_t length = lowestMarkedByte(marks);
      uint64_t key = bytes & (marks ^ (marks - 1)) >> 8;  // the bytes below the lowest mark
      const WordSlot& slot = wordSlotFor(key);
      bool known = marks != 0 && (kWordEnds >> p[length] & 1) != 0 && slot.key == key;
      if constexpr (kReadingForm) {
        // A one-letter word is one of a to d, which are read as a run of letters below.
        if ((!known || length == 1) && c >= 'a' && c <= 'z') {
          const char* end = p;
          while (*end >= 'a' && *end <= 'd')
            *o++ = static_cast<char>(dump::kFirstLetterSpecial + (*end++ - 'a'));
          if (*end < 'a' || *end > 'z') {
            p = end;
            continue;
          }
          o -= end - p;
        }
      }
      if (!known) {
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

template <bool kReadingForm>
inline LineError encodeRecordInline(const char*& line, bool baud2000, char*& out,
                                    std::string_view& word) {
  if (baud2000) {
    int number = 0;
    LineError error = parseLineNumber(line, number);
    if (error != LineError::none) return error;
    dump::encodeWord(out, number);
    out += dump::kWordSize;
  }
  return encodeElements<kReadingForm>(line, out, word);
}

template <bool kReadingForm>
const char* encodeLines(std::string_view readAhead, bool baud2000, char*& out, int64_t& lines) {
  const char* p = readAhead.data();
  const char* end = p + readAhead.size();
  while (p < end) {
    const char* line = p;
    char* o = out;
    std::string_view word;
    if (encodeRecordInline<kReadingForm>(p, baud2000, o, word) != LineError::none || p == end ||
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

}  // namespace

size_t recordRoom(size_t count, size_t lines, const ConverterOptions& options) {
  return count + kEncodeSlack + (options.baud2000 ? lines : 0);
}

LineError encodeRecord(const char*& line, const ConverterOptions& options, char*& out,
                       std::string_view& word) {
  return options.readingForm ? encodeRecordInline<true>(line, options.baud2000, out, word)
                             : encodeRecordInline<false>(line, options.baud2000, out, word);
}

const char* encodeWholeLines(std::string_view readAhead, const ConverterOptions& options,
                             char*& out, int64_t& lines) {
  return options.readingForm ? encodeLines<true>(readAhead, options.baud2000, out, lines)
                             : encodeLines<false>(readAhead, options.baud2000, out, lines);
}
