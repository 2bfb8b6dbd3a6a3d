// What each operating system provides to the file services and the end of a run. One file per
// system implements these and the system parts of console.h.
#pragma once

#include <cstdint>
#include <string_view>

#include "services/files.h"

// Opens an existing file, not a directory, for reading. Others may go on reading it.
bool systemOpenForReading(std::u16string_view path, intptr_t& handle);

// Creates a file, or empties an existing one, for writing: first with read and write access,
// then with write access alone. Refused, before anything is emptied, when the path names a file
// that this program holds open.
bool systemCreateFile(std::u16string_view path, intptr_t& handle);

extern const SystemFileOps systemFileOps;

[[noreturn]] void exitProcess(int status);
