#include "services/key_bytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// What the fake input gives at each read: bytes, "" for none waiting now, or the end.
const std::string kEnd = "<end>";
std::vector<std::string> reads;
size_t nextRead = 0;

long long readFake(unsigned char* data, size_t size) {
  if (nextRead == reads.size() || reads[nextRead] == kEnd) return -1;
  const std::string& bytes = reads[nextRead++];
  EXPECT_LE(bytes.size(), size);
  std::memcpy(data, bytes.data(), bytes.size());
  return static_cast<long long>(bytes.size());
}

// Each result of nextKey as text: the key, "-" for none now, "." for closed.
std::vector<std::u16string> keysOf(const std::vector<std::string>& input, bool lineEndsAreKeys) {
  reads = input;
  nextRead = 0;
  KeyBytes keys;
  std::vector<std::u16string> results;
  std::u16string key;
  for (int i = 0; i < 20; ++i) {
    KeyRead read = nextKey(keys, lineEndsAreKeys, readFake, key);
    results.push_back(read == KeyRead::key ? key : read == KeyRead::none ? u"-" : u".");
    if (read == KeyRead::closed) break;
  }
  return results;
}

TEST(KeyBytes, CharactersComeOneAtATime) {
  struct Case {
    std::vector<std::string> input;
    bool lineEndsAreKeys;
    std::vector<std::u16string> results;
  };
  const Case cases[] = {
      {{"qy", kEnd}, false, {u"q", u"y", u"."}},
      {{"q\r\n", "", "y", kEnd}, false, {u"q", u"-", u"y", u"."}},
      {{"\r", kEnd}, true, {u"\r", u"."}},
      // A character split between reads waits for its rest; at the end it is cut short.
      {{"\xC3", "", "\xA9", kEnd}, false, {u"-", u"\u00E9", u"."}},
      {{"\xE2\x96", kEnd}, false, {u"\uFFFD", u"."}},
      // Bytes that start no character, and one beyond the BMP as its two units.
      {{"\x80y\xF0\x9F\x98\x80", kEnd}, false, {u"\uFFFD", u"y", u"\U0001F600", u"."}},
      {{kEnd}, false, {u"."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.input));
    EXPECT_EQ(c.results, keysOf(c.input, c.lineEndsAreKeys));
  }
}

}  // namespace
