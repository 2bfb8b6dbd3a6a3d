#include "services/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/memory_file.h"

namespace {

TEST(Files, ReadLineSplitsAtEveryLineEnd) {
  using namespace std::string_literals;
  const std::string longLine(10000, 'x');
  const std::string blockLine(kFileBufferSize - 1, 'y');  // its CR ends a block, its LF the next
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"a\r\nb\nccccccccc\rdddddd", {"a", "b", "ccccccccc", "dddddd"}},  // CR late in a scan
      {"\r\r\n\n\t\x01\x0C\x0E\x7F\xE9", {"", "", "", "\t\x01\x0C\x0E\x7F\xE9"}},
      {"a\0b\r"s, {"a", "b"}},
      {longLine + "\n" + blockLine + "\r\nz", {longLine, blockLine, "z"}},
      {"", {}},
  };
  // Pieces of one byte put every line end on a refill boundary.
  for (size_t piece : {size_t{1}, size_t{1} << 20}) {
    for (const auto& [bytes, lines] : cases) {
      MemoryFile input{bytes, piece};
      attachMemoryFile(0, input, false);
      std::vector<std::string> read;
      while (!atEndOfFile(0)) {
        std::string_view line = readLineBytes(0);
        EXPECT_TRUE(line.data()[line.size()] == '\r' || line.data()[line.size()] == '\n' ||
                    line.data()[line.size()] == '\0');  // what scans of the line stop at
        read.emplace_back(line);
      }
      closeFile(0);
      EXPECT_EQ(lines, read) << "piece " << piece << ", bytes " << bytes.substr(0, 20);
    }
  }
}

TEST(Files, AFailedReadEndsTheInput) {
  // Even when the system would give more afterwards: the input must not go on with a gap.
  MemoryFile input{std::string(3 * kFileBufferSize, 'a'), 1 << 20, kFileBufferSize + 1};
  attachMemoryFile(0, input, false);
  size_t got = 0;
  while (!atEndOfFile(0))
    got += readLineBytes(0).size();
  EXPECT_EQ(kFileBufferSize, got);
  EXPECT_TRUE(fileFailed(0));
  closeFile(0);
}

TEST(Files, OutputReachesTheFileInWholePieces) {
  // Bytes however handed over, and pieces too large for the buffer, go out in blocks of 4095.
  MemoryFile bytes;
  attachMemoryFile(1, bytes, true);
  std::string run;
  for (int i = 0; i < 15000; ++i)
    run += static_cast<char>(i * 7 % 251);
  for (size_t at = 0, part = 1; at < 10000; at += part, part = part * 3 % 5000 + 1)
    writeBytes(1, run.data() + at, std::min(part, 10000 - at));
  writePiece(1, run.data() + 10000, 5000);
  EXPECT_TRUE(closeFile(1));
  EXPECT_EQ(run, bytes.bytes);
  EXPECT_EQ((std::vector<size_t>{4095, 4095, 1810, 4095, 905}), bytes.writes);
  // A piece of n bytes goes into the buffer only while more than n bytes of room are left, so no
  // piece straddles two writes: blocks of the largest multiple of n that leaves n bytes or less.
  const size_t blocks[] = {4095, 4094, 4095, 4092, 4095, 4092, 4095};
  for (size_t n = 1; n <= 7; ++n) {
    MemoryFile pieces;
    attachMemoryFile(1, pieces, true);
    for (size_t i = 0; i < 3; ++i) {
      for (size_t at = 0; at < blocks[n - 1]; at += n)
        writePiece(1, "abcdefg", n);
    }
    EXPECT_TRUE(closeFile(1));
    EXPECT_EQ(std::vector<size_t>(3, blocks[n - 1]), pieces.writes) << n;
  }
}

}  // namespace
