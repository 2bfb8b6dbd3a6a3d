// What the systems of file descriptors (POSIX, and the host of the web build) do alike, in
// system_fd.cpp: printLine, parameterCount and parameterAt on the command line kept as UTF-8,
// and systemOpenForReading, systemCreateFile and systemFileOps on a table of the files this
// program holds open. A path that names the standard input as the input, or the standard output
// as the output, gives that descriptor as it is: never opened again, emptied or closed. The system
// file that CMake picks beside it (system_posix.cpp, system_web.cpp) provides the rest of system.h
// and the hooks below. Windows does not use it.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>

// ---- Given by system_fd.cpp to the system file ----

// Keeps the command line for parameterCount and parameterAt. Its texts are UTF-8 and stay in
// place for the whole run, as main's are.
void keepCommandLine(int argc, char** argv);

// A file this program holds open, by identity: creating a file refuses one of these.
struct HeldFile {
  int fd;
  dev_t device;
  ino_t inode;
  bool canBlock;  // a pipe, terminal or device: reads and writes wait for it
};

// The held file of a descriptor, or none.
const HeldFile* heldFor(int fd);

// True when the standard input is a file this program holds open: then it gives no keys.
bool standardInputIsHeld();

// ---- Provided by the system file ----

// Flags of every open besides the access mode and O_CREAT.
extern const int kOpenFlags;

// Called for every file that the table holds from now on.
void fileHeld(const HeldFile& file);

// Called before every write of the console or a file: acts on what has come meanwhile (on POSIX,
// a hang-up ends the run here).
void actOnPendingEvents();

// Called after a write was refused with EAGAIN, before it is made again: a descriptor that
// another program made non-blocking takes the bytes as it drains.
void waitToWrite(int fd);

// systemFileOps.read: one read of a descriptor that systemOpenForReading gave.
long long readHeldFile(intptr_t handle, unsigned char* data, size_t size);

// The status of the standard input (fd 0) or output (fd 1) that the program was started with:
// false when it was closed at the start, whatever stands in for it now, or has none.
bool standardStatus(int fd, struct stat& status);
