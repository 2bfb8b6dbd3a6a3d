#include "platform/key_bytes.h"

#include "platform/utf8.h"

namespace {

constexpr unsigned char kEscape = 0x1B;

// How many of the bytes make up the escape sequence at their front: 0 while it is incomplete and
// may go on. An ESC followed by anything but "[" or "O" is the Escape key alone. A sequence cut
// short by a byte that cannot continue it ends before that byte.
size_t escapeLength(const unsigned char* bytes, size_t count) {
  if (count < 2) return 0;
  if (bytes[1] == 'O') return count < 3 ? 0 : 3;
  if (bytes[1] != '[') return 1;
  size_t length = 2;
  while (length < count && bytes[length] >= 0x20 && bytes[length] <= 0x3F)
    ++length;
  if (length == count) return 0;
  return bytes[length] >= 0x40 && bytes[length] <= 0x7E ? length + 1 : length;
}

// How many bytes of the front make up its character: 0 while it is incomplete and may go on.
size_t characterLength(const unsigned char* bytes, size_t count) {
  unsigned char lead = bytes[0];
  size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : 1;
  // A sequence ends early at its first byte that cannot continue it.
  size_t taken = 1;
  while (taken < length && taken < count && (bytes[taken] & 0xC0) == 0x80)
    ++taken;
  return taken < length && taken == count ? 0 : taken;
}

// Moves one whole key from the front of keys into key; false while it is incomplete and more
// bytes may come.
bool takeKey(KeyBytes& keys, KeySource source, long long nowMs, std::u16string& key) {
  key.clear();
  if (keys.count == 0) return false;
  bool escape = source == KeySource::terminal && keys.bytes[0] == kEscape;
  size_t taken =
      escape ? escapeLength(keys.bytes, keys.count) : characterLength(keys.bytes, keys.count);
  if (taken == 0) {
    // A character cut short waits for its end; a sequence for kEscapeWaitMs after its last byte.
    // Then a lone ESC is the Escape key, a sequence cut short a key without a character.
    bool waiting = escape ? !keys.ended && nowMs - keys.lastByteMs < kEscapeWaitMs : !keys.ended;
    if (waiting) return false;
    taken = keys.count;
  }
  if (!escape || taken == 1) {
    decodeUtf8(std::string_view(reinterpret_cast<const char*>(keys.bytes), taken),
               Utf8Errors::replace, key);
    if (key.size() > 1 && !isHighSurrogate(key[0])) key.resize(1);
    if (key.size() == 1 && key[0] == 0) key.clear();  // Ctrl-@ carries no character
  }
  keys.count -= taken;
  for (size_t i = 0; i < keys.count; ++i)
    keys.bytes[i] = keys.bytes[taken + i];
  return true;
}

}  // namespace

KeyRead nextKey(KeyBytes& keys, KeySource source, ReadKeyBytes readMore, long long nowMs,
                std::u16string& key) {
  for (;;) {
    if (takeKey(keys, source, nowMs, key)) {
      if (source == KeySource::terminal) return KeyRead::key;
      if (++keys.pipeKeys > kPipeKeyLimit) return KeyRead::closed;
      if (key != u"\r" && key != u"\n") return KeyRead::key;
      continue;
    }
    if (keys.ended) return KeyRead::closed;
    long long got = readMore(keys.bytes + keys.count, sizeof keys.bytes - keys.count);
    if (got == 0) return KeyRead::none;
    if (got < 0) {
      keys.ended = true;
    } else {
      keys.count += static_cast<size_t>(got);
      keys.lastByteMs = nowMs;
    }
  }
}
