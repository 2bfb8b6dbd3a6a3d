#include "services/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/memory_file.h"

namespace {

std::vector<std::u16string> readAllLines(MemoryFile& input) {
  attachMemoryFile(0, input, false);
  std::vector<std::u16string> lines;
  std::u16string line;
  while (!atEndOfFile(0)) {
    readLine(0, line);
    lines.push_back(line);
  }
  closeFile(0);
  return lines;
}

TEST(Files, ReadLineSplitsAtEveryLineEnd) {
  struct Case {
    std::string bytes;
    std::vector<std::u16string> lines;
  };
  const Case cases[] = {
      {"a\r\nb\nc\rd", {u"a", u"b", u"c", u"d"}},
      {"\r\r\n\n", {u"", u"", u""}},
      {std::string("a\0b", 3), {u"a", u"b"}},
      {"a\r", {u"a"}},
      {"\xEF\xBB\xBF"
       "a",
       {u"\uFEFFa"}},
      {"x\xE9y", {u"x\uFFFDy"}},
      {"\t\x01\x0C\x0E", {u"\t\x01\x0C\x0E"}},  // other control bytes end no line
      {"", {}},
  };
  // Pieces of one byte put every line end on a refill boundary.
  for (size_t piece : {size_t{1}, size_t{1} << 20}) {
    for (const Case& c : cases) {
      MemoryFile input{c.bytes};
      input.piece = piece;
      EXPECT_EQ(c.lines, readAllLines(input)) << "piece " << piece << ", bytes " << c.bytes;
    }
  }
}

TEST(Files, LongLinesSurviveBufferRefills) {
  std::string first(10000, 'x');
  std::string second(kFileBufferSize - 1, 'y');  // its CR is the last byte of a block, LF the next
  MemoryFile input{first + "\n" + second + "\r\nz"};
  std::vector<std::u16string> lines = readAllLines(input);
  ASSERT_EQ(3u, lines.size());
  EXPECT_EQ(std::u16string(10000, u'x'), lines[0]);
  EXPECT_EQ(std::u16string(kFileBufferSize - 1, u'y'), lines[1]);
  EXPECT_EQ(u"z", lines[2]);
}

TEST(Files, SignedBytesAndWords) {
  // Pieces of three bytes split a word across refills.
  MemoryFile input{std::string("\xFF\x7F\x00\xFF\x34\x12\x80", 7)};
  input.piece = 3;
  attachMemoryFile(0, input, false);
  EXPECT_EQ(-1, readByte(0));
  EXPECT_EQ(127, readByte(0));
  EXPECT_EQ(-256, readWord(0));
  EXPECT_EQ(4660, readWord(0));
  EXPECT_EQ(128, readWord(0));  // one byte left: the missing high byte counts as 0
  EXPECT_TRUE(atEndOfFile(0));
  EXPECT_EQ(0, readByte(0));
  EXPECT_EQ(0, readWord(0));
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

  // Pieces of 1 to 7 bytes: each system write ends where a piece ends, and holds as many
  // pieces as leave room for more than the next one.
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

TEST(Files, FailedWritesAreReported) {
  // A full disk during the conversion, and one that only shows when the last bytes are flushed.
  for (size_t capacity : {size_t{100}, 2 * kFileBufferSize + 1}) {
    MemoryFile output;
    output.capacity = capacity;
    attachMemoryFile(1, output, true);
    for (size_t i = 0; i < 2 * kFileBufferSize + 50; ++i)
      writeByte(1, 'x');
    EXPECT_EQ(capacity < kFileBufferSize, fileFailed(1)) << capacity;
    EXPECT_FALSE(closeFile(1)) << capacity;
    EXPECT_LE(output.bytes.size(), capacity);
  }
}

TEST(Files, FailedReadEndsTheInputAndIsReported) {
  MemoryFile input{std::string(3 * kFileBufferSize, 'a')};
  input.failReadAt = kFileBufferSize + 1;
  attachMemoryFile(0, input, false);
  size_t got = 0;
  while (!atEndOfFile(0)) {
    readByte(0);
    ++got;
  }
  EXPECT_EQ(kFileBufferSize, got);
  EXPECT_TRUE(fileFailed(0));
  closeFile(0);
}

TEST(Files, ReopeningANumberClosesTheFileFirst) {
  MemoryFile first;
  MemoryFile second;
  attachMemoryFile(1, first, true);
  writeByte(1, 'a');
  attachMemoryFile(1, second, true);
  EXPECT_EQ("a", first.bytes);
  EXPECT_EQ(1, first.closes);
  closeAllFiles();
  EXPECT_EQ(1, second.closes);
}

}  // namespace
