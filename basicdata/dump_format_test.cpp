#include "basicdata/dump_format.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace {

TEST(DumpFormat, LineNumberWordBothWays) {
  // The end marker, the extremes, and a low byte with its top bit set, which must not spread.
  const std::pair<int, std::string> cases[] = {
      {0, "\0\0"s},        {10, "\x0A\0"s},  {-256, "\0\xFF"s},   {-32768, "\0\x80"s},
      {32767, "\xFF\x7F"}, {-1, "\xFF\xFF"}, {0x1280, "\x80\x12"}};
  for (const auto& [number, word] : cases) {
    char written[dump::kWordSize];
    dump::encodeWord(written, number);
    EXPECT_EQ(word, std::string(written, sizeof written)) << number;
    EXPECT_EQ(number, dump::decodeWord(word.data())) << number;
  }
}

}  // namespace
