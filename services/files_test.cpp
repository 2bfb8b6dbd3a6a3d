#include "services/files.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "services/text.h"
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
      {"a\r\n", {u"a"}},
      {"a\n\n", {u"a", u""}},
      {"\r\r\n\n", {u"", u"", u""}},
      {std::string("a\0b", 3), {u"a", u"b"}},
      {"a\r", {u"a"}},
      {"\xEF\xBB\xBF"
       "a",
       {u"\uFEFFa"}},
      {"x\xE9y", {u"x\uFFFDy"}},
      {"", {}},
  };
  // Pieces of one byte put every line end on a refill boundary.
  for (size_t piece : {size_t{1}, size_t{2}, size_t{1} << 20}) {
    for (const Case& c : cases) {
      MemoryFile input{c.bytes};
      input.piece = piece;
      EXPECT_EQ(c.lines, readAllLines(input)) << "piece " << piece << ", bytes " << c.bytes;
    }
  }
}

TEST(Files, ReadLineFindsLineEndsAmongOtherControlBytes) {
  // Random texts of line ends, other bytes below 14, and bytes that are not, against a plain
  // split of the same bytes.
  const std::string pieces[] = {"\r",   "\n", "\r\n", std::string(1, '\0'), "\t", "\x01", "\x0C",
                                "\x0E", "a",  "\x80", "\xC3\xA9",           "ab"};
  std::mt19937 random(6);
  for (int round = 0; round < 300; ++round) {
    std::string bytes;
    for (int n = static_cast<int>(random() % 60); n > 0; --n)
      bytes += pieces[random() % (sizeof pieces / sizeof *pieces)];
    std::vector<std::u16string> expected;
    std::string line;
    for (size_t i = 0; i < bytes.size(); ++i) {
      char byte = bytes[i];
      if (byte != '\r' && byte != '\n' && byte != 0) {
        line += byte;
        continue;
      }
      if (byte == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
      expected.emplace_back();
      decodeUtf8(line, Utf8Errors::replace, expected.back());
      line.clear();
    }
    if (!line.empty()) {
      expected.emplace_back();
      decodeUtf8(line, Utf8Errors::replace, expected.back());
    }
    for (size_t piece : {size_t{1}, size_t{7}, size_t{1} << 20}) {
      MemoryFile input{bytes};
      input.piece = piece;
      ASSERT_EQ(expected, readAllLines(input)) << testing::PrintToString(bytes);
    }
  }
}

TEST(Files, PlainLinesStartingAtEveryOffset) {
  // A long line of printable ASCII after a short one of every length up to 300: the long line
  // starts at every offset of the first block and of the decoder's internal pieces, and it spans
  // the refill.
  std::string longLine;
  for (size_t i = 0; i < kFileBufferSize + 1000; ++i)
    longLine += static_cast<char>('!' + i % 90);
  for (size_t length = 0; length <= 300; ++length) {
    std::string shortLine(length, 'x');
    MemoryFile input{shortLine + "\n" + longLine + "\r\nend"};
    std::vector<std::u16string> expected = {std::u16string(shortLine.begin(), shortLine.end()),
                                            std::u16string(longLine.begin(), longLine.end()),
                                            u"end"};
    ASSERT_EQ(expected, readAllLines(input)) << length;
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
  // Pieces of one and three bytes split words across refills.
  for (size_t piece : {size_t{1}, size_t{3}, size_t{1} << 20}) {
    MemoryFile input{std::string("\xFF\x7F\x00\xFF\x34\x12\x80", 7)};
    input.piece = piece;
    attachMemoryFile(0, input, false);
    EXPECT_EQ(-1, readByte(0));
    EXPECT_EQ(127, readByte(0));
    EXPECT_EQ(-256, readWord(0));
    EXPECT_EQ(4660, readWord(0)) << piece;
    EXPECT_EQ(128, readWord(0));  // one byte left: the missing high byte counts as 0
    EXPECT_TRUE(atEndOfFile(0));
    EXPECT_EQ(0, readByte(0));
    EXPECT_EQ(0, readWord(0));
    closeFile(0);
  }
}

TEST(Files, WritesLowBytesAndBuffersUntilClosed) {
  MemoryFile output;
  attachMemoryFile(1, output, true);
  writeByte(1, 256);
  writeByte(1, -1);
  writeBytes(1, "\xE2\x96\xB2\r\n", 5);
  EXPECT_EQ("", output.bytes);  // still buffered
  EXPECT_TRUE(closeFile(1));
  EXPECT_EQ(std::string("\x00\xFF\xE2\x96\xB2\r\n", 7), output.bytes);
  EXPECT_EQ(1, output.closes);
}

TEST(Files, ShortSystemWritesLoseNothing) {
  MemoryFile output;
  output.piece = 1000;
  attachMemoryFile(1, output, true);
  std::string expected;
  for (int i = 0; i < 3 * static_cast<int>(kFileBufferSize) + 17; ++i) {
    writeByte(1, i);
    expected.push_back(static_cast<char>(i));
  }
  EXPECT_TRUE(closeFile(1));
  EXPECT_EQ(expected, output.bytes);
}

TEST(Files, OneSystemWritePerFullBuffer) {
  // Pieces of every length from 1 to 9, some of which fill the buffer exactly.
  MemoryFile output;
  attachMemoryFile(1, output, true);
  std::string expected;
  for (int i = 0; expected.size() < 3 * kFileBufferSize + 5; ++i) {
    std::string piece(static_cast<size_t>(i % 9 + 1), static_cast<char>('a' + i % 26));
    if (i % 2 == 0) {
      writeBytes(1, piece.data(), piece.size());
    } else {
      for (char byte : piece)
        writeByte(1, byte);
    }
    expected += piece;
    // The bytes reach the system as soon as a buffer is full, and never before.
    ASSERT_EQ(expected.size() / kFileBufferSize * kFileBufferSize, output.bytes.size());
  }
  EXPECT_TRUE(closeFile(1));
  EXPECT_EQ(expected, output.bytes);
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
