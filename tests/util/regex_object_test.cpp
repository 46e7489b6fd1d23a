#include "util/regex_object.h"

#include "support/gbk_literal.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(RegexObject, PreparedWithThePatternAloneIgnoresCaseAndFindsEveryMatch) {
  RegexObject regex;
  EXPECT_TRUE(regex.Prepare("id=(\\d+)"));
  EXPECT_EQ(regex.Search("ID=1 id=22 Id=333"), 3);
  EXPECT_EQ(regex.MatchCount(), 3);
  EXPECT_EQ(regex.MatchText(2), "id=22");
  EXPECT_EQ(regex.SubMatchText(1, 1), "1");
  EXPECT_EQ(regex.SubMatchText(3, 1), "333");
  EXPECT_EQ(regex.SubMatchText(4, 1), "");  // no such match
  EXPECT_EQ(regex.SubMatchText(1, 0), "");  // groups count from 1
  EXPECT_EQ(regex.SubMatchText(1, 2), "");
  EXPECT_EQ(regex.MatchText(0), "");
  EXPECT_EQ(regex.SubMatchCount(), 1);
}

TEST(RegexObject, FlagsCanBeTurnedOff) {
  RegexObject regex;
  regex.Prepare("a(.)", false, true, false);
  EXPECT_EQ(regex.Search("Ax ab ac"), 1);
  EXPECT_EQ(regex.SubMatchText(1, 1), "b");
}

TEST(RegexObject, MatchesGbkTextCharacterByCharacter) {
  RegexObject regex;
  regex.Prepare(G("配3【(.*?)】"));
  EXPECT_EQ(regex.Search(G("前言 配3【v2|文件夹|mark|一 二 三 四】 配3【second】")), 2);
  EXPECT_EQ(regex.SubMatchText(1, 1), G("v2|文件夹|mark|一 二 三 四"));
  // The lazy wildcard stops at the first closing bracket, and only a line feed ends
  // a line: a carriage return is an ordinary character.
  regex.Prepare(G("【(.*?)】"));
  regex.Search(G("【a\r】 【b\nc】"));
  EXPECT_EQ(regex.MatchCount(), 1);
  EXPECT_EQ(regex.SubMatchText(1, 1), "a\r");
}

TEST(RegexObject, StateFollowsPrepareAndSearch) {
  RegexObject regex;
  EXPECT_EQ(regex.Search("anything"), 0);  // no engine yet
  EXPECT_EQ(regex.GetPattern(), "");
  regex.Prepare("(x)");
  regex.Search("x x");
  EXPECT_EQ(regex.MatchCount(), 2);
  const RegexObject copy = regex.Clone();
  regex.Prepare("y");
  EXPECT_EQ(regex.MatchCount(), 0);  // a new Prepare drops the matches
  EXPECT_EQ(regex.SubMatchCount(), 0);
  EXPECT_EQ(copy.MatchCount(), 2);   // the clone keeps its own
  EXPECT_EQ(copy.GetPattern(), "(x)");
  regex.Destroy();
  EXPECT_EQ(regex.GetPattern(), "");
}

TEST(RegexObject, MalformedPatternsMatchNothing) {
  RegexObject regex;
  EXPECT_TRUE(regex.Prepare("'>Rel(ease</a>"));
  EXPECT_EQ(regex.GetPattern(), "'>Rel(ease</a>");
  EXPECT_EQ(regex.Search("'>Rel(ease</a>"), 0);
  for (const char* pattern : {"'>Rel(ease</a>", "a{b", "[[]", "(?<", "\\"}) {
    EXPECT_TRUE(regex.Prepare(pattern));
    EXPECT_EQ(regex.Search(std::string("a{b [[] ") + pattern), 0) << pattern;
    EXPECT_EQ(regex.ReplaceText("abc a{b", "x"), "abc a{b") << pattern;
  }
}

TEST(RegexObject, ARunawayMatchMatchesNothing) {
  // Exponential backtracking: without a bound this runs for longer than anyone waits.
  const std::string listing = "'>" + std::string(40, 'a');
  RegexObject regex;
  regex.SetTimeLimit(50);
  regex.Prepare("'>(a+)+b");
  EXPECT_EQ(regex.Search(listing), 0);
  EXPECT_EQ(regex.ReplaceText(listing, "x"), listing);
  // Matches found before the runaway one stay; the bound holds for each match anew.
  regex.Prepare("(x)|'>(a+)+b");
  EXPECT_EQ(regex.Search(std::string(20000, 'x') + listing), 20000);
  EXPECT_EQ(regex.ReplaceText("xx" + listing, "y"), "yy" + listing);
}

TEST(RegexObject, ReplacementsReadDollarsAsTheScriptingEngineDoes) {
  const struct {
    const char* pattern;
    const char* replacement;
    const char* result;
  } cases[] = {
      {"(b)(c)", "[$2$1]", "a[cb]d"},
      {"(b)(c)", "[$&]", "a[bc]d"},
      {"(b)(c)", "[$$1]", "a[$1]d"},
      {"(b)(c)", "[$`|$']", "a[a|d]d"},
      {"(b)(c)", "[$3$0$x$]", "a[$3$0$x$]d"},     // no such group, or no group at all
      {"(b)(c)", "[$12]", "a[b2]d"},              // two digits only for a group that exists
      {"(b)(c)", "[$01]", "a[b]d"},
      {"(b)(c)", "[\\1\\$1\\]", "a[\\1\\b\\]d"},  // a backslash is an ordinary character
      {"(b)(c)()()()()()()()()()", "[$11|$12|$2]", "a[|b2|c]d"},  // eleven groups
  };
  RegexObject regex;
  for (const auto& c : cases) {
    regex.Prepare(c.pattern);
    EXPECT_EQ(regex.ReplaceText("abcd", c.replacement), c.result) << c.pattern << " " << c.replacement;
  }
  regex.Prepare("x*");
  EXPECT_EQ(regex.ReplaceText("ab", "-"), "-a-b-");  // empty matches, one a character
  regex.Prepare(G("(中)"));
  EXPECT_EQ(regex.ReplaceText(G("中文"), "$1$1"), G("中中文"));
}

TEST(RegexObject, ReplacesEveryMatchOrTheFirst) {
  RegexObject regex;
  regex.Prepare("(\\d)");
  EXPECT_EQ(regex.ReplaceText("a1b2", "<$1>"), "a<1>b<2>");
  regex.Prepare("(\\d)", true, true, false);
  EXPECT_EQ(regex.ReplaceText("a1b2", "#"), "a#b2");
}

TEST(RegexObject, LargePagesAreSearchedWhole) {
  std::string page(10 << 20, 'x');
  page += G("配3【found】");
  RegexObject regex;
  regex.Prepare(G("配3【(.*?)】"));
  EXPECT_EQ(regex.Search(page), 1);
  EXPECT_EQ(regex.SubMatchText(1, 1), "found");
}

}  // namespace
}  // namespace quorvane
