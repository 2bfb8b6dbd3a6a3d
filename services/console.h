// Console and command-line services shared by both programs. Nothing here reports an error to
// the user: the messages belong to the programs.
#pragma once

#include <string>
#include <string_view>

// Exit statuses of both programs.
constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;

enum class KeyRead {
  none,    // no key waiting now
  key,     // key holds the character of the next key (one code point)
  closed,  // no key can ever come: the input has ended or there is none
};

// ---- Shared by every system (console.cpp) ----

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

// ---- Provided by each system's file: system_posix.cpp, system_win32.cpp, system_web.cpp ----

// Binds the console and the command line and installs the console event handling. First call of
// every program.
void startRun(int argc, char** argv);

// The text and a line end to the standard output, in one write.
void printLine(std::u16string_view text);
// The text to the standard output in one write, without a line end: the start of a line that
// printLine ends.
void printPart(std::u16string_view text);

// Command-line parameters after the program's own name, counted from 0. The count is -1 when
// the process was started without even a name; a missing index gives the empty text.
int parameterCount();
std::u16string parameterAt(int index);

// Suspends the run; a hang-up during the pause is acted on.
void delayMs(int milliseconds);

// The yes/no question reads keys between beginKeyInput and endKeyInput. On a terminal, keys
// answer at once without Enter and are not echoed by the terminal; its settings are put back by
// endKeyInput, and also when the process is interrupted or hung up meanwhile.
void beginKeyInput();
KeyRead readKey(std::u16string& key);
void endKeyInput();
