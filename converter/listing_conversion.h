// The conversion loop of KALDEX: a listing, line by line, into the records of a dump.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "converter/line_encoder.h"

enum class ConversionEnd { finished, listingError, readError, writeError };

// The first line of KALDEX's report of a listing error at the numbered line (counted from 1), such
// as "Error: invalid character at line 3"; that of an unknown token shows the word through
// visibleText. Empty for LineError::none.
std::u16string errorMessage(LineError error, int64_t lineNumber, std::string_view word);

// Converts kInputFile, a listing, into line records in kOutputFile, up to the end of the input or
// the first error. A listing error is reported on the console (the message with the line number,
// the line as read, an empty line); read and write errors are left to the caller. The 2000-baud
// end marker is written only when the whole listing has been converted.
ConversionEnd convertListing(const ConverterOptions& options);
