#include "converter/converter_run.h"

#include <string_view>

#include "converter/listing_conversion.h"
#include "services/run_files.h"
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

// Each option may be repeated; once is enough to set it.
constexpr std::u16string_view kOptions[] = {u"-2K", u"-S"};

}  // namespace

int runConverter() {
  unsigned given;
  int status;
  if (!readParameters(kUsage, kOptions, given, status) || !openRunFiles(status)) return status;
  ConversionEnd end =
      convertListing({.baud2000 = (given & 1) != 0, .readingForm = (given & 2) != 0});
  return closeRunFiles(end == ConversionEnd::listingError);
}
