// Console services that every system shares, built on what the system provides (system.h).
// Nothing here reports an error to the user: the messages belong to the programs.
#pragma once

#include <string_view>

// Exit statuses of both programs.
constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;

// Closes every open file, writing out what is still buffered, and ends the process.
[[noreturn]] void endRun(int status);

// Prints the question, then echoes every key upper-cased on a line of its own until Y or N in
// either case. True for Y; false for N and when no key can come.
bool confirmYesNo(std::u16string_view question);
