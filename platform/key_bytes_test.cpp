#include "platform/key_bytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// What each read of the fake input gives: bytes, "" for none waiting now, the end, or a pause:
// none now, and the next call of nextKey comes 600 ms later instead of 100 ms.
const std::string kEnd = "<end>";
const std::string kPause = "<pause>";
std::vector<std::string> reads;
size_t nextRead = 0;

long long readFake(unsigned char* data, size_t size) {
  if (nextRead == reads.size() || reads[nextRead] == kEnd) return -1;
  const std::string& bytes = reads[nextRead++];
  if (bytes == kPause) return 0;
  EXPECT_LE(bytes.size(), size);
  std::memcpy(data, bytes.data(), bytes.size());
  return static_cast<long long>(bytes.size());
}

TEST(KeyBytes, KeysComeOneAtATime) {
  using namespace std::string_literals;
  constexpr KeySource pipe = KeySource::pipe;
  constexpr KeySource terminal = KeySource::terminal;
  // The reads, where they come from, and each result of nextKey: the key, "" for a key without a
  // character, "-" for none now, "." for closed.
  const std::tuple<std::vector<std::string>, KeySource, std::vector<std::u16string>> cases[] = {
      {{"q\r\n", "", "y", kEnd}, pipe, {u"q", u"-", u"y", u"."}},
      {{"\r", kEnd}, terminal, {u"\r", u"."}},
      // A character split between reads waits for its rest; at the end it is cut short.
      {{"\xC3", "", "\xA9", kEnd}, pipe, {u"-", u"\u00E9", u"."}},
      {{"\xE2\x96", kEnd}, pipe, {u"\uFFFD", u"."}},
      // Bytes that start no character (C0 80 is one key), and one beyond the BMP as its two units.
      {{"\xC0\x80y\xF0\x9F\x98\x80", kEnd}, pipe, {u"\uFFFD", u"y", u"\U0001F600", u"."}},
      {{"\xE0\xA0\x80\xE2\x82\xAC", kEnd}, pipe, {u"\u0800", u"\u20AC", u"."}},
      {{"\xBF\x80\xF8\x80", kEnd}, pipe, {u"\uFFFD", u"\uFFFD", u"\uFFFD", u"\uFFFD", u"."}},
      // Keys without a character: a zero byte, and on a terminal an arrow or a function key,
      // whole or split between reads; the keys after them stay.
      {{"\0y"s, kEnd}, pipe, {u"", u"y", u"."}},
      {{"\x1B", "", "[?1;", "", "5Dy", kEnd}, terminal, {u"-", u"-", u"", u"y", u"."}},
      {{"\x1BOP", "", "y", kEnd}, terminal, {u"", u"-", u"y", u"."}},
      {{"\x1B[\x1Fy", kEnd}, terminal, {u"", u"\x1F", u"y", u"."}},
      {{"\x1B[@\x1B[3~\x1BO", "", "Py", kEnd}, terminal, {u"", u"", u"-", u"", u"y", u"."}},
      // An ESC with nothing after it in time is the Escape key; from a pipe it always is.
      {{"\x1B", "", kPause, "y", kEnd}, terminal, {u"-", u"-", u"\x1B", u"y", u"."}},
      {{"\x1B", "x", kEnd}, terminal, {u"\x1B", u"x", u"."}},
      {{"\x1B[Ay", kEnd}, pipe, {u"\x1B", u"[", u"A", u"y", u"."}},
  };
  for (const auto& [input, source, expected] : cases) {
    reads = input;
    nextRead = 0;
    KeyBytes keys;
    std::vector<std::u16string> results;
    std::u16string key;
    long long nowMs = 0;
    for (KeyRead read = KeyRead::none; read != KeyRead::closed && results.size() < 20;) {
      nowMs += nextRead > 0 && reads[nextRead - 1] == kPause ? 600 : 100;
      read = nextKey(keys, source, readFake, nowMs, key);
      results.push_back(read == KeyRead::key ? key : read == KeyRead::none ? u"-" : u".");
    }
    EXPECT_EQ(expected, results) << testing::PrintToString(input);
  }
}

}  // namespace
