// MORVIX over arbitrary dump bytes in every option combination: no crash, well-formed UTF-8 with
// one CR LF for each line end, and the editable listing converts back with KALDEX to the same
// bytes: a dump that ends in 13, or in the 2000-baud layout the recording made of the same bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "services/text.h"

// Input: a byte whose low four bits choose the options and whose next bit chooses the layout of
// the round trip, then the dump.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string dump(reinterpret_cast<const char*>(data + 1), size - 1);
  ListerOptions options = {.editable = (data[0] & 1) != 0,
                           .charNumbers = (data[0] & 2) != 0,
                           .viperSoft = (data[0] & 4) != 0,
                           .baud2000 = (data[0] & 8) != 0};
  std::string text = runInMemory({dump}, [&] { renderDump(options); });
  std::u16string decoded;
  decodeUtf8(text, Utf8Errors::escape, decoded);
  // Each byte that is not part of well-formed UTF-8 decodes to one of U+DC80..U+DCFF.
  require(std::none_of(decoded.begin(), decoded.end(),
                       [](char16_t unit) { return unit >= 0xDC80 && unit <= 0xDCFF; }),
          "a listing is well-formed UTF-8");
  if (!options.baud2000) {
    auto lineEnds = std::count(dump.begin(), dump.end(), '\r');
    decltype(lineEnds) pairs = 0;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2))
      ++pairs;
    require(pairs == lineEnds && std::count(text.begin(), text.end(), '\r') == lineEnds &&
                std::count(text.begin(), text.end(), '\n') == lineEnds,
            "one CR LF for each line end, and no other CR or LF");
  }
  if ((data[0] & 16) != 0) {
    std::string recording = recordingOf(dump);
    if (!recording.empty()) requireRoundTrip(recording, true);
  } else if (!dump.empty() && dump.back() == '\r') {
    requireRoundTrip(dump, false);
  }
  return 0;
}
