// The conversion of a text listing into a dump of line records.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum class LineError {
  none,
  invalidCharacter,  // a tab, another control character, or any character above 127
  unknownToken,      // a word that is not in the input table
  missingBrace,      // a "{" without a "}" after it on the same line
};

// The number of a numeric escape: blanks and tabs, one sign, then "$" hexadecimal, "%" binary or
// decimal digits up to the first character that is not one; 0 without digits. Wraps in 64 bits.
int64_t parseNumber(std::u16string_view text);

// Appends the dump bytes of the line's elements to bytes, without the line end. Stops at the first
// element in error, leaving the bytes of the elements before it; for an unknown token, word is
// the word that was looked up.
LineError encodeLine(std::u16string_view line, std::string& bytes, std::u16string_view& word);

enum class ConversionEnd { finished, listingError, readError, writeError };

// Converts file 0, a listing, into line records in file 1, up to the end of the input or the
// first error. A listing error is reported on the console (the message with the line number, the
// line as read, an empty line); read and write errors are left to the caller.
ConversionEnd convertListing();
