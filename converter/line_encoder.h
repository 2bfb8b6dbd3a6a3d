// The conversion of a text listing into a dump of line records.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum class LineError {
  none,
  invalidCharacter,      // a tab, another control character, or any character above 127
  unknownToken,          // a word that is not in the input table
  missingBrace,          // a "{" without a "}" after it on the same line
  missingLineNumber,     // 2000-baud layout: the line does not begin with digits or "-" and digits
  lineNumberOutOfRange,  // 2000-baud layout: outside -32768..32767, or the end marker -256
};

// The number of a numeric escape: blanks and tabs, one sign, then "$" hexadecimal, "%" binary or
// decimal digits up to the first character that is not one; 0 without digits. Wraps in 64 bits.
int64_t parseNumber(std::u16string_view text);

// Appends the dump bytes of the line's elements to bytes, without the line end. Stops at the first
// element in error, leaving the bytes of the elements before it; for an unknown token, word is
// the word that was looked up.
LineError encodeLine(std::u16string_view line, std::string& bytes, std::u16string_view& word);

// The line number that begins every line of a 2000-baud listing: an optional "-" and one or more
// decimal digits, then at most one blank, which belongs to the number. On success number is its
// value and contentStart the index where the line's content begins. A number too long for 64 bits
// is out of range; it never wraps.
LineError parseLineNumber(std::u16string_view line, int& number, size_t& contentStart);

enum class DumpLayout {
  baud300,   // line records only; a line number is the digits at the start of the content
  baud2000,  // each record starts with its line number word; the end marker closes the dump
};

enum class ConversionEnd { finished, listingError, readError, writeError };

// Converts file 0, a listing, into line records in file 1, up to the end of the input or the
// first error. A listing error is reported on the console (the message with the line number, the
// line as read, an empty line); read and write errors are left to the caller. The 2000-baud end
// marker is written only when the whole listing has been converted.
ConversionEnd convertListing(DumpLayout layout = DumpLayout::baud300);
