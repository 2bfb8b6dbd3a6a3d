// What the harnesses share: a failed property aborts with its name, so that libFuzzer keeps the
// input, and both conversions run over bytes in memory through the programs' file services.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "converter/listing_conversion.h"
#include "lister/renderer.h"
#include "services/files.h"
#include "tests/memory_file.h"

inline void require(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "property failed: %s\n", property);
  std::abort();
}

// The well-formed 2000-baud recording made of bytes, empty without a record: each piece up to a
// 13 that starts with a number word other than the end marker becomes a record.
inline std::string recordingOf(std::string_view bytes) {
  const std::string_view endMarker("\x00\xFF", 2);
  std::string recording;
  for (size_t at = 0, end = 0; at + 2 <= bytes.size(); at = end + 1) {
    end = std::min(bytes.find('\r', at + 2), bytes.size());
    if (bytes.substr(at, 2) != endMarker) recording.append(bytes.substr(at, end - at)) += '\r';
  }
  return recording.empty() ? recording : recording.append(endMarker);
}

// MORVIX -e -n -v (-2k) lists dump so that KALDEX (-2K) converts the listing back to dump.
inline void requireRoundTrip(const std::string& dump, bool baud2000) {
  std::string text = runInMemory({dump}, [&] {
    renderDump({.editable = true, .charNumbers = true, .viperSoft = true, .baud2000 = baud2000});
  });
  ConversionEnd end = ConversionEnd::readError;
  std::string back = runInMemory({text}, [&] { end = convertListing({.baud2000 = baud2000}); });
  require(end == ConversionEnd::finished, "the editable listing converts");
  require(back == dump, "the editable listing converts back to the same dump");
}
