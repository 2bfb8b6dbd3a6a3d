// The encoding of listing lines into the line records of a dump.
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

// The room that encoding a line needs at out beyond one byte for each byte of the line.
constexpr size_t kEncodeSlack = 8;

// The line number that begins every line of a 2000-baud listing: an optional "-" and one or more
// decimal digits, then at most one blank, which belongs to the number. On success number is its
// value and line is moved to where the line's content begins. A number too long for 64 bits is
// out of range; it never wraps.
LineError parseLineNumber(const char*& line, int& number);

// The reading form reads a line as MORVIX lists it by default. Outside quotes (each '"' of a line
// opens or closes one) a whole run of capitals that spells one of the 24 commands is that command,
// with one blank after it; other runs stay letters. The six symbols are 0x5E..0x63 anywhere. A
// word of the input table of two or more letters reads as in the editable form; otherwise a run of
// lowercase letters that holds only a to d is their special characters, without a blank. All else
// reads as in the editable form.
struct ConverterOptions {
  bool baud2000 = false;     // -2K: a line number word before every record, the end marker last
  bool readingForm = false;  // -s: capitals and symbols are commands, as MORVIX lists them
};

// The room that the records of lines of count bytes of the listing, with their line ends, need at
// out, the slack included. A record is no longer than its line, but in the 2000-baud layout,
// whose number word may be a byte longer than the digits it is read from.
size_t recordRoom(size_t count, size_t lines, const ConverterOptions& options);

// Writes the record of the line at line, without its line end, at out and moves out past it: in
// the 2000-baud layout its number word, then the bytes of its elements. out must have room for
// recordRoom(length of the line, 1, options). On success line is moved to the line's end byte.
// On an error the record holds the bytes of the elements before the one in error, and line is
// left at the start of that element: the line's start for a line number error, the "{" of a
// missing brace, the first byte of an unknown word, the invalid character. For an unknown token,
// word is the word that was looked up.
LineError encodeRecord(const char*& line, const ConverterOptions& options, char*& out,
                       std::string_view& word);

// Encodes the lines at the start of the read-ahead into their records at out, each with its line
// end, and counts them, up to the first line that has an error or that the read-ahead does not
// hold whole with its line end (and the byte after a CR). Returns where that line begins, or the
// end of the read-ahead.
const char* encodeWholeLines(std::string_view readAhead, const ConverterOptions& options,
                             char*& out, int64_t& lines);
