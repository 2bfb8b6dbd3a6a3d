// KALDEX over arbitrary listing bytes, in both layouts: no crash, and a listing it accepts comes
// back to the same dump after MORVIX -e -n -v (-2k) and KALDEX (-2K) again; with -s too when it
// holds nothing that -s reads otherwise. The same bytes as a
// command line and as numeric escapes: decoded for a parameter they encode back unchanged, words
// split from a command line split the same from one rebuilt of them, and each "{...}" is the
// number a plain reading of its text gives, modulo 256.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/command_line.h"
#include "services/files.h"
#include "services/text.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The conversion errors go to the standard output; they are not what is looked at here.
  int null = open("/dev/null", O_WRONLY);
  if (null >= 0) dup2(null, STDOUT_FILENO);
  return 0;
}

namespace {

// Whether the reading form has nothing to read otherwise: outside quotes and escapes no capital,
// and no word a to d (a letter a to d before a blank or a line end, and after no lower-case
// letter).
bool readsAlike(std::string_view listing) {
  bool quoted = false;
  for (size_t i = 0; i < listing.size(); ++i) {
    char c = listing[i];
    if (c == '{') {
      i = std::min(listing.find_first_of(std::string_view("}\r\n\0", 4), i), listing.size() - 1);
      c = listing[i];
    }
    if (isLineEnd(c) || c == '"') {
      quoted = c == '"' && !quoted;
    } else if ((c >= 'A' && c <= 'Z' && !quoted) ||
               (c >= 'a' && c <= 'd' &&
                (i + 1 == listing.size() || listing[i + 1] == ' ' || isLineEnd(listing[i + 1])) &&
                (i == 0 || listing[i - 1] < 'a' || listing[i - 1] > 'z'))) {
      return false;
    }
  }
  return true;
}

void checkRoundTrip(std::string_view listing, bool baud2000) {
  ConversionEnd end = ConversionEnd::readError;
  std::string dump =
      runInMemory({std::string(listing)}, [&] { end = convertListing({.baud2000 = baud2000}); });
  require(end == ConversionEnd::finished || end == ConversionEnd::listingError,
          "only a listing error stops a conversion in memory");
  if (end != ConversionEnd::finished) return;
  if (readsAlike(listing)) {
    std::string read = runInMemory({std::string(listing)}, [&] {
      end = convertListing({.baud2000 = baud2000, .readingForm = true});
    });
    require(end == ConversionEnd::finished && read == dump,
            "a listing with nothing for -s to read otherwise converts alike with it");
  }
  require(baud2000 ? dump.size() >= 2 && dump.compare(dump.size() - 2, 2, "\x00\xFF", 2) == 0
                   : dump.empty() || dump.back() == '\r',
          "an accepted listing gives whole lines, in 2000 baud closed by the end marker");
  // A 13 in a record's content splits it when listed, and the split can make an end marker.
  if (!baud2000 || recordingOf(dump) == dump) requireRoundTrip(dump, baud2000);
}

// The number of an escape's text read the plain way: blanks and tabs, a sign, "$" or "%", then
// the digits of that base up to the first other character, wrapping in 64 bits.
uint64_t plainNumber(std::string_view text) {
  size_t i = std::min(text.find_first_not_of(" \t"), text.size());
  bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  uint64_t base = 10;
  if (i < text.size() && (text[i] == '$' || text[i] == '%')) base = text[i++] == '$' ? 16 : 2;
  uint64_t value = 0;
  for (; i < text.size(); ++i) {
    size_t digit = std::string_view("0123456789abcdefABCDEF").find(text[i]);
    if ((digit < 16 ? digit : digit - 6) >= base) break;
    value = value * base + (digit < 16 ? digit : digit - 6);
  }
  return negative ? 0 - value : value;
}

// An error leaves the first line of bytes at the element in error, in every way of reading it.
void checkErrorPlace(std::string_view bytes) {
  std::string line(bytes.substr(0, bytes.find_first_of(std::string_view("\r\n\0", 3))));
  line.append(kLinePadding + 1, '\0');
  std::string out(line.size() + kEncodeSlack + 1, '\0');
  for (int way = 0; way < 4; ++way) {
    const char* at = line.data();
    char* end = out.data();
    std::string_view word;
    switch (encodeRecord(at, {.baud2000 = (way & 1) != 0, .readingForm = way > 1}, end, word)) {
      case LineError::none:
        break;
      case LineError::invalidCharacter: {
        auto c = static_cast<unsigned char>(*at);
        require((c < 31 && !isLineEnd(c)) || c > 127, "an invalid character is where it stops");
        break;
      }
      case LineError::unknownToken:
        require(!word.empty() && word.data() == at, "an unknown word is where it stops");
        break;
      case LineError::missingBrace:
        require(*at == '{', "a brace without its match is where it stops");
        break;
      case LineError::missingLineNumber:
      case LineError::lineNumberOutOfRange:
        require(at == line.data(), "a line number error stops at the line's start");
        break;
    }
  }
}

void checkText(std::string_view bytes) {
  std::u16string text;
  decodeUtf8(bytes, Utf8Errors::escape, text);
  std::string back;
  encodeUtf8(text, back);
  require(back == bytes, "a parameter's bytes come back unchanged");

  std::vector<std::u16string> words = splitCommandLine(text);
  std::u16string line;
  for (const std::u16string& word : words) {
    // Only a bare word can hold a quote, and a bare word holds no blank and starts with no quote.
    bool holdsQuote = word.find(u'"') != std::u16string::npos;
    require(!holdsQuote || (word.find(u' ') == std::u16string::npos && word[0] != u'"'),
            "a word with a quote in it is bare");
    line += (line.empty() ? u"" : u" ") + (holdsQuote ? word : u'"' + word + u'"');
  }
  require(splitCommandLine(line) == words, "a rebuilt command line splits the same");

  for (size_t open = bytes.find('{'), close = 0; open != std::string_view::npos;
       open = bytes.find('{', close)) {
    close = std::min(bytes.find('}', open), bytes.size());
    std::string_view number = bytes.substr(open + 1, close - open - 1);
    if (number.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) continue;
    uint64_t value = plainNumber(number);
    // A line as the converter is given it: its end byte, then padding.
    std::string line = "{" + std::string(number) + "}" + std::string(kLinePadding + 1, '\0');
    const char* at = line.data() + 1;
    require(static_cast<uint64_t>(parseNumber(at)) == value,
            "parseNumber reads a number as written");
    std::string out(line.size() + kEncodeSlack, '\0');
    char* end = out.data();
    std::string_view word;
    at = line.data();
    require(encodeRecord(at, {}, end, word) == LineError::none && end == out.data() + 1 &&
                out[0] == static_cast<char>(value),
            "an escape is its number modulo 256");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  checkRoundTrip(bytes, false);
  checkRoundTrip(bytes, true);
  checkText(bytes);
  checkErrorPlace(bytes);
  return 0;
}
