// Both runs, in process, with the console text caught by a sink.
#include <gtest/gtest.h>

#include <string>

#include "converter/converter_run.h"
#include "lister/lister_run.h"
#include "platform/descriptors.h"
#include "platform/system.h"
#include "services/console.h"

namespace {

std::u16string printed;

void keepText(std::u16string_view text, bool lineEnd) {
  printed += text;
  if (lineEnd) printed += u'\n';
}

// Linux gives a process started with an empty argv an empty name, so only a run in process
// reaches the case of a command line without even the program's name.
TEST(Runs, StartWithoutEvenANameOpensTheEmptyPath) {
  // The state the test process starts in too: it keeps no command line of its own.
  static char* noArguments[] = {nullptr};
  keepCommandLine(0, noArguments);
  ConsoleSink console = setConsoleSink(keepText);
  EXPECT_EQ(-1, parameterCount());
  for (int (*run)() : {runConverter, runLister}) {
    printed.clear();
    EXPECT_EQ(kExitFailure, run());
    EXPECT_EQ(u"Can't open file: \n\n", printed);
  }
  setConsoleSink(console);
}

}  // namespace
