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
  const std::pair<std::string, std::vector<std::u16string>> cases[] = {
      {"a\r\nb\nc\rd", {u"a", u"b", u"c", u"d"}},
      {"\r\r\n\n\t\x01\x0C\x0E\x7F", {u"", u"", u"", u"\t\x01\x0C\x0E\x7F"}},
      {"a\0b\r"s, {u"a", u"b"}},
      {"\xEF\xBB\xBF"
       "a\xE9z\xC3\xA9",
       {u"\uFEFFa\uFFFDz\u00E9"}},
      {longLine + "\n" + blockLine + "\r\nz",
       {std::u16string(10000, 'x'), std::u16string(kFileBufferSize - 1, 'y'), u"z"}},
      {"", {}},
  };
  // Pieces of one byte put every line end on a refill boundary.
  for (size_t piece : {size_t{1}, size_t{1} << 20}) {
    for (const auto& [bytes, lines] : cases) {
      MemoryFile input{bytes, piece};
      attachMemoryFile(0, input, false);
      std::vector<std::u16string> read;
      for (std::u16string line; !atEndOfFile(0);) {
        readLine(0, line);
        read.push_back(line);
      }
      closeFile(0);
      EXPECT_EQ(lines, read) << "piece " << piece << ", bytes " << bytes.substr(0, 20);
    }
  }
}

TEST(Files, SignedBytesAndWords) {
  MemoryFile input{std::string("\xFF\x7F\x00\xFF\x34\x12\x80", 7), 3};  // a word across refills
  attachMemoryFile(0, input, false);
  std::vector<int> values = {readByte(0), readByte(0), readWord(0), readWord(0), readWord(0)};
  EXPECT_EQ((std::vector<int>{-1, 127, -256, 4660, 128}), values);  // 128: no high byte left
  EXPECT_TRUE(atEndOfFile(0));
  EXPECT_EQ(0, readByte(0) + readWord(0));
  closeFile(0);
}

TEST(Files, OutputReachesTheFileInWholePieces) {
  // Bytes, however they are handed over, go out as if one at a time: in blocks of 4095.
  MemoryFile bytes;
  attachMemoryFile(1, bytes, true);
  writeByte(1, 256);
  writeByte(1, -1);
  std::string run(9998, 'x');
  for (size_t at = 0, part = 1; at < run.size(); at += part, part = part * 3 % 5000 + 1)
    writeBytes(1, run.data() + at, std::min(part, run.size() - at));
  EXPECT_TRUE(closeFile(1));
  EXPECT_EQ(std::string("\x00\xFF", 2) + run, bytes.bytes);
  EXPECT_EQ((std::vector<size_t>{4095, 4095, 1810}), bytes.writes);

  // Pieces of 1 to 7 bytes: each system write ends where a piece ends, and holds as many pieces
  // as leave room for more than the next one.
  MemoryFile pieces;
  attachMemoryFile(1, pieces, true);
  std::vector<size_t> ends;  // where each piece ends in the output
  std::string all;
  for (size_t i = 0; all.size() < 3 * kFileBufferSize; ++i) {
    std::string piece(i % 7 + 1, static_cast<char>('a' + i % 26));
    writePiece(1, piece.data(), piece.size());
    all += piece;
    ends.push_back(all.size());
  }
  EXPECT_TRUE(closeFile(1));
  EXPECT_EQ(all, pieces.bytes);
  size_t at = 0;
  for (size_t i = 0; i + 1 < pieces.writes.size(); ++i) {
    at += pieces.writes[i];
    auto end = std::find(ends.begin(), ends.end(), at);
    ASSERT_NE(ends.end(), end) << "write " << i << " splits a piece";
    EXPECT_GE(pieces.writes[i] + (end[1] - end[0]), kFileBufferSize) << "write " << i;
  }
}

TEST(Files, FailuresAreReported) {
  // A full disk while converting, and one that shows only when the last bytes go out. The system
  // takes part of each write, so the rest is offered again.
  for (size_t capacity : {size_t{100}, 2 * kFileBufferSize + 1}) {
    MemoryFile output{"", 1000, SIZE_MAX, capacity};
    attachMemoryFile(1, output, true);
    for (size_t i = 0; i < 2 * kFileBufferSize + 50; ++i)
      writeByte(1, 'x');
    EXPECT_EQ(capacity < kFileBufferSize, fileFailed(1)) << capacity;
    EXPECT_FALSE(closeFile(1)) << capacity;
    EXPECT_EQ(std::string(capacity < kFileBufferSize ? 0 : 2 * 4095, 'x'), output.bytes);
  }
  // A failed read ends the input.
  MemoryFile input{std::string(3 * kFileBufferSize, 'a'), 1 << 20, kFileBufferSize + 1};
  attachMemoryFile(0, input, false);
  size_t got = 0;
  for (; !atEndOfFile(0); ++got)
    readByte(0);
  EXPECT_EQ(kFileBufferSize, got);
  EXPECT_TRUE(fileFailed(0));
  closeFile(0);
}

}  // namespace
