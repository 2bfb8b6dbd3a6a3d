#include "lister/lister_run.h"

#include <string_view>

#include "lister/renderer.h"
#include "services/run_files.h"
#include "services/version.h"

namespace {

const char16_t* const kUsage[] = {
    u"",
    u"MORVIX Version " PROGRAM_VERSION u" - Converts a Bally Basic binary dump to a text file",
    u"",
    u"  Usage:",
    u"    MORVIX program.prg output.txt [-e] [-n] [-v] [-2k]",
    u"    -e:",
    u"      editable output, special characters and commands are converted to",
    u"      lowercase words",
    u"    -n:",
    u"      display character number {n} on unrecognized characters,",
    u"      instead of question marks",
    u"    -v:",
    u"      look for VIPERSoft BASIC keywords, otherwise assume Bally BASIC",
    u"    -2k:",
    u"      process .prg as a 2000-baud recording instead of a 300-baud one.",
    u"",
};

// Each sets its flag of ListerOptions, in this order.
constexpr std::u16string_view kOptions[] = {u"-E", u"-N", u"-V", u"-2K"};

}  // namespace

int runLister() {
  unsigned given;
  int status;
  if (!readParameters(kUsage, kOptions, given, status) || !openRunFiles(status)) return status;
  renderDump({.editable = (given & 1) != 0,
              .charNumbers = (given & 2) != 0,
              .viperSoft = (given & 4) != 0,
              .baud2000 = (given & 8) != 0});
  return closeRunFiles(false);
}
