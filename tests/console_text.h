// The console text that code prints during a test, caught by a sink instead of the system's
// console, so that every system's tests check messages alike.
#pragma once

#include <string>
#include <string_view>

#include "platform/utf8.h"
#include "services/console.h"

inline std::string& caughtConsoleText() {
  static std::string text;
  return text;
}

// Runs run and returns what it printed, as UTF-8 with a "\n" ending each line.
template <typename Run>
std::string catchConsole(Run run) {
  caughtConsoleText().clear();
  ConsoleSink previous = setConsoleSink([](std::u16string_view text, bool lineEnd) {
    encodeUtf8(text, caughtConsoleText());
    if (lineEnd) caughtConsoleText() += '\n';
  });
  run();
  setConsoleSink(previous);
  return caughtConsoleText();
}
