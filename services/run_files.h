// The steps that both programs' runs share: the usage screen or the options, then open the input,
// ask before an existing output is replaced, create the output, convert, close both files, and
// report what went wrong with either.
#pragma once

#include <span>
#include <string_view>

// What a program's run does in the shared steps.
struct RunSteps {
  std::span<const char16_t* const> usage;  // printed when the run has fewer than two parameters
  // Takes an option that follows the two paths, upper-cased; false when it names none.
  bool (*setOption)(std::u16string_view option);
  // The conversion, from kInputFile to kOutputFile; false after a listing error it reported.
  bool (*convert)();
};

// The whole run: the usage screen for fewer than two parameters; else the options (the first one
// that names none is reported, before any file is touched), the files, the conversion, and the
// files closed. Returns the exit status.
int runSteps(const RunSteps& steps);

// Prints message followed by subject, a path or a parameter shown as visibleText, then an empty
// line. Returns the failure exit status.
int reportFailure(std::u16string_view message, std::u16string_view subject);

// Opens input as kInputFile and creates output as kOutputFile. When the output exists the user is
// asked first. On failure the message is printed and the exit status is returned in status.
bool openRunFiles(std::u16string_view input, std::u16string_view output, int& status);

// Closes both files after a conversion, reporting a failed read of the input or a failed write of
// the output (including the last bytes written at the close). Returns the exit status.
int closeRunFiles(std::u16string_view input, std::u16string_view output);
