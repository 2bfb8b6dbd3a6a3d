// parseNumber over arbitrary text: no undefined behaviour on any length of digits, and the value
// read agrees with its own decimal, hexadecimal and binary forms, with signs and blanks before it,
// and with the byte a numeric escape of the same text gives.
//
// Input: the text's bytes; bytes 0x80 and above, such as those of the full-width digits and
// letters, must not count as digits.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "services/text.h"

namespace {

std::string digitsOf(uint64_t value, unsigned base) {
  static const char kDigits[] = "0123456789abcdef";
  std::string digits;
  do {
    digits.insert(digits.begin(), kDigits[value % base]);
    value /= base;
  } while (value != 0);
  return digits;
}

// The number parseNumber reads at the start of text, which its zero terminator ends in any case.
int64_t numberOf(const std::string& text) {
  const char* start = text.c_str();
  return parseNumber(start);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  int64_t value = numberOf(text);
  uint64_t bits = static_cast<uint64_t>(value);

  char decimal[kMaxDecimalLength];
  require(numberOf(std::string(decimal, formatDecimal(value, decimal))) == value,
          "the decimal form reads back");
  require(numberOf("$" + digitsOf(bits, 16)) == value, "the hexadecimal form reads back");
  require(numberOf("%" + digitsOf(bits, 2)) == value, "the binary form reads back");
  require(numberOf(" \t " + text) == value, "blanks and tabs before the number are skipped");

  bool bare =
      text.empty() || (text[0] != ' ' && text[0] != '\t' && text[0] != '-' && text[0] != '+');
  if (bare) {
    require(numberOf("+" + text) == value, "a plus sign changes nothing");
    require(static_cast<uint64_t>(numberOf("-" + text)) == 0 - bits, "a minus sign negates");
  }

  // An escape ends at its first "}", and a line at its first line end byte.
  if (text.find_first_of(std::string("}\r\n\0", 4)) == std::string::npos) {
    std::string line = "{" + text + "}" + std::string(kLinePadding, '\0');
    const char* start = line.data();
    std::string bytes(line.size() + kEncodeSlack, '\0');
    char* out = &bytes[0];
    std::string_view word;
    require(encodeLine(start, out, word) == LineError::none, "an escape encodes");
    require(out == bytes.data() + 1 && bytes[0] == static_cast<char>(bits & 0xFF),
            "an escape is its number modulo 256");
  }
  return 0;
}
