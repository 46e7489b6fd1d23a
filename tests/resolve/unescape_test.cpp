#include "resolve/unescape.h"

#include "support/gbk_literal.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(UnescapeUnicode, DecodesAndRemovesEscapes) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain text", "plain text"},
      {"\\u4e2d\\u6587.zip", G("中文.zip")},
      {"\\u4E2D", G("中")},
      {"\\U4e2D", G("中")},
      {"\\u0041B", "AB"},
      {"a\\uZZZZb", "ab"},              // digits that are not hexadecimal: removed
      {"ab\\u12", "ab"},                // cut short at the end: removed
      {"ab\\u", "ab"},
      {"\\u12xyz!", "z!"},              // short inside the text takes the bytes after it
      {"a\\u0020b\\u3000c", "abc"},     // spaces are removed, not decoded
      {"\\u0000x", "x"},
      {"\\ud83d\\ude00!", "!"},         // surrogate halves have no GBK form
      {"\\u4e2d \\u4E2D \\U4e2d", G("中 中 中")},
      {"\\\\u0041", "\\A"},
      {"\xB0\\u0041", "\xB0\\u0041"},   // a backslash that is a second byte starts nothing
      {"\\u" + G("４Ｅ２Ｄ"), "N" + G("２Ｄ")},  // full-width digits count; four bytes are two of them
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(UnescapeUnicode(text), expected) << text;
  }
}

TEST(UnescapeUnicode, MatchesTheStepwiseReadingWhereEscapesInteract) {
  const std::string cases[] = {
      "\\u005Cu0041 \\u0041",   // a decoded backslash forms a new escape that a later one replaces
      "\\u\\u0041\\uZ\\u0041",  // overlapping escapes
      "\\\\u0000u0041\\u0041",  // a removal joins a backslash to a "u"
      "\\u20AC\\u0041",         // a one-byte character that starts a two-byte one
      "\\u004\xB0\\u0041",      // an escape ending inside a two-byte character
  };
  for (const auto& text : cases) {
    EXPECT_EQ(UnescapeUnicode(text), detail::UnescapeUnicodeStepwise(text)) << text;
  }
  EXPECT_EQ(UnescapeUnicode("\\u005Cu0041 \\u0041"), "A A");
  EXPECT_EQ(UnescapeUnicode("\\u\\u0041\\uZ\\u0041"), "41\\uZA");
}

TEST(UnescapeUnicode, SinglePassVouchesOnlyForResultsItShares) {
  bool exact = false;
  const std::string text = "name \\u4e2d\\u6587 \\u0041 and \\u4E2D again";
  EXPECT_EQ(detail::UnescapeUnicodeSinglePass(text, exact), detail::UnescapeUnicodeStepwise(text));
  EXPECT_TRUE(exact);
  detail::UnescapeUnicodeSinglePass("\\u005Cu0041", exact);
  EXPECT_FALSE(exact);
}

TEST(CodeUnitToGbk, GivesOneOrTwoBytesOrNothing) {
  const std::pair<int, std::string> cases[] = {
      {0x41, "A"},     {0x4E2D, "\xD6\xD0"}, {0, ""},      {0x20, ""},
      {0x3000, ""},    {0xD800, ""},         {0x20AC, "\x80"}, {0x10041, "A"},  // low 16 bits
      {-1, ""},
  };
  for (const auto& [value, expected] : cases) {
    EXPECT_EQ(CodeUnitToGbk(value), expected) << value;
  }
}

}  // namespace
}  // namespace quorvane
