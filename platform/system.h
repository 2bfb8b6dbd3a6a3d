// Everything an operating system provides to both programs: the checklist of a port. One file per
// system, chosen by CMake, implements it: system_posix.cpp, system_win32.cpp or system_web.cpp.
// POSIX and the web build, both systems of file descriptors, call the helpers of descriptors.h
// for what they do alike, and leave to it the parts they do identically (the command line,
// systemHoldsNothingToLose). Nothing here prints a message: the messages belong to the programs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// ---- Run and console ----

// Binds the console and the command line and installs the handling of console events and signals:
// the first call of every program. closeFiles writes out and closes every open file; the system
// calls it when it ends the run itself (a hang-up, the console window closed).
void systemStart(int argc, char** argv, void (*closeFiles)());

// The text, and a line end when asked, to the standard output in one write.
void systemPrint(std::u16string_view text, bool lineEnd);

// Command-line parameters after the program's own name, counted from 0. The count is -1 when
// the process was started without even a name; a missing index gives the empty text.
int parameterCount();
std::u16string parameterAt(int index);

// Suspends the run; a hang-up during the pause is acted on.
void delayMs(int milliseconds);

// Ends the process with the status, the console as it was found. Files are closed before.
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
// background never changes the terminal: it stops until it is brought to the foreground. Keys
// never come from a file this program holds open: when the standard input is the input file
// itself, or the system cannot tell that it is not, readKey gives closed at once.
void beginKeyInput();
KeyRead readKey(std::u16string& key);
void endKeyInput();

// ---- Files ----

// The most files a run holds open at once: its input and its output.
constexpr int kMostOpenFiles = 2;

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

// What an open file needs of the system. Each call moves bytes of one handle; read returns the
// bytes read (0 at the end of the file) and write the bytes written (fewer than asked is not an
// error: the rest is offered again), both -1 on failure. Tests put in fakes that fail.
struct SystemFileOps {
  long long (*read)(intptr_t handle, unsigned char* data, size_t size);
  long long (*write)(intptr_t handle, const unsigned char* data, size_t size);
  bool (*close)(intptr_t handle);
};

// Reads, writes and closes the handles that systemOpenForReading and systemCreateFile give.
extern const SystemFileOps systemFileOps;
