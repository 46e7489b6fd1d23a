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
  EXPECT_EQ(regex.ReplaceText("abc", "x"), "");
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
