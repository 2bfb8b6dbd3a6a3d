#include "converter/line_encoder.h"

#include "basicdata/dump_format.h"
#include "basicdata/tokens.h"
#include "services/console.h"
#include "services/files.h"
#include "services/text.h"

namespace {

// The listing's characters 31..93 stand for the byte of their own code: "erase" and the
// printable characters.
constexpr char16_t kFirstLiteral = dump::kErase;
constexpr char16_t kLastLiteral = dump::kLastPrintable;
constexpr char16_t kWordLast = 127;  // 94..127 but "{" begin a word

// A line number word holds -32768..32767; -256 is taken by the end marker.
constexpr int64_t kLowestLineNumber = -32768;
constexpr int64_t kHighestLineNumber = 32767;

int digitValue(char16_t c, int base) {
  int value = base;  // not a digit
  if (c >= u'0' && c <= u'9') value = c - u'0';
  if (c >= u'A' && c <= u'F') value = c - u'A' + 10;
  if (c >= u'a' && c <= u'f') value = c - u'a' + 10;
  return value < base ? value : -1;
}

// A 16-bit word of a 2000-baud dump, low byte first, in two's complement.
void appendWord(std::string& bytes, int value) {
  uint16_t word = static_cast<uint16_t>(value);
  bytes.push_back(static_cast<char>(word & 0xFF));
  bytes.push_back(static_cast<char>(word >> 8));
}

const char16_t* findUnit(const char16_t* p, const char16_t* end, char16_t unit) {
  while (p < end && *p != unit)
    ++p;
  return p;
}

}  // namespace

int64_t parseNumber(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  int base = 10;
  if (i < text.size() && text[i] == u'$') {
    base = 16;
    ++i;
  } else if (i < text.size() && text[i] == u'%') {
    base = 2;
    ++i;
  }
  uint64_t value = 0;  // unsigned, so that overflow wraps without undefined behaviour
  for (; i < text.size(); ++i) {
    int digit = digitValue(text[i], base);
    if (digit < 0) break;
    value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
  }
  if (negative) value = 0 - value;
  return static_cast<int64_t>(value);
}

LineError encodeLine(std::u16string_view line, std::string& bytes, std::u16string_view& word) {
  // Every element takes at least one character and gives one byte, so the line's length is room
  // enough; the bytes are cut to those written at the end.
  size_t start = bytes.size();
  bytes.resize(start + line.size());
  char* out = &bytes[start];
  const char16_t* p = line.data();
  const char16_t* end = p + line.size();
  LineError error = LineError::none;
  while (p < end) {
    char16_t c = *p;
    if (c >= kFirstLiteral && c <= kLastLiteral) {
      // A run of characters that stand for themselves.
      do {
        *out++ = static_cast<char>(*p++);
      } while (p < end &&
               static_cast<char16_t>(*p - kFirstLiteral) <= kLastLiteral - kFirstLiteral);
    } else if (c == u'{') {
      const char16_t* close = findUnit(p + 1, end, u'}');
      if (close == end) {
        error = LineError::missingBrace;
        break;
      }
      *out++ = static_cast<char>(parseNumber(std::u16string_view(p + 1, close - p - 1)));
      p = close + 1;
    } else if (c > kLastLiteral && c <= kWordLast) {
      // Only a blank ends a word, and that one blank belongs to the word.
      const char16_t* blank = findUnit(p, end, u' ');
      word = std::u16string_view(p, blank - p);
      int code = codeOf(inputTable, word);
      if (code == kNoCode) {
        error = LineError::unknownToken;
        break;
      }
      *out++ = static_cast<char>(code);
      p = blank == end ? end : blank + 1;
    } else {
      error = LineError::invalidCharacter;
      break;
    }
  }
  bytes.resize(static_cast<size_t>(out - bytes.data()));
  return error;
}

LineError parseLineNumber(std::u16string_view line, int& number, size_t& contentStart) {
  size_t i = 0;
  bool negative = i < line.size() && line[i] == u'-';
  if (negative) ++i;
  size_t firstDigit = i;
  // The magnitude stops growing once it is out of range, so that no run of digits can wrap it.
  int64_t magnitude = 0;
  for (; i < line.size() && line[i] >= u'0' && line[i] <= u'9'; ++i) {
    if (magnitude <= -kLowestLineNumber) magnitude = magnitude * 10 + (line[i] - u'0');
  }
  if (i == firstDigit) return LineError::missingLineNumber;
  int64_t value = negative ? -magnitude : magnitude;
  if (value < kLowestLineNumber || value > kHighestLineNumber || value == dump::kEndMarker)
    return LineError::lineNumberOutOfRange;
  number = static_cast<int>(value);
  contentStart = i < line.size() && line[i] == u' ' ? i + 1 : i;
  return LineError::none;
}

ConversionEnd convertListing(DumpLayout layout) {
  std::u16string line;
  std::string bytes;
  int64_t lineNumber = 0;
  while (!atEndOfFile(0)) {
    readLine(0, line);
    if (fileFailed(0)) return ConversionEnd::readError;
    ++lineNumber;
    bytes.clear();
    std::u16string_view word;
    std::u16string_view content = line;
    LineError error = LineError::none;
    if (layout == DumpLayout::baud2000) {
      int value = 0;
      size_t contentStart = 0;
      error = parseLineNumber(line, value, contentStart);
      if (error == LineError::none) {
        appendWord(bytes, value);
        content.remove_prefix(contentStart);
      }
    }
    if (error == LineError::none) error = encodeLine(content, bytes, word);
    if (error == LineError::none) bytes.push_back(static_cast<char>(dump::kLineEnd));
    writeBytes(1, bytes.data(), bytes.size());
    if (fileFailed(1)) return ConversionEnd::writeError;
    if (error != LineError::none) {
      std::u16string message;
      std::u16string number = decimalText(lineNumber);
      switch (error) {
        case LineError::invalidCharacter:
          message = u"Error: invalid character at line " + number;
          break;
        case LineError::unknownToken:
          message = u"Error: unknown token at line " + number + u" - #";
          message.append(word);
          message += u"#";
          break;
        case LineError::missingLineNumber:
          message = u"Error: missing line number at line " + number;
          break;
        case LineError::lineNumberOutOfRange:
          message = u"Error: line number out of range at line " + number;
          break;
        default:
          message =
              u"Error: got to end of line without finding right brace to match left brace at "
              u"line " +
              number;
          break;
      }
      printLine(message);
      printLine(line);
      printLine(u"");
      return ConversionEnd::listingError;
    }
  }
  if (fileFailed(0)) return ConversionEnd::readError;
  if (layout == DumpLayout::baud2000) {
    // The end marker closes a 2000-baud recording, also one without lines.
    bytes.clear();
    appendWord(bytes, dump::kEndMarker);
    writeBytes(1, bytes.data(), bytes.size());
    if (fileFailed(1)) return ConversionEnd::writeError;
  }
  return ConversionEnd::finished;
}
