#include "platform/command_line.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandLine, SplitsWords) {
  struct Case {
    std::u16string line;
    std::vector<std::u16string> words;
  };
  const Case cases[] = {
      {u"prog \"my program.txt\" output.prg", {u"prog", u"my program.txt", u"output.prg"}},
      {u"prog a b   ", {u"prog", u"a", u"b"}},
      {u"prog a\tb\\c", {u"prog", u"a\tb\\c"}},
      {u"prog \"\" b", {u"prog", u"", u"b"}},
      {u"prog \"abc\"def", {u"prog", u"abc", u"def"}},
      {u"prog ab\"c d\"", {u"prog", u"ab\"c", u"d\""}},
      {u"prog \"abc def", {u"prog", u"abc def"}},
      {u"  \"C:\\my prog\"  x", {u"C:\\my prog", u"x"}},
      {u"   ", {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.words, splitCommandLine(c.line));
}

}  // namespace
