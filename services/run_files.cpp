#include "services/run_files.h"

#include <string>

#include "platform/system.h"
#include "services/console.h"
#include "services/files.h"
#include "services/text.h"

int reportFailure(std::u16string_view message, std::u16string_view subject) {
  std::u16string line(message);
  line.append(visibleText(subject));
  printLine(line);
  printLine(u"");
  return kExitFailure;
}

bool openRunFiles(std::u16string_view input, std::u16string_view output, int& status) {
  if (!openForReading(kInputFile, input)) {
    status = reportFailure(u"Can't open file: ", input);
    return false;
  }
  // Only what holds data is asked about: writing to a FIFO, a pipe or a device loses nothing. A
  // file that cannot be opened for reading counts as new.
  if (!systemHoldsNothingToLose(output) && openForReading(kOutputFile, output)) {
    closeFile(kOutputFile);
    if (!confirmYesNo(u"Output file already exists. Overwrite? [y/n]")) {
      printLine(u"Operation aborted.");
      status = kExitFailure;
      return false;
    }
  }
  if (!createFile(kOutputFile, output)) {
    // "ocurred", as this message has always been spelled: users and scripts match it as it is.
    status = reportFailure(u"An error ocurred while creating the output file: ", output);
    return false;
  }
  return true;
}

int closeRunFiles(std::u16string_view input, std::u16string_view output) {
  bool readFailed = fileFailed(kInputFile);
  closeFile(kInputFile);
  bool writeFailed = fileFailed(kOutputFile);
  if (!closeFile(kOutputFile)) writeFailed = true;
  if (readFailed) return reportFailure(u"An error occurred while reading the input file: ", input);
  if (writeFailed) {
    return reportFailure(u"An error occurred while writing the output file: ", output);
  }
  return kExitSuccess;
}

int runSteps(const RunSteps& steps) {
  int count = parameterCount();
  if (count == 0 || count == 1) {
    for (const char16_t* line : steps.usage)
      printLine(line);
    return kExitSuccess;
  }
  for (int i = 2; i < count; ++i) {
    std::u16string option = parameterAt(i);
    if (!steps.setOption(toUpper(option))) return reportFailure(u"Invalid parameter: ", option);
  }
  std::u16string input = parameterAt(0);
  std::u16string output = parameterAt(1);
  int status;
  if (!openRunFiles(input, output, status)) return status;
  bool converted = steps.convert();
  status = closeRunFiles(input, output);
  return converted ? status : kExitFailure;
}
