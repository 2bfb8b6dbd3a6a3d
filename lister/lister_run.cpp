#include "lister/lister_run.h"

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

ListerOptions options;

// Sets the flag that option names; false when it names none.
bool setOption(std::u16string_view option) {
  if (option == u"-2K") {
    options.baud2000 = true;
  } else if (option == u"-E") {
    options.editable = true;
  } else if (option == u"-N") {
    options.charNumbers = true;
  } else if (option == u"-V") {
    options.viperSoft = true;
  } else {
    return false;
  }
  return true;
}

bool render() {
  renderDump(options);
  return true;
}

}  // namespace

int runLister() {
  return runSteps({kUsage, setOption, render});
}
