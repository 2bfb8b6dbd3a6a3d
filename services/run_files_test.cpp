#include "services/run_files.h"

#include <gtest/gtest.h>

#include "converter/converter_run.h"
#include "lister/lister_run.h"
#include "services/console.h"
#include "services/system.h"

namespace {

// Linux gives a process started with an empty argv an empty name, so only a run in process
// reaches the case of a command line without even the program's name.
TEST(RunFiles, StartWithoutEvenANameOpensTheEmptyPath) {
  // Wine hands a program started with an empty command line its own name.
  if (WINDOWS_BUILD)
    GTEST_SKIP() << "POSIX only: Windows programs split the system's command "
                    "line, whose empty form Text.SplitCommandLine covers";
  char* noArguments[] = {nullptr};
  startRun(0, noArguments);
  EXPECT_EQ(-1, parameterCount());
  for (int (*run)() : {runConverter, runLister}) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(kExitFailure, run());
    EXPECT_EQ("Can't open file: \n\n", testing::internal::GetCapturedStdout());
  }
}

}  // namespace
