// The file steps that both programs' runs share: open the input, ask before an existing output
// is replaced, create the output, and report what went wrong with either.
#pragma once

#include <string_view>

// Prints message followed by subject, a path or a parameter shown as visibleText, then an empty
// line. Returns the failure exit status.
int reportFailure(std::u16string_view message, std::u16string_view subject);

// Opens input as kInputFile and creates output as kOutputFile. When the output exists the user is
// asked first. On failure the message is printed and the exit status is returned in status.
bool openRunFiles(std::u16string_view input, std::u16string_view output, int& status);

// Closes both files after a conversion, reporting a failed read of the input or a failed write of
// the output (including the last bytes written at the close). Returns the exit status.
int closeRunFiles(std::u16string_view input, std::u16string_view output);
