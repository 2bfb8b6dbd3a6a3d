#include "converter/converter_run.h"
#include "services/console.h"

int main(int argc, char** argv) {
  runProgram(argc, argv, runConverter);
}
