// parseNumber over arbitrary text: no undefined behaviour on any length of digits, and the value
// read agrees with its own decimal, hexadecimal and binary forms, with signs and blanks before it,
// and with the byte a numeric escape of the same text gives.
//
// Input: each byte is one code unit; bytes 0x80 and above become U+FF00 and up, where the
// full-width digits and letters are, which must not count as digits.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "services/text.h"

namespace {

std::u16string digitsOf(uint64_t value, unsigned base) {
  static const char16_t kDigits[] = u"0123456789abcdef";
  std::u16string digits;
  do {
    digits.insert(digits.begin(), kDigits[value % base]);
    value /= base;
  } while (value != 0);
  return digits;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text;
  for (size_t i = 0; i < size; ++i)
    text += data[i] < 0x80 ? char16_t{data[i]} : static_cast<char16_t>(0xFF00 | data[i]);
  int64_t value = parseNumber(text);
  uint64_t bits = static_cast<uint64_t>(value);

  require(parseNumber(decimalText(value)) == value, "the decimal form reads back");
  require(parseNumber(u"$" + digitsOf(bits, 16)) == value, "the hexadecimal form reads back");
  require(parseNumber(u"%" + digitsOf(bits, 2)) == value, "the binary form reads back");
  require(parseNumber(u" \t " + text) == value, "blanks and tabs before the number are skipped");

  bool bare =
      text.empty() || (text[0] != u' ' && text[0] != u'\t' && text[0] != u'-' && text[0] != u'+');
  if (bare) {
    require(parseNumber(u"+" + text) == value, "a plus sign changes nothing");
    require(static_cast<uint64_t>(parseNumber(u"-" + text)) == 0 - bits, "a minus sign negates");
  }

  if (text.find(u'}') == std::u16string::npos) {
    std::string bytes;
    std::u16string_view word;
    require(encodeLine(u"{" + text + u"}", bytes, word) == LineError::none, "an escape encodes");
    require(bytes == std::string(1, static_cast<char>(bits & 0xFF)),
            "an escape is its number modulo 256");
  }
  return 0;
}
