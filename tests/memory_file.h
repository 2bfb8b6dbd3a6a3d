// In-memory files for tests of code that reads kInputFile and writes kOutputFile: bytes read in
// pieces of a chosen size, bytes written with the size of each write, and failures on demand.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "services/files.h"

struct MemoryFile {
  std::string bytes;
  size_t piece = 1 << 20;        // the most bytes one system read or write takes
  size_t failReadAt = SIZE_MAX;  // a read that would pass this offset fails, once
  size_t capacity = SIZE_MAX;    // a write beyond this many bytes fails, as on a full disk
  size_t position = 0;
  std::vector<size_t> writes = {};
};

inline long long readMemory(intptr_t handle, unsigned char* data, size_t size) {
  MemoryFile& file = *reinterpret_cast<MemoryFile*>(handle);
  size_t n = std::min({size, file.piece, file.bytes.size() - file.position});
  if (n > 0 && file.position + n > file.failReadAt) {
    file.failReadAt = SIZE_MAX;
    return -1;
  }
  file.position += file.bytes.copy(reinterpret_cast<char*>(data), n, file.position);
  return static_cast<long long>(n);
}

inline long long writeMemory(intptr_t handle, const unsigned char* data, size_t size) {
  MemoryFile& file = *reinterpret_cast<MemoryFile*>(handle);
  if (file.bytes.size() + size > file.capacity) return -1;
  file.writes.push_back(std::min(size, file.piece));
  file.bytes.append(reinterpret_cast<const char*>(data), file.writes.back());
  return static_cast<long long>(file.writes.back());
}

inline const SystemFileOps memoryFileOps = {readMemory, writeMemory, [](intptr_t) { return true; }};

inline void attachMemoryFile(int number, MemoryFile& file, bool forWriting) {
  attachFile(number, reinterpret_cast<intptr_t>(&file), memoryFileOps, forWriting);
}

// The bytes that run writes to kOutputFile, output, while kInputFile reads input. Both files are
// closed after it.
template <typename Run>
std::string runInMemory(MemoryFile input, Run run, MemoryFile output = {}) {
  attachMemoryFile(kInputFile, input, false);
  attachMemoryFile(kOutputFile, output, true);
  run();
  closeAllFiles();
  return std::move(output.bytes);
}
