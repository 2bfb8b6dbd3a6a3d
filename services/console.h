// Console services that every system shares, built on what the system provides (system.h).
// Nothing here reports an error to the user: the messages belong to the programs.
#pragma once

#include <string_view>

// Exit statuses of both programs.
constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;

// Closes every open file, writing out what is still buffered, and ends the process.
[[noreturn]] void endRun(int status);

// Prints before, then bytes of UTF-8 text from outside the program as visibleText shows them,
// then after and a line end. A text of more than 64 KiB goes out in pieces of that size, each in
// a write of its own, so that showing a line of any length takes little more memory than the
// line; a shorter one is printed with printLine.
void printShownLine(std::u16string_view before, std::string_view bytes, std::u16string_view after);

// Sets memory aside for the end of the run. Should memory run out later, it is given back, "Not
// enough memory to go on." and an empty line are printed, and the run ends through endRun with
// status 1, the output keeping every byte written before.
void keepMemoryReserve();

// Prints the question, then echoes every key upper-cased on a line of its own until Y or N in
// either case. True for Y; false for N and when no key can come.
bool confirmYesNo(std::u16string_view question);
