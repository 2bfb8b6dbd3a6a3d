#include "converter/converter_run.h"

#include <string>

#include "converter/listing_conversion.h"
#include "services/console.h"
#include "services/run_files.h"
#include "services/system.h"
#include "services/text.h"
#include "services/version.h"

namespace {

const char16_t* const kUsage[] = {
    u"",
    // The capital "To" is this banner's own, which users and scripts match as it is.
    u"KALDEX Version " PROGRAM_VERSION u" - Converts a text file To a Bally Basic binary dump",
    u"",
    u"  Usage:",
    u"    KALDEX program.txt output.prg [-2K] [-s]",
    u"    -2K:",
    u"      write .prg as a 2000-baud recording instead of a 300-baud one.",
    u"    -s:",
    u"      read the listing as MORVIX shows it: capitals and symbols are commands.",
    u"",
};

}  // namespace

int runConverter() {
  int count = parameterCount();
  if (count == 0 || count == 1) {
    for (const char16_t* line : kUsage)
      printLine(line);
    return kExitSuccess;
  }
  // Each option may be repeated; once is enough to set it.
  ConverterOptions options;
  for (int i = 2; i < count; ++i) {
    std::u16string option = parameterAt(i);
    std::u16string upper = toUpper(option);
    if (upper == u"-2K") {
      options.baud2000 = true;
    } else if (upper == u"-S") {
      options.readingForm = true;
    } else {
      return reportFailure(u"Invalid parameter: ", option);
    }
  }

  std::u16string input = parameterAt(0);
  std::u16string output = parameterAt(1);
  int status;
  if (!openRunFiles(input, output, status)) return status;
  ConversionEnd end = convertListing(options);
  status = closeRunFiles(input, output);
  return end == ConversionEnd::listingError ? kExitFailure : status;
}
