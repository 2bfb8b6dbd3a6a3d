// The conversion of a text listing into a dump of line records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

enum class LineError {
  none,
  invalidCharacter,      // a tab, another control character, or any character above 127
  unknownToken,          // a word that is not in the input table
  missingBrace,          // a "{" without a "}" after it on the same line
  missingLineNumber,     // 2000-baud layout: the line does not begin with digits or "-" and digits
  lineNumberOutOfRange,  // 2000-baud layout: outside -32768..32767, or the end marker -256
};

// A listing is UTF-8 and is encoded in its bytes as read: the elements are made of ASCII
// characters, and decoding turns each ASCII byte into the same character and every other byte
// into characters above 127, which the rules below treat all alike.
//
// A line to encode is given by its first byte and ends at its first CR, LF or zero byte, with
// kLinePadding (services/files.h) after it: as readLineBytes and readAhead give lines.

// The number of a numeric escape at text: blanks and tabs, one sign, then "$" hexadecimal, "%"
// binary or decimal digits up to the first byte that is not one; 0 without digits. Wraps in 64
// bits. Moves text past the bytes of the number; a zero byte or a "}" ends it in any case.
int64_t parseNumber(const char*& text);

// The room encodeLine needs at out beyond one byte for each byte of the line.
constexpr size_t kEncodeSlack = 8;

// Writes the dump bytes of the line's elements at out, without the line end, and moves out past
// them; out must have room for the line's length and kEncodeSlack. On success line is moved to
// the line's end byte. Stops at the first element in error, after the bytes of the elements
// before it; for an unknown token, word is the word that was looked up.
LineError encodeLine(const char*& line, char*& out, std::string_view& word);

// The line number that begins every line of a 2000-baud listing: an optional "-" and one or more
// decimal digits, then at most one blank, which belongs to the number. On success number is its
// value and line is moved to where the line's content begins. A number too long for 64 bits is
// out of range; it never wraps.
LineError parseLineNumber(const char*& line, int& number);

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
