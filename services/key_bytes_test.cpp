#include "services/key_bytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// What the fake input gives at each read: bytes, "" for none waiting now, the end, or a pause:
// none now, and the next call of nextKey comes 600 ms later instead of 100 ms.
const std::string kEnd = "<end>";
const std::string kPause = "<pause>";
std::vector<std::string> reads;
size_t nextRead = 0;
bool paused = false;

long long readFake(unsigned char* data, size_t size) {
  if (nextRead == reads.size() || reads[nextRead] == kEnd) return -1;
  const std::string& bytes = reads[nextRead++];
  paused = bytes == kPause;
  if (paused) return 0;
  EXPECT_LE(bytes.size(), size);
  std::memcpy(data, bytes.data(), bytes.size());
  return static_cast<long long>(bytes.size());
}

// Each result of nextKey as text: the key, "" for a key without a character, "-" for none now,
// "." for closed.
std::vector<std::u16string> keysOf(const std::vector<std::string>& input, KeySource source) {
  reads = input;
  nextRead = 0;
  KeyBytes keys;
  std::vector<std::u16string> results;
  std::u16string key;
  long long nowMs = 0;
  for (int i = 0; i < 20; ++i) {
    nowMs += paused ? 600 : 100;
    KeyRead read = nextKey(keys, source, readFake, nowMs, key);
    results.push_back(read == KeyRead::key ? key : read == KeyRead::none ? u"-" : u".");
    if (read == KeyRead::closed) break;
  }
  return results;
}

TEST(KeyBytes, KeysComeOneAtATime) {
  struct Case {
    std::vector<std::string> input;
    KeySource source;
    std::vector<std::u16string> results;
  };
  constexpr KeySource pipe = KeySource::pipe;
  constexpr KeySource terminal = KeySource::terminal;
  const Case cases[] = {
      {{"qy", kEnd}, pipe, {u"q", u"y", u"."}},
      {{"q\r\n", "", "y", kEnd}, pipe, {u"q", u"-", u"y", u"."}},
      {{"\r", kEnd}, terminal, {u"\r", u"."}},
      // A character split between reads waits for its rest; at the end it is cut short.
      {{"\xC3", "", "\xA9", kEnd}, pipe, {u"-", u"\u00E9", u"."}},
      {{"\xE2\x96", kEnd}, pipe, {u"\uFFFD", u"."}},
      // Bytes that start no character, and one beyond the BMP as its two units.
      {{"\x80y\xF0\x9F\x98\x80", kEnd}, pipe, {u"\uFFFD", u"y", u"\U0001F600", u"."}},
      {{"\xE0\xA0\x80\xE2\x82\xAC", kEnd}, pipe, {u"\u0800", u"\u20AC", u"."}},
      // Keys without a character: a zero byte, and on a terminal an arrow or a function key,
      // whole or split between reads; the keys after them stay.
      {{std::string("\0y", 2), kEnd}, pipe, {u"", u"y", u"."}},
      {{std::string("\0", 1), kEnd}, terminal, {u"", u"."}},
      {{"\x1B[Ay", kEnd}, terminal, {u"", u"y", u"."}},
      {{"\x1B", "", "[1;", "", "5Dy", kEnd}, terminal, {u"-", u"-", u"", u"y", u"."}},
      {{"\x1BOPy", kEnd}, terminal, {u"", u"y", u"."}},
      {{"\x1B[\ry", kEnd}, terminal, {u"", u"\r", u"y", u"."}},
      // An ESC with nothing after it in time is the Escape key; from a pipe it always is.
      {{"\x1B", "", kPause, "y", kEnd}, terminal, {u"-", u"-", u"\x1B", u"y", u"."}},
      {{"\x1B", "x", kEnd}, terminal, {u"\x1B", u"x", u"."}},
      {{"\x1B[Ay", kEnd}, pipe, {u"\x1B", u"[", u"A", u"y", u"."}},
      {{kEnd}, pipe, {u"."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.input));
    EXPECT_EQ(c.results, keysOf(c.input, c.source));
  }
}

}  // namespace
