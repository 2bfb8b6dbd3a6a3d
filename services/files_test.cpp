#include "services/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "tests/memory_file.h"

namespace {

TEST(Files, ReadLineSplitsAtEveryLineEndUpToAFailedRead) {
  using namespace std::string_literals;
  const std::string longLine(10000, 'x');
  const std::string blockLine(kFileBufferSize - 1, 'y');  // its CR ends a block, its LF the next
  const std::string block(kFileBufferSize, 'a');
  // The bytes, where a read fails, and the lines. A failed read ends the input, even when the
  // system would give more afterwards: the input must not go on with a gap.
  const std::tuple<std::string, size_t, std::vector<std::string>> cases[] = {
      {"a\r\nb\nccccccccc\rdddddd", SIZE_MAX, {"a", "b", "ccccccccc", "dddddd"}},
      {"\r\r\n\n\t\x01\x0C\x0E\x7F\xE9", SIZE_MAX, {"", "", "", "\t\x01\x0C\x0E\x7F\xE9"}},
      {"a\0b\r"s, SIZE_MAX, {"a", "b"}},
      {longLine + "\n" + blockLine + "\r\nz", SIZE_MAX, {longLine, blockLine, "z"}},
      {"", SIZE_MAX, {}},
      {block + block + "\nb", kFileBufferSize, {block}},
  };
  // Pieces of one byte put every line end on a refill boundary.
  for (size_t piece : {size_t{1}, size_t{1} << 20}) {
    for (const auto& [bytes, failReadAt, lines] : cases) {
      MemoryFile input{bytes, piece, failReadAt};
      attachMemoryFile(kInputFile, input, false);
      std::vector<std::string> read;
      while (!atEndOfFile(kInputFile)) {
        std::string_view line = readLineBytes(kInputFile);
        EXPECT_TRUE(line.data()[line.size()] == '\r' || line.data()[line.size()] == '\n' ||
                    line.data()[line.size()] == '\0');  // what scans of the line stop at
        read.emplace_back(line);
      }
      EXPECT_EQ(failReadAt != SIZE_MAX, fileFailed(kInputFile));
      closeFile(kInputFile);
      EXPECT_EQ(lines, read) << "piece " << piece << ", bytes " << bytes.substr(0, 20);
    }
  }
}

TEST(Files, OutputReachesTheFileInWholePieces) {
  // Bytes however handed over, and pieces too large for the buffer, go out in blocks of 4095.
  MemoryFile bytes;
  attachMemoryFile(kOutputFile, bytes, true);
  std::string run;
  for (int i = 0; i < 15000; ++i)
    run += static_cast<char>(i * 7 % 251);
  for (size_t at = 0, part = 1; at < 10000; at += part, part = part * 3 % 5000 + 1)
    writeBytes(kOutputFile, run.data() + at, std::min(part, 10000 - at));
  writePiece(kOutputFile, run.data() + 10000, 5000);
  EXPECT_TRUE(closeFile(kOutputFile));
  EXPECT_EQ(run, bytes.bytes);
  EXPECT_EQ((std::vector<size_t>{4095, 4095, 1810, 4095, 905}), bytes.writes);
  // A piece of n bytes goes into the buffer only while more than n bytes of room are left, so no
  // piece straddles two writes: blocks of the largest multiple of n that leaves n bytes or less.
  const size_t blocks[] = {4095, 4094, 4095, 4092, 4095, 4092, 4095};
  for (size_t n = 1; n <= 7; ++n) {
    MemoryFile pieces;
    attachMemoryFile(kOutputFile, pieces, true);
    for (size_t i = 0; i < 3; ++i) {
      for (size_t at = 0; at < blocks[n - 1]; at += n)
        writePiece(kOutputFile, "abcdefg", n);
    }
    EXPECT_TRUE(closeFile(kOutputFile));
    EXPECT_EQ(std::vector<size_t>(3, blocks[n - 1]), pieces.writes) << n;
  }
}

}  // namespace
