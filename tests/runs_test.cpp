// Both runs, in process.
#include <gtest/gtest.h>

#include <string>

#include "converter/converter_run.h"
#include "lister/lister_run.h"
#include "platform/descriptors.h"
#include "platform/system.h"
#include "services/console.h"
#include "tests/console_text.h"

namespace {

// Linux gives a process started with an empty argv an empty name, so only a run in process
// reaches the case of a command line without even the program's name.
TEST(Runs, StartWithoutEvenANameOpensTheEmptyPath) {
  // The state the test process starts in too: it keeps no command line of its own.
  static char* noArguments[] = {nullptr};
  keepCommandLine(0, noArguments);
  EXPECT_EQ(-1, parameterCount());
  for (int (*run)() : {runConverter, runLister}) {
    int status = kExitSuccess;
    EXPECT_EQ("Can't open file: \n\n", catchConsole([&] { status = run(); }));
    EXPECT_EQ(kExitFailure, status);
  }
}

}  // namespace
