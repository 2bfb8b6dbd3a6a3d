// Text operations shared by both programs. The console, the command line and paths are UTF-16
// text (a Windows console takes it as it is; POSIX and the page carry UTF-8). A listing and a
// listing's pieces stay bytes from the file to the dump and back: only what is shown on the
// console is decoded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Each UTF-16 code unit mapped by Unicode simple case mapping; the length never changes and
// characters without case (digits, signs, arrows) stay as they are.
std::u16string toUpper(std::u16string_view text);
std::u16string toLower(std::u16string_view text);
char16_t upperOf(char16_t unit);
char16_t lowerOf(char16_t unit);

// The most bytes formatDecimal writes: a minus sign and the 19 digits of the most negative value.
constexpr size_t kMaxDecimalLength = 20;

// Writes value in decimal ASCII to out, which has room for kMaxDecimalLength bytes: a minus sign
// when negative, no plus sign, no leading zeros, no terminator. Returns its length; the bytes of
// out after it may change.
size_t formatDecimal(int64_t value, char* out);
std::u16string decimalText(int64_t value);

// What decodeUtf8 makes of bytes that are not well-formed UTF-8.
enum class Utf8Errors {
  // U+FFFD for each maximal subpart of an ill-formed sequence (C0 80 gives two): for text read
  // from files and keys.
  replace,
  // Each ill-formed byte b becomes the lone surrogate U+DC00 + b, which encodeUtf8 turns back
  // into b: for command-line words, so that a path the user typed reaches the system unchanged.
  escape,
};

// Appends the UTF-16 form of bytes to out.
void decodeUtf8(std::string_view bytes, Utf8Errors errors, std::u16string& out);

// The length of a start of bytes after which decodeUtf8 begins a new character, so that decoding
// the bytes piece by piece at such lengths gives the text of decoding them whole: all of them when
// they are at most most bytes, else most - 3 to most of them (most is 4 or more).
size_t utf8PieceLength(std::string_view bytes, size_t most);

// Appends the UTF-8 form of text to out. A lone surrogate U+DC80..U+DCFF gives back the byte
// that decodeUtf8 escaped; any other lone surrogate gives U+FFFD.
void encodeUtf8(std::u16string_view text, std::string& out);

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

// Splits a whole command line into words, the program's name first. Words are separated by
// spaces only; a word that starts with a double quote runs to the next double quote (or the end)
// and the quotes are not part of it, so "" is an empty word, and characters right after the
// closing quote start the next word. Other quotes, tabs and backslashes are ordinary characters.
std::vector<std::u16string> splitCommandLine(std::u16string_view commandLine);
