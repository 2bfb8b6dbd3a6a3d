// The command line over arbitrary bytes: a parameter's bytes reach the system unchanged after
// their trip through UTF-16, and the splitting of a whole command line into words gives back the
// same words from a command line rebuilt of them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "services/text.h"

namespace {

// A command line that splits into words: a word with a quote in it can only have been bare (and
// so holds no blank and does not start with a quote); any other word is put in quotes.
std::u16string joined(const std::vector<std::u16string>& words) {
  std::u16string line;
  for (const std::u16string& word : words) {
    if (!line.empty()) line += u' ';
    if (word.find(u'"') != std::u16string::npos) {
      line += word;
    } else {
      line += u'"' + word + u'"';
    }
  }
  return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::u16string parameter;
  decodeUtf8(bytes, Utf8Errors::escape, parameter);
  std::string back;
  encodeUtf8(parameter, back);
  require(back == bytes, "a parameter's bytes come back unchanged");

  std::vector<std::u16string> words = splitCommandLine(parameter);
  for (const std::u16string& word : words) {
    bool bare = word.find(u'"') != std::u16string::npos;
    require(!bare || (word.find(u' ') == std::u16string::npos && word[0] != u'"'),
            "a word with a quote in it is bare");
  }
  require(splitCommandLine(joined(words)) == words, "a rebuilt command line splits the same");
  return 0;
}
