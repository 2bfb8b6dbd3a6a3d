// The console services that every system shares, built on what the system provides
// (platform/system.h): printing, the yes/no question, and the start and end of a run. They report
// no error of their own; the one message they print themselves is "Not enough memory to go on.".
#pragma once

#include <string_view>

// Exit statuses of both programs.
constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;

// A program's main: binds the console and the command line, sets memory aside for the end of the
// run, runs run and ends the process with the status it returns, every file closed. Should memory
// run out during the run, it is given back, "Not enough memory to go on." and an empty line are
// printed, and the run ends with status 1, the output keeping every byte written before.
[[noreturn]] void runProgram(int argc, char** argv, int (*run)());

// Closes every open file, writing out what is still buffered, and ends the process.
[[noreturn]] void endRun(int status);

// Where console text goes: the system's standard output, or a test's sink.
using ConsoleSink = void (*)(std::u16string_view text, bool lineEnd);
// Sends console text to sink from now on, or to the standard output again when it is null.
// Returns the sink it replaces.
ConsoleSink setConsoleSink(ConsoleSink sink);

// The text and a line end, in one write.
void printLine(std::u16string_view text);
// The text in one write without a line end: the start of a line that printLine ends.
void printPart(std::u16string_view text);

// Prints before, then bytes of UTF-8 text from outside the program as visibleText shows them,
// then after and a line end. A text of more than 64 KiB goes out in pieces of that size, each in
// a write of its own, so that showing a line of any length takes little more memory than the
// line; a shorter one is printed with printLine.
void printShownLine(std::u16string_view before, std::string_view bytes, std::u16string_view after);

// Prints the question, then echoes every key upper-cased on a line of its own until Y or N in
// either case. True for Y; false for N and when no key can come.
bool confirmYesNo(std::u16string_view question);
