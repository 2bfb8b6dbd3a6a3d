#include "platform/command_line.h"

#include <algorithm>

std::vector<std::u16string> splitCommandLine(std::u16string_view commandLine) {
  std::vector<std::u16string> words;
  size_t size = commandLine.size();
  size_t i = 0;
  while (true) {
    while (i < size && commandLine[i] == u' ')
      ++i;
    if (i == size) break;
    // A quoted word ends at the next quote, a bare word at the next space; either way the
    // delimiter is consumed. A bare word may contain quotes.
    char16_t delimiter = u' ';
    if (commandLine[i] == u'"') {
      delimiter = u'"';
      ++i;
    }
    size_t end = std::min(commandLine.find(delimiter, i), size);
    words.emplace_back(commandLine.substr(i, end - i));
    i = end == size ? size : end + 1;
  }
  return words;
}
