// Text operations shared by both programs. The console, the command line and paths are UTF-16
// text (a Windows console takes it as it is; POSIX and the page carry UTF-8). A listing and a
// listing's pieces stay bytes from the file to the dump and back: only what is shown on the
// console is decoded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/utf8.h"

// Each UTF-16 code unit mapped by Unicode simple case mapping; the length never changes and
// characters without case (digits, signs, arrows) stay as they are.
std::u16string toUpper(std::u16string_view text);
std::u16string toLower(std::u16string_view text);

// The most bytes formatDecimal writes: a minus sign and the 19 digits of the most negative value.
constexpr size_t kMaxDecimalLength = 20;

// Writes value in decimal ASCII to out, which has room for kMaxDecimalLength bytes: a minus sign
// when negative, no plus sign, no leading zeros, no terminator. Returns its length; the bytes of
// out after it may change.
size_t formatDecimal(int64_t value, char* out);
std::u16string decimalText(int64_t value);

// How many bytes of the front of bytes to decode as one piece, so that decoding piece by piece
// gives the text of decoding them whole: all of them when there are no more than limit, else
// between limit - 3 and limit, cut where decodeUtf8 starts a new character (limit is 4 or more).
size_t utf8PieceLength(std::string_view bytes, size_t limit);

// Where a text shown in pieces stands at the end of a piece: how many combining marks the last
// character shown carries, or kNoBase when that is no character a mark could be seen on.
struct ShownMarks {
  static constexpr int kNoBase = -1;
  int count = kNoBase;
};

// The text as the console shows text from outside the program, which must not be able to drive
// the terminal: C0 controls and DEL in caret notation ("^[" for ESC, "^I" for a tab, "^?" for
// DEL), and C1 controls U+0080..U+009F, as well as the bytes 0x80..0x9F that decodeUtf8 escaped,
// as "M-" and the caret form of the control 0x80 below ("M-^[" for U+009B), as cat -v shows bytes.
// Characters that show as nothing or as a blank, or that reorder what is shown around them, are
// shown by name, "<U+FEFF>" (four or more uppercase hexadecimal digits): the default-ignorable
// and format characters, the line and paragraph separators, every space but U+0020 and the
// braille blank U+2800, as the Unicode data in tools/invisible_characters.txt gives them. So is a
// combining mark on no visible character (at the start, after a control or a name) and the third
// and later mark on one; "e" and U+0301 stay as they are. A surrogate pair counts as the one
// character it is. The second form goes on from marks, the state after the text before, and
// leaves it as after this text.
std::u16string visibleText(std::u16string_view text);
std::u16string visibleText(std::u16string_view text, ShownMarks& marks);
