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
    u"    KALDEX program.txt output.prg [-2K]",
    u"    -2K:",
    u"      write .prg as a 2000-baud recording instead of a 300-baud one.",
    u"",
};

// "-2K", the only option, may be repeated; once is enough to select the 2000-baud layout.
constexpr std::u16string_view kOptions[] = {u"-2K"};

}  // namespace

int runConverter() {
  unsigned given;
  int status;
  if (!readParameters(kUsage, kOptions, given, status) || !openRunFiles(status)) return status;
  ConversionEnd end = convertListing(given != 0 ? DumpLayout::baud2000 : DumpLayout::baud300);
  return closeRunFiles(end == ConversionEnd::listingError);
}
