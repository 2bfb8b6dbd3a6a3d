// In-memory files for tests of code that reads file 0 and writes file 1: a byte string to read,
// given out in pieces of a chosen size, and a byte string that collects what is written, with
// failures on demand.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "services/files.h"

struct MemoryFile {
  std::string bytes;
  size_t position = 0;
  size_t piece = 1 << 20;        // the most bytes one system read gives
  size_t failReadAt = SIZE_MAX;  // a read that would pass this offset fails
  size_t capacity = SIZE_MAX;    // a write beyond this many bytes fails, as on a full disk
  int closes = 0;
  std::vector<size_t> writes = {};  // the size of each system write
};

inline MemoryFile& memoryFileOf(intptr_t handle) {
  return *reinterpret_cast<MemoryFile*>(handle);
}

inline const SystemFileOps memoryFileOps = {
    [](intptr_t handle, unsigned char* data, size_t size) -> long long {
      MemoryFile& file = memoryFileOf(handle);
      size_t n = std::min({size, file.piece, file.bytes.size() - file.position});
      if (n > 0 && file.position + n > file.failReadAt) return -1;
      file.bytes.copy(reinterpret_cast<char*>(data), n, file.position);
      file.position += n;
      return static_cast<long long>(n);
    },
    [](intptr_t handle, const unsigned char* data, size_t size) -> long long {
      MemoryFile& file = memoryFileOf(handle);
      if (file.bytes.size() + size > file.capacity) return -1;
      size_t n = std::min(size, file.piece);
      file.writes.push_back(n);
      file.bytes.append(reinterpret_cast<const char*>(data), n);
      return static_cast<long long>(n);
    },
    [](intptr_t handle) {
      ++memoryFileOf(handle).closes;
      return true;
    },
};

inline void attachMemoryFile(int number, MemoryFile& file, bool forWriting) {
  attachFile(number, reinterpret_cast<intptr_t>(&file), memoryFileOps, forWriting);
}
