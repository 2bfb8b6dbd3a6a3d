// Keys that arrive as bytes (from a terminal, a pipe or a file), given out one key at a time.
// Shared by the keys of every system that reads them as bytes.
#pragma once

#include <cstddef>
#include <string>

#include "platform/system.h"

struct KeyBytes {
  unsigned char bytes[64];
  size_t count = 0;          // bytes read and not yet given out
  bool ended = false;        // no further byte can come
  long long lastByteMs = 0;  // when the last bytes came, on the caller's clock
  int pipeKeys = 0;          // keys taken from a pipe, line ends included
};

// Reads key bytes into data (at most size) without waiting: the count, 0 when none are waiting
// now, -1 when none can ever come.
using ReadKeyBytes = long long (*)(unsigned char* data, size_t size);

// Where the bytes come from. A terminal's Enter is a key, and its arrow and function keys come as
// escape sequences (ESC [ parameters final, or ESC O and one byte), each one key without a
// character; an ESC that nothing follows within kEscapeWaitMs is the Escape key itself. A pipe's
// line ends only end its lines, and every byte of it is a character.
enum class KeySource { pipe, terminal };
constexpr long long kEscapeWaitMs = 500;

// A pipe gives at most this many keys, counting line ends and keys without a character; then
// closed, at every call. No stream of keys that never answers can hold a question for long.
constexpr int kPipeKeyLimit = 64;

// The next key, reading more bytes when needed. A key is one code point (two units beyond the
// BMP), U+FFFD for bytes that are not UTF-8, or, for a key without a character (a zero byte, an
// escape sequence), the empty text. A new KeyBytes starts the count of kPipeKeyLimit. nowMs is the
// time now on a clock that only goes forward.
KeyRead nextKey(KeyBytes& keys, KeySource source, ReadKeyBytes readMore, long long nowMs,
                std::u16string& key);
