// KALDEX over arbitrary listing bytes: no crash, and a listing it accepts comes back to the same
// dump after MORVIX -e -n -v and KALDEX again.
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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view listing(reinterpret_cast<const char*>(data), size);
  std::string dump;
  ConversionEnd end = convertBytes(listing, dump);
  require(end == ConversionEnd::finished || end == ConversionEnd::listingError,
          "only a listing error stops a conversion in memory");
  if (end != ConversionEnd::finished) return 0;
  require(dump.empty() || dump.back() == '\r', "an accepted listing gives whole lines");

  std::string text = renderBytes(dump, kEditableOptions);
  std::string again;
  require(convertBytes(text, again) == ConversionEnd::finished, "the editable listing converts");
  require(again == dump, "the editable listing converts back to the same dump");
  return 0;
}
