// The ends of buffers that scans read or write whole words near, shown to AddressSanitizer:
// in sanitizer builds, bytes marked unreadable are reported when touched, so that a padding or
// slack too small for its words fails the tests. In other builds these do nothing. Here beside
// the systems, as what the build has decides it.
#pragma once

#include <cstddef>
#include <string>

#if __has_include(<sanitizer/asan_interface.h>)
#include <sanitizer/asan_interface.h>
#else
#define ASAN_POISON_MEMORY_REGION(start, size) ((void)(start), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(start, size) ((void)(start), (void)(size))
#endif

inline void markUnreadable(const void* start, size_t size) {
  ASAN_POISON_MEMORY_REGION(start, size);
}

inline void markReadable(const void* start, size_t size) {
  ASAN_UNPOISON_MEMORY_REGION(start, size);
}

// The storage of text readable again, before text changes.
inline void markStorageReadable(const std::string& text) {
  markReadable(text.data(), text.capacity() + 1);
}

// The storage of text past its first size bytes unreadable, until markStorageReadable.
inline void markUnreadableAfter(const std::string& text, size_t size) {
  markUnreadable(text.data() + size, text.capacity() + 1 - size);
}

// Makes text hold at least size bytes and returns them; only they are readable until the next
// call.
inline char* roomOf(std::string& text, size_t size) {
  markStorageReadable(text);
  if (text.size() < size) text.resize(size);
  markUnreadableAfter(text, size);
  return text.data();
}
