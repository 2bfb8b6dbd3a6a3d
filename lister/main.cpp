#include "lister/lister_run.h"
#include "services/console.h"
#include "services/system.h"

int main(int argc, char** argv) {
  startRun(argc, argv);
  keepMemoryReserve();
  endRun(runLister());
}
