// Keys that arrive as UTF-8 bytes (from a terminal, a pipe or a file), given out one character
// at a time. Used by the keys of every system that reads them as bytes.
#pragma once

#include <cstddef>
#include <string>

#include "services/console.h"

struct KeyBytes {
  unsigned char bytes[64];
  size_t count = 0;    // bytes read and not yet given out
  bool ended = false;  // no further byte can come
};

// Reads key bytes into data (at most size) without waiting: the count, 0 when none are waiting
// now, -1 when none can ever come.
using ReadKeyBytes = long long (*)(unsigned char* data, size_t size);

// The next key, reading more bytes when needed. A key is one code point (two units beyond the
// BMP), or U+FFFD for bytes that are not UTF-8. Line ends are skipped unless lineEndsAreKeys: a
// terminal's Enter is a key, but a pipe's line ends only end its lines.
KeyRead nextKey(KeyBytes& keys, bool lineEndsAreKeys, ReadKeyBytes readMore, std::u16string& key);
