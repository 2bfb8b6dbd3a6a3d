#include "lister/lister_run.h"

#include <string>

#include "lister/renderer.h"
#include "services/console.h"
#include "services/run_files.h"
#include "services/system.h"
#include "services/text.h"
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

// Sets the flag that option names; false when it names none.
bool setOption(std::u16string_view option, ListerOptions& options) {
  std::u16string name = toUpper(option);
  if (name == u"-2K") {
    options.baud2000 = true;
  } else if (name == u"-E") {
    options.editable = true;
  } else if (name == u"-N") {
    options.charNumbers = true;
  } else if (name == u"-V") {
    options.viperSoft = true;
  } else {
    return false;
  }
  return true;
}

}  // namespace

int runLister() {
  int count = parameterCount();
  if (count == 0 || count == 1) {
    for (const char16_t* line : kUsage)
      printLine(line);
    return kExitSuccess;
  }
  ListerOptions options;
  for (int i = 2; i < count; ++i) {
    std::u16string option = parameterAt(i);
    if (!setOption(option, options)) return reportFailure(u"Invalid parameter: ", option);
  }

  std::u16string input = parameterAt(0);
  std::u16string output = parameterAt(1);
  int status;
  if (!openRunFiles(input, output, status)) return status;
  renderDump(options);
  return closeRunFiles(input, output);
}
