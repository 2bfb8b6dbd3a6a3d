// The listing of a dump as text.
#pragma once

struct ListerOptions {
  bool editable = false;     // -e: the lowercase words that the converter reads back
  bool charNumbers = false;  // -n: an unrecognised code as {n} instead of "?"
  bool viperSoft = false;    // -v: codes 0x78..0x7F are VIPERSoft BASIC commands
  bool baud2000 = false;     // -2k: a line number word before every line
};

// Reads the dump in kInputFile to its end and writes its listing to kOutputFile as UTF-8 with CR
// LF line ends. Each piece is written as soon as its byte is read; memory does not grow with the
// input. Stops early only when writing has failed.
void renderDump(const ListerOptions& options);
