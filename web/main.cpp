// The page's one module holds both programs; the name it is started under picks the run.
#include <cstring>

#include "converter/converter_run.h"
#include "lister/lister_run.h"
#include "services/console.h"
#include "services/system.h"

int main(int argc, char** argv) {
  startRun(argc, argv);
  keepMemoryReserve();
  bool lister = argc > 0 && std::strcmp(argv[0], "MORVIX") == 0;
  endRun(lister ? runLister() : runConverter());
}
