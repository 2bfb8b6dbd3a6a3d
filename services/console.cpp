#include "services/console.h"

#include "services/files.h"
#include "services/system.h"
#include "services/text.h"

namespace {
constexpr int kKeyPollMs = 20;
}

void endRun(int status) {
  closeAllFiles();
  exitProcess(status);
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
