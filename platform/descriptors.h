// What the systems of file descriptors (POSIX, and the host of the web build) do alike, for
// system_posix.cpp and system_web.cpp to call with what differs between them: the console text
// written to descriptor 1, and files opened and created by path and held by identity, so that the
// output is never created over a file the program holds. A path that names the standard input as
// the input, or the standard output as the output, gives that descriptor as it is: never opened
// again, emptied or closed. descriptors.cpp also implements the parts of system.h the two do
// identically: the command line, kept as UTF-8, and systemHoldsNothingToLose.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

// How a system of descriptors waits, and acts meanwhile on what has come.
struct DescriptorWaits {
  void (*beforeCall)();             // before every write (POSIX: a hang-up ends the run here)
  void (*untilWritable)(int fd);    // after a write refused for now (EAGAIN)
  void (*pause)(int milliseconds);  // between looks for the reader of a FIFO
};

// Keeps the status of the standard input (fd 0) or output (fd 1) the program was started with,
// or null when it was closed at the start, whatever stands in for it now, or has none. Called by
// the system file at the start, before any file is opened.
void keepStandardFile(int fd, const struct stat* status);

// True when the standard input is a file this program holds, or its identity is unknown: then it
// gives no keys.
bool standardInputIsHeld();

// Keeps the command line for parameterCount and parameterAt. Its texts are UTF-8 and stay in
// place for the whole run, as main's are.
void keepCommandLine(int argc, char** argv);

// One write; interrupted or refused for now it is made again. Returns the bytes written, or -1.
long long writeWaiting(int fd, const void* data, size_t size, const DescriptorWaits& waits);

// The text and, when asked, a line end as UTF-8 to the standard output, in one write where it
// takes them. Text nobody reads any more is dropped.
void writeStandardOutput(std::u16string_view text, bool lineEnd, const DescriptorWaits& waits);

// A file this program holds open, by identity.
struct HeldFile {
  int fd;
  dev_t device;
  ino_t inode;
  bool canBlock;  // a pipe, terminal or device: reads and writes wait for it
};

// Opens path for reading, with openFlags besides O_RDONLY, and holds it: fails on a directory.
// handle is its descriptor.
bool openHeld(std::u16string_view path, int openFlags, intptr_t& handle);

// Creates or empties path for writing, with openFlags besides O_WRONLY and O_CREAT, and holds
// it; refused, before anything is emptied, for a file that is held. A FIFO whose reader has not
// come (the open fails with ENXIO) is tried again after each waits.pause.
bool createHeld(std::u16string_view path, int openFlags, const DescriptorWaits& waits,
                intptr_t& handle);

// Closes a handle that openHeld or createHeld gave, and holds it no more.
bool closeHeld(intptr_t handle);

// The held file of a descriptor, or none.
const HeldFile* heldFor(int fd);

// True when status is that of a file this program holds.
bool isHeld(const struct stat& status);
