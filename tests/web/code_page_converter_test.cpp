#include "web/code_page_converter.h"

#include <gtest/gtest.h>

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#endif

// The same cases hold for every platform's converter: the bytes are those Windows gives.
namespace quorvane::codepage {
namespace {

using namespace std::string_literals;

TEST(CodePages, KnownCharactersConvertBothWays) {
  const struct {
    unsigned codePage;
    std::string bytes;
    std::u16string units;
  } cases[] = {
      {kUtf8, "\xE4\xB8\xAD\xE6\x96\x87", u"\u4E2D\u6587"},
      {kGbk, "\xD6\xD0\xCE\xC4", u"\u4E2D\u6587"},
      {kGbk, "\xD6\xD0\xC8\x41", u"\u4E2D\u83EF"},  // a traditional form GBK has too
      {kBig5, "\xA4\xA4\xB5\xD8", u"\u4E2D\u83EF"},
      {kGbk, "\x80", u"\u20AC"},
      {kUtf8, "\xF0\x9F\x98\x80", u"\U0001F600"},
      {kGbk, "http://a.test/?b=c", u"http://a.test/?b=c"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Decode(c.bytes, c.codePage), c.units) << c.codePage << " " << c.bytes;
    EXPECT_EQ(Encode(c.units, c.codePage), c.bytes) << c.codePage << " " << c.bytes;
  }
  EXPECT_EQ(Transcode("\xE4\xB8\xAD\xE6\x96\x87", kUtf8, kGbk), "\xD6\xD0\xCE\xC4");
  EXPECT_EQ(Transcode("\xA4\xA4\xB5\xD8", kBig5, kGbk), "\xD6\xD0\xC8\x41");
  EXPECT_EQ(Decode("", kGbk), u"");
  EXPECT_EQ(Encode(u"", kGbk), "");
}

TEST(CodePages, TheSystemCodePageIsGbk) {
#ifdef _WIN32
  if (GetACP() != 936) {
    GTEST_SKIP() << "the system code page here is " << GetACP() << ", not GBK (936)";
  }
#endif
  EXPECT_TRUE(IsKnown(kSystem));
  EXPECT_EQ(Encode(u"\u4E2D", kSystem), "\xD6\xD0");
  EXPECT_EQ(Decode("\xD6\xD0", kSystem), u"\u4E2D");
}

TEST(CodePages, InvalidBytesBecomeOneSubstituteEach) {
  const struct {
    unsigned codePage;
    std::string bytes;
    std::u16string units;  // with U+FFFD for each invalid piece
  } cases[] = {
      {kUtf8, "a\xFF" "b\xE4\xB8" "c\xE4", u"a\uFFFDb\uFFFDc\uFFFD"},  // a cut sequence is one piece
      {kUtf8, "\xF0\x9F\x98" "a", u"\uFFFDa"},
      {kUtf8, "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},                // an encoded surrogate
      {kUtf8, "\xC0\xAF", u"\uFFFD\uFFFD"},                          // an overlong slash
      {kUtf8, "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},      // beyond U+10FFFF
      {kBig5, "\xA4\xA4\xA4\x30" "a", u"\u4E2D\uFFFD0a"},            // a lead byte before a digit
      {kBig5, "a\xA4", u"a\uFFFD"},                                  // a lone lead byte at the end
      {kGbk, "\x81\x20" "b", u"\uFFFD b"},
      {kGbk, "\xA1\x7F" "a", u"\uFFFD\x7F" "a"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Decode(c.bytes, c.codePage), c.units) << c.codePage << " " << c.bytes;
    std::u16string questionMarks = c.units;
    std::replace(questionMarks.begin(), questionMarks.end(), u'\uFFFD', u'?');
    EXPECT_EQ(Decode(c.bytes, c.codePage, InvalidBytes::QuestionMark), questionMarks) << c.bytes;
  }
  EXPECT_EQ(Transcode("a\xFF" "b\xE4\xB8" "c\xE4", kUtf8, kGbk), "a?b?c?");
}

TEST(CodePages, UnwritableCharactersBecomeTheDefaultOrEndTheText) {
  const struct {
    unsigned codePage;
    std::u16string units;
    std::string withDefault;
    std::string ended;
  } cases[] = {
      {kGbk, u"a\u2022b", "a?b", "a"},
      {kGbk, u"\u4E2D\u00AF\u4E2D", "\xD6\xD0?\xD6\xD0", "\xD6\xD0"},  // no look-alike for the macron
      {kGbk, u"\U0001F600 ok", "? ok", ""},
      {kUtf8, u"a\xD800" "b", "a\xEF\xBF\xBD" "b", "a"},            // a lone surrogate
      {kGbk, u"abc", "abc", "abc"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Encode(c.units, c.codePage), c.withDefault) << c.withDefault;
    EXPECT_EQ(Encode(c.units, c.codePage, Unwritable::EndText), c.ended) << c.withDefault;
  }
}

TEST(CodePages, UnknownCodePagesGiveNothing) {
  EXPECT_FALSE(IsKnown(12345));
  EXPECT_EQ(Decode("abc", 12345), u"");
  EXPECT_EQ(Encode(u"abc", 12345), "");
  EXPECT_EQ(Transcode("abc", kUtf8, 12345), "");
}

TEST(CodePages, LongTextsConvertWholeWithFaultsAnywhere) {
  // Long runs with no ASCII and faults far in: each fault costs one character, no more.
  std::string gbk;
  std::string utf8;
  std::u16string units;
  for (int i = 0; i < 300000; ++i) {
    gbk += "\xD6\xD0";
    utf8 += "\xE4\xB8\xAD";
    units += u'\u4E2D';
  }
  EXPECT_EQ(Decode(gbk, kGbk), units);
  EXPECT_EQ(Encode(units, kGbk), gbk);
  EXPECT_EQ(Transcode(utf8, kUtf8, kGbk), gbk);

  const std::size_t fault = 200001;  // mid-character, far into the text
  std::string brokenGbk = gbk;
  brokenGbk[fault] = ' ';
  std::u16string brokenUnits = units;
  brokenUnits.replace(fault / 2, 1, u"\uFFFD ");
  EXPECT_EQ(Decode(brokenGbk, kGbk), brokenUnits);

  std::string brokenUtf8 = utf8;
  brokenUtf8[3 * 100000] = 'x';  // in place of a lead byte: two continuation bytes follow
  std::u16string utf8Units = units;
  utf8Units.replace(100000, 1, u"x\uFFFD\uFFFD");
  EXPECT_EQ(Decode(brokenUtf8, kUtf8), utf8Units);

  std::u16string unwritable = units;
  unwritable[250000] = u'\u00AF';
  EXPECT_EQ(Encode(unwritable, kGbk, Unwritable::EndText), gbk.substr(0, 500000));
}

}  // namespace
}  // namespace quorvane::codepage
