// The conversion loop of KALDEX: a listing, line by line, into the records of a dump.
#pragma once

#include "converter/line_encoder.h"

enum class ConversionEnd { finished, listingError, readError, writeError };

// Converts kInputFile, a listing, into line records in kOutputFile, up to the end of the input or
// the first error. A listing error is reported on the console (the message with the line number,
// the line as read, an empty line); read and write errors are left to the caller. The 2000-baud
// end marker is written only when the whole listing has been converted.
ConversionEnd convertListing(DumpLayout layout = DumpLayout::baud300);
