// The steps that both programs' runs share around their conversion: the usage screen or the
// options, then open the input, ask before an existing output is replaced, create the output, and
// after the conversion close both files, reporting what went wrong with either.
#pragma once

#include <span>
#include <string_view>

// The first steps of a run: with fewer than two parameters the usage screen (false, status 0);
// else each parameter after the two paths must be one of the options, compared upper-cased (false
// at the first that is none, reported, status 1, before any file is touched). given has bit i set
// when options[i] was given, once or more.
bool readParameters(std::span<const char16_t* const> usage,
                    std::span<const std::u16string_view> options, unsigned& given, int& status);

// Prints message followed by subject, a path or a parameter shown as visibleText, then an empty
// line. Returns the failure exit status.
int reportFailure(std::u16string_view message, std::u16string_view subject);

// Opens the input, the first parameter, as kInputFile and creates the output, the second, as
// kOutputFile. When the output exists the user is asked first. On failure the message is printed
// and the exit status is returned in status.
bool openRunFiles(int& status);

// Closes both files after a conversion, reporting a failed read of the input or a failed write of
// the output (including the last bytes written at the close). Returns the exit status: a failure
// also when the conversion reported an error of its own (failed).
int closeRunFiles(bool failed);
