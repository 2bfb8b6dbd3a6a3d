// The page's one module holds both programs; the name it is started under picks the run.
#include <cstring>

#include "converter/converter_run.h"
#include "lister/lister_run.h"
#include "services/console.h"

int main(int argc, char** argv) {
  bool lister = argc > 0 && std::strcmp(argv[0], "MORVIX") == 0;
  runProgram(argc, argv, lister ? runLister : runConverter);
}
