// The Windows command line split into words, as the programs read it there. Written without the
// system, so that every build tests it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Splits a whole command line into words, the program's name first. Words are separated by
// spaces only; a word that starts with a double quote runs to the next double quote (or the end)
// and the quotes are not part of it, so "" is an empty word, and characters right after the
// closing quote start the next word. Other quotes, tabs and backslashes are ordinary characters.
std::vector<std::u16string> splitCommandLine(std::u16string_view commandLine);
