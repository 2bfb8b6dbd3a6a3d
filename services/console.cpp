#include "services/console.h"

#include <new>

#include "platform/system.h"
#include "services/files.h"
#include "services/text.h"

namespace {
constexpr int kKeyPollMs = 20;

// A piece of a shown line: its UTF-16 forms take a few hundred KiB at most.
constexpr size_t kShownPieceBytes = 64 * 1024;

// Enough for the message and for closing the files: what the run still needs at its end.
constexpr size_t kMemoryReserveBytes = 64 * 1024;
char* memoryReserve = nullptr;
bool memoryRanOut = false;

ConsoleSink consoleSink = systemPrint;

void onMemoryRunningOut() {
  delete[] memoryReserve;
  memoryReserve = nullptr;
  // Memory that runs out again while the message is printed ends the run without it.
  if (!memoryRanOut) {
    memoryRanOut = true;
    printLine(u"Not enough memory to go on.");
    printLine(u"");
  }
  endRun(kExitFailure);
}

// closeAllFiles, for the system to call when it ends the run itself.
void closeFiles() {
  closeAllFiles();
}

}  // namespace

void runProgram(int argc, char** argv, int (*run)()) {
  systemStart(argc, argv, closeFiles);
  std::set_new_handler(onMemoryRunningOut);
  memoryReserve = new char[kMemoryReserveBytes];
  endRun(run());
}

void endRun(int status) {
  closeAllFiles();
  exitProcess(status);
}

ConsoleSink setConsoleSink(ConsoleSink sink) {
  ConsoleSink replaced = consoleSink;
  consoleSink = sink != nullptr ? sink : systemPrint;
  return replaced;
}

void printLine(std::u16string_view text) {
  consoleSink(text, true);
}

void printPart(std::u16string_view text) {
  consoleSink(text, false);
}

void printShownLine(std::u16string_view before, std::string_view bytes, std::u16string_view after) {
  std::u16string line(before);
  std::u16string units;
  ShownMarks marks;
  for (;;) {
    size_t size = utf8PieceLength(bytes, kShownPieceBytes);
    units.clear();
    decodeUtf8(bytes.substr(0, size), Utf8Errors::replace, units);
    line += visibleText(units, marks);
    bytes.remove_prefix(size);
    if (bytes.empty()) break;
    printPart(line);
    line.clear();
  }
  line += after;
  printLine(line);
}

bool confirmYesNo(std::u16string_view question) {
  // Keys go to the question before it is shown, so a key typed at once is never echoed by the
  // terminal itself.
  beginKeyInput();
  printLine(question);
  bool yes = false;
  std::u16string key;
  for (;;) {
    KeyRead read = readKey(key);
    if (read == KeyRead::closed) break;
    // Keys already waiting are taken at once; the pause is only for one to come.
    if (read == KeyRead::none) {
      delayMs(kKeyPollMs);
      continue;
    }
    key = toUpper(key);
    if (!key.empty()) printLine(visibleText(key));
    if (key == u"Y") {
      yes = true;
      break;
    }
    if (key == u"N") break;
  }
  endKeyInput();
  return yes;
}
