#include "util/text_search.h"

#include "support/gbk_literal.h"
#include "util/regex_object.h"

#include <gtest/gtest.h>

#include <optional>

namespace quorvane {
namespace {

using namespace std::string_literals;

struct BetweenCase {
  std::string source, start, end, expected;
};

TEST(TextBetween, CutsAfterFirstStartUpToFirstFollowingEnd) {
  const BetweenCase cases[] = {
      {"a[1]b[2]", "[", "]", "1"},
      {"x]y[z", "[", "]", ""},            // an end marker before the start does not count
      {"abc", "[", "]", ""},              // no start marker
      {"a[bc", "[", "]", ""},             // no end marker after the start
      {"xaby", "a", "b", ""},             // end marker directly after the start
      {"abc[", "[", "]", ""},             // start marker at the very end
      {"abc[", "[", "", ""},
      {"abc", "", "c", "ab"},             // empty start marker: the whole source
      {"", "", "", ""},                   // ... but not in an empty source
      {"abc", "a", "", ""},               // empty end marker always gives nothing
      {"a[[1]]", "[", "]", "[1"},
      {"user-agent: X\r\n", "User-Agent:", "\r\n", ""},  // case-sensitive
      {G("累计访问：1234&#10;点击申请计数器"), G("累计访问："), G("&#10;点击申请计数器"), "1234"},
      {"files\":\"a.zip\",\"download\":\"http://h/f\",\"error\":0", "\"download\":\"", "\",\"error",
       "http://h/f"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TextBetween(c.source, c.start, c.end), c.expected) << c.source << " | " << c.start;
  }
}

TEST(TextBetween, MarkersLineUpWithWholeCharacters) {
  // B0 5B is one character whose second byte is "[": it is no start marker.
  EXPECT_EQ(TextBetween("\xB0[x]y[z]", "[", "]"), "z");
  // The end marker "]" hidden as a second byte is skipped as well.
  EXPECT_EQ(TextBetween("[a\xB0]b]", "[", "]"), "a\xB0]b");
  // A lone lead byte at the end is a candidate of its own, and nothing is read past it.
  EXPECT_EQ(TextBetween("[ab\xB0", "[", "\xB0"), "ab");
  EXPECT_EQ(TextBetween("[ab\xB0", "[", "\xB0]"), "");
  EXPECT_EQ(TextBetween(std::string_view("[ab\xB0", 4), "[", "b"), "a");
}

struct FindCase {
  std::string text, sought;
  std::int64_t start;
  bool ignoreCase;
  std::int64_t expected;
};

TEST(FindText, FollowsTheSearchRule) {
  const FindCase cases[] = {
      {"hello", "l", 1, false, 3},
      {"hello", "", 1, false, 1},
      {"", "", 1, false, kNotFound},
      {"", "a", 1, false, kNotFound},
      {"abc", "abcd", 1, false, kNotFound},
      {"abcabc", "abc", 2, false, 4},     // positions count from the whole text
      {"abcabc", "abc", 0, false, 1},     // start below 1 counts as 1
      {"abcabc", "abc", 7, false, kNotFound},
      {"abcabc", "", 3, false, 3},
      {"abcabc", "", 7, false, kNotFound},
      {"xHeLLo", "hello", 1, true, 2},
      {"xHeLLo", "hello", 1, false, kNotFound},
      {"\xD6\xD0", "\xF6\xF0", 1, true, kNotFound},  // only A-Z fold
      {"a\\U12", "\\u", 1, true, 2},
      {"\xB0" "ab", "a", 1, false, kNotFound},       // "a" is the second byte of B0 61
      {"\xB0" "ab", "a", 2, false, 2},               // starting on it lines up afresh
      {"\xB0\xB0\xB0" "a", "a", 1, false, kNotFound},
      {"\xB0\xB0" "a", "a", 1, false, 3},
      {"ab\xB0", "\xB0", 1, false, 3},               // a lone lead byte at the end can be sought
      {"\xD6\xD0\xCE\xC4", "\xD0\xCE", 1, false, kNotFound},
      {"\xD6\xD0\xCE\xC4", "\xCE\xC4", 1, false, 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindText(c.text, c.sought, c.start, c.ignoreCase), c.expected)
        << '"' << c.text << "\" / \"" << c.sought << "\" from " << c.start;
  }
}

TEST(FindText, StepsOverLongRunsOfTwoByteCharacters) {
  // Candidates inside a long Chinese run must be judged by the pairs from its start.
  const std::string run(20000, '\xB0');
  EXPECT_EQ(FindText(run + "\xB0\xA1", "\xB0\xA1"), 20001);
  EXPECT_EQ(FindText(run + "x\xB0\xA1", "\xB0\xA1"), 20002);
  EXPECT_EQ(FindText(run + "\xB0\xB0\xA1", "\xB0\xA1"), kNotFound);
}

TEST(FirstBetweenOnOneLine, FindsWhatTheLazyExpressionFindsFirst) {
  const struct {
    std::string text;
    std::optional<std::string> found;
  } cases[] = {
      {G("x配3【a|b】y配3【c】"), "a|b"},
      {G("配3【a\n】 配3【b】"), "b"},                    // a record ends on its own line
      {G("配3【配3【a】"), G("配3【a")},                  // the first marker of a line counts
      {G("配3【a\r】"), "a\r"},
      {G("配3【】"), ""},
      {G("配3【\n\n配3【"), std::nullopt},
      {G("没有记录"), std::nullopt},
      {"", std::nullopt},
      {G("配3【") + std::string(300000, 'x') + G("\n配3【found】"), "found"},
  };
  RegexObject regex;
  regex.Prepare(G("配3【(.*?)】"));
  for (const auto& c : cases) {
    EXPECT_EQ(FirstBetweenOnOneLine(c.text, G("配3【"), G("】")), c.found) << c.text.substr(0, 40);
    EXPECT_EQ(regex.Search(c.text) > 0 ? std::optional(regex.SubMatchText(1, 1)) : std::nullopt, c.found);
  }
  const std::string element = "<IFRAME SRC=\"http://h/l\" STYLE=\"display:none;\">";
  EXPECT_EQ(FirstBetweenOnOneLine(element, "src=\"", "\" style=\"display:none;\"", true), "http://h/l");
  EXPECT_EQ(FirstBetweenOnOneLine(element, "src=\"", "\" style=\"display:none;\""), std::nullopt);
}

TEST(FirstBetweenOnOneLine, AnUnclosedRunIsPassedOverWhole) {
  // The expression engine tries each of these markers up to the end of the line.
  std::string page;
  while (page.size() < 320 * 1024) {
    page += G("配3【");
  }
  EXPECT_EQ(FirstBetweenOnOneLine(page, G("配3【"), G("】")), std::nullopt);
  EXPECT_EQ(FirstBetweenOnOneLine(page + G("\n配3【v|f|m|w】"), G("配3【"), G("】")), "v|f|m|w");
}

TEST(RemoveTexts, DeletesEveryOccurrenceOfEachTextInTurn) {
  EXPECT_EQ(RemoveTexts(R"({"files":"a\/b"})", "\\"), R"({"files":"a/b"})");
  EXPECT_EQ(RemoveTexts(R"(a\\b)", "\\"), "ab");               // a doubled backslash goes entirely
  EXPECT_EQ(RemoveTexts("\x95\\x\\", "\\"), "\x95\\x");         // a second byte stays
  EXPECT_EQ(RemoveTexts("aXbYc", "X", "", "Y"), "abc");         // empty removal texts are skipped
  EXPECT_EQ(RemoveTexts("abXYc", "XY", "ab"), "c");
  EXPECT_EQ(RemoveTexts("aXYb", "Y", "Xb"), "a");             // later texts see what earlier left
  EXPECT_EQ(RemoveTexts("aaaa", "aa"), "");
  EXPECT_EQ(RemoveTexts("aaa", "aa"), "a");
  EXPECT_EQ(RemoveTexts("", "a"), "");
  EXPECT_EQ(RemoveTexts("1a2b3c4d5e6f7g8h9i0j", "a", "b", "c", "d", "e", "f", "g", "h", "i", "j"),
            "1234567890");
  EXPECT_EQ(RemoveTexts("a\0b\0c"s, "\0"s), "abc");             // zero bytes in byte strings
}

}  // namespace
}  // namespace quorvane
