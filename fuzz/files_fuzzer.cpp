// The file buffer over arbitrary bytes and system reads and writes of every size: lines, the
// read-ahead and bytes come out as a plain reading of the bytes says, and written bytes arrive in
// order, each once, up to the first failed write.
//
// Input: a byte for the size of a system read or write (1 to 255, or 0 for unlimited), a byte n, n
// bytes naming the reading steps to take in turn, then the file's bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"

namespace {

// The file's bytes read the plain way, from position.
struct PlainReader {
  std::string_view bytes;
  size_t position = 0;

  int nextByte() {
    return position < bytes.size() ? static_cast<unsigned char>(bytes[position++]) : -1;
  }

  std::string_view line() {
    size_t end =
        std::min(bytes.find_first_of(std::string_view("\r\n\0", 3), position), bytes.size());
    std::string_view line = bytes.substr(position, end - position);
    position = bytes.compare(end, 2, "\r\n") == 0 ? end + 2 : std::min(end + 1, bytes.size());
    return line;
  }
};

void checkReading(std::string_view bytes, size_t piece, std::string_view steps) {
  MemoryFile file;
  file.bytes = bytes;
  file.piece = piece;
  attachMemoryFile(kInputFile, file, false);
  PlainReader plain{bytes};
  for (size_t step = 0; !atEndOfFile(kInputFile); ++step) {
    require(plain.position < bytes.size(), "at the end of the file exactly when no byte is left");
    int kind = steps.empty() ? 0 : static_cast<unsigned char>(steps[step % steps.size()]);
    if (kind % 3 == 0) {
      std::string_view line = readLineBytes(kInputFile);
      require(line == plain.line(), "readLineBytes");
      require(
          std::string_view("\r\n\0", 3).find(line.data()[line.size()]) != std::string_view::npos,
          "a line is followed by a line end byte");
    } else if (kind % 3 == 1) {
      std::string_view ahead = readAhead(kInputFile);
      size_t taken = std::min<size_t>(ahead.size(), kind / 3 + 1);
      require(!ahead.empty() && ahead.data()[ahead.size()] == 0 &&
                  ahead == bytes.substr(plain.position, ahead.size()),
              "the read-ahead holds the next bytes, and a zero byte after them");
      skipReadAhead(kInputFile, taken);
      plain.position += taken;
    } else {
      char word[2] = {};  // bytes past the end stay as they are
      readBytes(kInputFile, word, sizeof word);
      for (char byte : word)
        require(byte == static_cast<char>(std::max(plain.nextByte(), 0)), "readBytes");
    }
  }
  require(plain.position == bytes.size(), "at the end of the file exactly when no byte is left");
  char after = 0;
  readBytes(kInputFile, &after, 1);
  require(after == 0 && readAhead(kInputFile).empty() && readLineBytes(kInputFile).empty(),
          "nothing after the end");
  require(!fileFailed(kInputFile), "no failure without a failed read");
  closeFile(kInputFile);
}

// Writes the bytes in parts of the sizes the steps name, in turn as single bytes, as blocks and
// as pieces, to a file that takes at most capacity bytes.
void checkWriting(std::string_view bytes, size_t piece, std::string_view steps, size_t capacity) {
  MemoryFile file;
  file.piece = piece;
  file.capacity = capacity;
  static int closes;
  static const SystemFileOps counted = {readMemory, writeMemory,
                                        [](intptr_t) { return ++closes > 0; }};
  closes = 0;
  attachFile(kOutputFile, reinterpret_cast<intptr_t>(&file), counted, true);
  size_t written = 0;
  for (size_t step = 0; written < bytes.size(); ++step) {
    size_t part = steps.empty() ? bytes.size()
                                : static_cast<unsigned char>(steps[step % steps.size()]) * 37 + 1;
    part = std::min(part, bytes.size() - written);
    if (step % 3 == 0) {
      for (size_t i = 0; i < part; ++i)
        writeBytes(kOutputFile, &bytes[written + i], 1);
    } else {
      (step % 3 == 1 ? writeBytes : writePiece)(kOutputFile, bytes.data() + written, part);
    }
    written += part;
  }
  bool failed = fileFailed(kOutputFile);
  bool closed = closeFile(kOutputFile);
  require(closes == 1, "closed once");
  require(bytes.substr(0, file.bytes.size()) == file.bytes, "written bytes arrive in order, once");
  require(closed == (file.bytes.size() == bytes.size()),
          "a close succeeds when every byte arrived");
  require(!failed || !closed, "a failure before the close stays a failure");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t piece = data[0] == 0 ? SIZE_MAX : data[0];
  size_t stepCount = std::min<size_t>(data[1], size - 2);
  std::string_view steps = input.substr(2, stepCount);
  std::string_view bytes = input.substr(2 + stepCount);
  checkReading(bytes, piece, steps);
  checkWriting(bytes, piece, steps, SIZE_MAX);
  // Capacity from the steps, so that failures fall anywhere, on buffer boundaries too.
  size_t capacity = steps.empty() ? 0 : static_cast<unsigned char>(steps[0]) * 61;
  checkWriting(bytes, piece, steps, capacity);
  return 0;
}
