// Everything an operating system provides to both programs: the checklist of a port. One file per
// system, chosen by CMake, implements all of it: system_posix.cpp, system_win32.cpp or
// system_web.cpp. The POSIX and web files take what they do alike on file descriptors from
// system_fd.cpp (see system_fd.h). Nothing here reports an error to the user: the messages
// belong to the programs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "services/files.h"

// ---- Run and console ----

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

// Ends the process with the status, the console as it was found. Files are closed before, by
// endRun (console.h).
[[noreturn]] void exitProcess(int status);

// ---- Keys ----

enum class KeyRead {
  none,    // no key waiting now
  key,     // key holds the character of the next key (one code point)
  closed,  // no key can ever come: the input has ended or there is none
};

// The yes/no question reads keys between beginKeyInput and endKeyInput. On a terminal, keys
// answer at once without Enter and are not echoed by the terminal; its settings are put back by
// endKeyInput, and also before any signal ends or stops the process meanwhile, and the key mode
// is applied again when a stopped process goes on in the foreground. A process group in the
// background never changes the terminal: it stops until it is brought to the foreground. Keys never
// come from a file this program holds open: when the standard input is the input file itself,
// readKey gives closed at once.
void beginKeyInput();
KeyRead readKey(std::u16string& key);
void endKeyInput();

// ---- Files ----

// True when writing to the path loses nothing: it names a FIFO, a pipe, a socket or a character
// device (a terminal, the null device), none of which keeps data. Decided without opening it, as
// an open is itself felt by whoever waits on a FIFO or a pipe. False for a regular file, a block
// device and a path that names nothing.
bool systemHoldsNothingToLose(std::u16string_view path);

// Opens an existing file, not a directory, for reading. Others may go on reading it.
bool systemOpenForReading(std::u16string_view path, intptr_t& handle);

// Creates a file, or empties an existing one, for writing only: this program never reads its
// output, nor holds a reader of a FIFO it writes. A FIFO without a reader is waited for, as any
// writer of one waits. Refused, before anything is emptied, when the path names a file that this
// program holds open.
bool systemCreateFile(std::u16string_view path, intptr_t& handle);

// Reads, writes and closes the handles that the two calls above give.
extern const SystemFileOps systemFileOps;
