// KALDEX over arbitrary listing bytes, in both layouts: no crash, and a listing it accepts comes
// back to the same dump after MORVIX -e -n -v (-2k) and KALDEX (-2K) again.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The conversion errors go to the standard output; they are not what is looked at here.
  int null = open("/dev/null", O_WRONLY);
  if (null >= 0) dup2(null, STDOUT_FILENO);
  return 0;
}

namespace {

// A 2000-baud recording that MORVIX lists record by record: at least one record, each a number
// word other than the end marker, content and the line end, then the end marker as its last
// two bytes. Content holding the line end byte would split its record, and one such split can
// make an end marker early.
bool wellFormed2000(std::string_view dump) {
  size_t at = 0;
  size_t records = 0;
  while (at + 2 <= dump.size()) {
    bool endMarker = dump[at] == '\x00' && dump[at + 1] == '\xFF';
    if (endMarker) return records > 0 && at + 2 == dump.size();
    size_t lineEnd = dump.find('\r', at + 2);
    if (lineEnd == std::string_view::npos) return false;
    at = lineEnd + 1;
    ++records;
  }
  return false;
}

void checkRoundTrip(std::string_view listing, DumpLayout layout) {
  std::string dump;
  ConversionEnd end = convertBytes(listing, dump, layout);
  require(end == ConversionEnd::finished || end == ConversionEnd::listingError,
          "only a listing error stops a conversion in memory");
  if (end != ConversionEnd::finished) return;
  ListerOptions options = kEditableOptions;
  if (layout == DumpLayout::baud300) {
    require(dump.empty() || dump.back() == '\r', "an accepted listing gives whole lines");
  } else {
    require(dump.size() >= 2 && dump.substr(dump.size() - 2) == std::string("\x00\xFF", 2),
            "an accepted 2000-baud listing ends with the end marker");
    if (!wellFormed2000(dump)) return;
    options.baud2000 = true;
  }

  std::string text = renderBytes(dump, options);
  std::string again;
  require(convertBytes(text, again, layout) == ConversionEnd::finished,
          "the editable listing converts");
  require(again == dump, "the editable listing converts back to the same dump");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view listing(reinterpret_cast<const char*>(data), size);
  checkRoundTrip(listing, DumpLayout::baud300);
  checkRoundTrip(listing, DumpLayout::baud2000);
  return 0;
}
