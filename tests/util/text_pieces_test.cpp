#include "util/text_pieces.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

using Pieces = std::vector<std::string>;

TEST(TrimText, RemovesAsciiAndFullWidthSpacesAtBothEnds) {
  const std::pair<std::string, std::string> cases[] = {
      {"  a b  ", "a b"},
      {"\xA1\xA1 a\xA1\xA1", "a"},
      {"   ", ""},
      {"", ""},
      {"\tx\t", "\tx\t"},                   // only the space and the full-width space count
      {"\xB0\xA1\xA1\xA1", "\xB0\xA1"},     // B0 A1 is a character, then a full-width space
      {"\xB0\xA1\xA1", "\xB0\xA1\xA1"},     // ... here the last A1 is a lone lead byte
      {"x\xA1", "x\xA1"},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(TrimText(text), expected) << text;
  }
}

TEST(SplitText, KeepsEmptyPiecesExceptAfterTheLastSeparator) {
  EXPECT_EQ(SplitText("A|B|C|D|E", "|"), (Pieces{"A", "B", "C", "D", "E"}));
  EXPECT_EQ(SplitText("|a||b|", "|"), (Pieces{"", "a", "", "b"}));
  EXPECT_EQ(SplitText("a||", "|"), (Pieces{"a", ""}));
  EXPECT_EQ(SplitText("|", "|"), (Pieces{""}));
  EXPECT_EQ(SplitText("", "|"), Pieces{});
  EXPECT_EQ(SplitText("abc", "|"), (Pieces{"abc"}));
  EXPECT_EQ(SplitText("w1  w3", " "), (Pieces{"w1", "", "w3"}));
  EXPECT_EQ(SplitText("a<>b", "<>"), (Pieces{"a", "b"}));
  EXPECT_EQ(SplitText("abc", ""), (Pieces{"abc"}));
  // 95 7C is one character whose second byte is "|": not a separator.
  EXPECT_EQ(SplitText("a\x95|b|c", "|"), (Pieces{"a\x95|b", "c"}));
}

}  // namespace
}  // namespace quorvane
