// MORVIX over arbitrary dump bytes in every option combination: no crash, well-formed UTF-8 with
// a CR LF for every line end, and the editable listing converts back with KALDEX to the same
// bytes: for every dump that ends in 13, and in the 2000-baud layout for the well-formed dump made
// from the same bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "basicdata/dump_format.h"
#include "fuzz/fuzz_support.h"
#include "services/text.h"

namespace {

bool isUtf8(const std::string& text) {
  std::u16string decoded;
  decodeUtf8(text, Utf8Errors::escape, decoded);
  std::string encoded;
  encodeUtf8(decoded, encoded);
  // Escaped bytes would come back unchanged too; none may be there.
  for (char16_t unit : decoded) {
    if (unit >= 0xDC80 && unit <= 0xDCFF) return false;
  }
  return encoded == text;
}

// In every layout each byte 13 read as code becomes one CR LF, and no CR or LF appears otherwise.
bool lineEndsMatch(const std::string& text, size_t lineEnds) {
  size_t found = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') return false;
    if (text[i] != '\r') continue;
    if (i + 1 == text.size() || text[i + 1] != '\n') return false;
    ++found;
    ++i;
  }
  return found == lineEnds;
}

void requireRoundTrip(const std::string& dump) {
  std::string text = renderBytes(dump, kEditableOptions);
  std::string back;
  require(convertBytes(text, back) == ConversionEnd::finished, "the editable listing converts");
  require(back == dump, "the editable listing converts back to the same dump");
}

struct Record {
  int number;
  std::string body;  // without its line end
};

// Reads the bytes as 2000-baud records until the end marker or the end of the bytes; a last
// line without its line end is taken whole.
std::vector<Record> recordsOf(const std::string& bytes) {
  std::vector<Record> records;
  size_t i = 0;
  while (i + 2 <= bytes.size()) {
    int number = static_cast<int16_t>(static_cast<uint16_t>(
        static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8));
    if (number == dump::kEndMarker) break;
    i += 2;
    size_t end = bytes.find('\r', i);
    if (end == std::string::npos) end = bytes.size();
    records.push_back({number, bytes.substr(i, end - i)});
    i = end + 1;
  }
  return records;
}

// The well-formed 2000-baud recording of records, with its 300-baud lines: numbered lines with
// their listing "number blank line" must be exactly the 300-baud listing with the numbers added.
void requireNumberedRoundTrip(const std::vector<Record>& records) {
  if (records.empty()) return;
  std::string recording;
  std::string lines;
  std::string expected;
  for (const Record& record : records) {
    recording += static_cast<char>(record.number & 0xFF);
    recording += static_cast<char>(record.number >> 8 & 0xFF);
    recording += record.body + '\r';
    lines += record.body + '\r';
  }
  recording.append("\x00\xFF", 2);
  ListerOptions numbered = kEditableOptions;
  numbered.baud2000 = true;
  std::string text = renderBytes(recording, numbered);
  std::string plain = renderBytes(lines, kEditableOptions);
  size_t start = 0;
  for (const Record& record : records) {
    size_t end = plain.find("\r\n", start);
    require(end != std::string::npos, "one listing line per record");
    std::u16string number = decimalText(record.number);
    expected.append(number.begin(), number.end());
    expected += ' ';
    expected.append(plain, start, end + 2 - start);
    start = end + 2;
  }
  require(start == plain.size(), "nothing after the last record");
  require(text == expected, "a numbered listing is the plain listing with line numbers");
  requireRoundTrip(lines);
}

}  // namespace

// Input: a byte whose low four bits choose the options and whose next bit chooses the layout of
// the round trip, then the dump.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  unsigned choice = data[0];
  std::string dump(reinterpret_cast<const char*>(data + 1), size - 1);
  ListerOptions options = {(choice & 1) != 0, (choice & 2) != 0, (choice & 4) != 0,
                           (choice & 8) != 0};
  std::string text = renderBytes(dump, options);
  require(isUtf8(text), "a listing is well-formed UTF-8");
  if (!options.baud2000) {
    size_t lineEnds = 0;
    for (char byte : dump)
      lineEnds += byte == '\r';
    require(lineEndsMatch(text, lineEnds), "one CR LF per line end");
  }
  if ((choice & 16) == 0) {
    if (!dump.empty() && dump.back() == '\r') requireRoundTrip(dump);
  } else {
    requireNumberedRoundTrip(recordsOf(dump));
  }
  return 0;
}
