#include "services/key_bytes.h"

#include "services/text.h"

namespace {

// Moves one whole character from the front of keys into key; false while it is incomplete and
// more bytes may come.
bool takeKey(KeyBytes& keys, std::u16string& key) {
  if (keys.count == 0) return false;
  unsigned char lead = keys.bytes[0];
  size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : 1;
  // A sequence ends early at its first byte that cannot continue it.
  size_t taken = 1;
  while (taken < length && taken < keys.count && (keys.bytes[taken] & 0xC0) == 0x80)
    ++taken;
  if (taken < length && taken == keys.count && !keys.ended) return false;
  key.clear();
  decodeUtf8(std::string_view(reinterpret_cast<const char*>(keys.bytes), taken),
             Utf8Errors::replace, key);
  if (key.size() > 1 && !(key[0] >= 0xD800 && key[0] < 0xDC00)) key.resize(1);
  keys.count -= taken;
  for (size_t i = 0; i < keys.count; ++i)
    keys.bytes[i] = keys.bytes[taken + i];
  return true;
}

}  // namespace

KeyRead nextKey(KeyBytes& keys, bool lineEndsAreKeys, ReadKeyBytes readMore, std::u16string& key) {
  key.clear();
  for (;;) {
    if (takeKey(keys, key)) {
      if (!lineEndsAreKeys && (key == u"\r" || key == u"\n")) continue;
      return KeyRead::key;
    }
    key.clear();
    if (keys.ended) return KeyRead::closed;
    long long got = readMore(keys.bytes + keys.count, sizeof keys.bytes - keys.count);
    if (got == 0) return KeyRead::none;
    if (got < 0) {
      keys.ended = true;
    } else {
      keys.count += static_cast<size_t>(got);
    }
  }
}
