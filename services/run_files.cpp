#include "services/run_files.h"

#include <algorithm>
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

bool readParameters(std::span<const char16_t* const> usage,
                    std::span<const std::u16string_view> options, unsigned& given, int& status) {
  int count = parameterCount();
  status = kExitSuccess;
  if (count == 0 || count == 1) {
    for (const char16_t* line : usage)
      printLine(line);
    return false;
  }
  given = 0;
  for (int i = 2; i < count; ++i) {
    std::u16string option = parameterAt(i);
    auto named = std::find(options.begin(), options.end(), toUpper(option));
    if (named == options.end()) {
      status = reportFailure(u"Invalid parameter: ", option);
      return false;
    }
    given |= 1u << (named - options.begin());
  }
  return true;
}

bool openRunFiles(int& status) {
  std::u16string input = parameterAt(0);
  std::u16string output = parameterAt(1);
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

int closeRunFiles(bool failed) {
  bool readFailed = fileFailed(kInputFile);
  closeFile(kInputFile);
  bool writeFailed = fileFailed(kOutputFile);
  if (!closeFile(kOutputFile)) writeFailed = true;
  if (readFailed) {
    return reportFailure(u"An error occurred while reading the input file: ", parameterAt(0));
  }
  if (writeFailed) {
    return reportFailure(u"An error occurred while writing the output file: ", parameterAt(1));
  }
  return failed ? kExitFailure : kExitSuccess;
}
