#include "services/console.h"

#include "services/files.h"
#include "services/system.h"
#include "services/text.h"

namespace {
constexpr int kKeyPollMs = 20;

// A piece of a shown line: its UTF-16 forms take a few hundred KiB at most.
constexpr size_t kShownPieceBytes = 64 * 1024;

}  // namespace

void endRun(int status) {
  closeAllFiles();
  exitProcess(status);
}

void printShownLine(std::u16string_view before, std::string_view bytes, std::u16string_view after) {
  std::u16string line(before);
  std::u16string units;
  for (;;) {
    size_t size = utf8PieceLength(bytes, kShownPieceBytes);
    units.clear();
    decodeUtf8(bytes.substr(0, size), Utf8Errors::replace, units);
    line += visibleText(units);
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
    if (readKey(key) == KeyRead::closed) break;
    key = toUpper(key);
    if (!key.empty()) printLine(visibleText(key));
    if (key == u"Y") {
      yes = true;
      break;
    }
    if (key == u"N") break;
    delayMs(kKeyPollMs);
  }
  endKeyInput();
  return yes;
}
