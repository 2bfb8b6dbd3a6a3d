#include "services/run_files.h"

#include <string>

#include "services/console.h"
#include "services/files.h"
#include "services/system.h"
#include "services/text.h"

int reportFailure(std::u16string_view message, std::u16string_view subject) {
  std::u16string line(message);
  line.append(visibleText(subject));
  printLine(line);
  printLine(u"");
  return kExitFailure;
}

bool openRunFiles(std::u16string_view input, std::u16string_view output, int& status) {
  if (!openForReading(0, input)) {
    status = reportFailure(u"Can't open file: ", input);
    return false;
  }
  // Only what holds data is asked about: writing to a FIFO, a pipe or a device loses nothing. A
  // file that cannot be opened for reading counts as new.
  if (!systemHoldsNothingToLose(output) && openForReading(1, output)) {
    closeFile(1);
    if (!confirmYesNo(u"Output file already exists. Overwrite? [y/n]")) {
      printLine(u"Operation aborted.");
      status = kExitFailure;
      return false;
    }
  }
  if (!createFile(1, output)) {
    status = reportFailure(u"An error ocurred while creating the output file: ", output);
    return false;
  }
  return true;
}

int closeRunFiles(std::u16string_view input, std::u16string_view output) {
  bool readFailed = fileFailed(0);
  closeFile(0);
  bool writeFailed = fileFailed(1);
  if (!closeFile(1)) writeFailed = true;
  if (readFailed) return reportFailure(u"An error occurred while reading the input file: ", input);
  if (writeFailed) {
    return reportFailure(u"An error occurred while writing the output file: ", output);
  }
  return kExitSuccess;
}
