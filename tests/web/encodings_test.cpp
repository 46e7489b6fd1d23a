#include "web/encodings.h"

#include "support/wine.h"
#include "web/code_page_converter.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

using namespace std::string_literals;

TEST(Encodings, ConvertTheKnownByteExamples) {
  EXPECT_EQ(Utf8ToGbk("\xE4\xB8\xAD\xE6\x96\x87"), "\xD6\xD0\xCE\xC4");
  EXPECT_EQ(RecodeBig5("\xA4\xA4\xB5\xD8"), "\xD6\xD0\xC8\x41");
}

TEST(Encodings, SimplifyTheKnownByteExamples) {
  QUORVANE_SKIP_WITHOUT_CHINESE_SIMPLIFICATION();
  EXPECT_EQ(Big5ToGbk("\xA4\xA4\xB5\xD8"), "\xD6\xD0\xBB\xAA");
  EXPECT_EQ(ToSimplifiedChinese("\xD6\xD0\xC8\x41"), "\xD6\xD0\xBB\xAA");
}

TEST(Encodings, AsciiAndEmptyTextPassUnchanged) {
  const std::string ascii = "http://example.test/a?b=c&d=e#f";
  for (const auto& convert : {Utf8ToGbk, Big5ToGbk, RecodeBig5, ToSimplifiedChinese}) {
    EXPECT_EQ(convert(ascii), ascii);
    EXPECT_EQ(convert(""), "");
  }
  EXPECT_EQ(TextToWide(""), WideBuffer(1, u'\0'));
  EXPECT_EQ(WideToText(u""), "");
}

TEST(Encodings, InputIsReadUpToItsFirstZeroByte) {
  EXPECT_EQ(Utf8ToGbk("ab\0\xE4\xB8\xAD"s), "ab");
  EXPECT_EQ(Big5ToGbk("\xA4\xA4\0\xB5\xD8"s), "\xD6\xD0");
  EXPECT_EQ(TextToWide("a\0b"s), (WideBuffer{u'a', u'\0'}));
  EXPECT_EQ(WideToText(u"\u4E2D\0\u6587"s), "\xD6\xD0");
}

TEST(Encodings, InvalidInputNeverEmptiesTheText) {
  // Invalid UTF-8 and characters without a GBK form become "?"; the rest survives.
  EXPECT_EQ(Utf8ToGbk("a\xFF" "b\xE4\xB8" "c\xE4"), "a?b?c?");
  EXPECT_EQ(Utf8ToGbk("\xF0\x9F\x98\x80 ok"), "? ok");              // outside GBK
  EXPECT_EQ(Utf8ToGbk("\xE4\xB8\xAD\xE4\xB8\xAD"), "\xD6\xD0\xD6\xD0");  // needs fewer bytes than it has
  // A Big5 character GBK lacks (A1 C2, the macron) ends the recoded text where it stands.
  EXPECT_EQ(RecodeBig5("\xA4\xA4\xA1\xC2\xA4\xA4"), "\xD6\xD0");
  // Invalid Big5 bytes become "?" instead of ending the text.
  EXPECT_EQ(RecodeBig5("\xA4\xA4\xA4\x30" "a"), "\xD6\xD0?0a");
  EXPECT_EQ(RecodeBig5("a\xA4"), "a?");                            // lone lead byte at the end
}

TEST(Encodings, WideBufferRoutinesHonourTheirCodePages) {
  EXPECT_EQ(TextToWide("\xE4\xB8\xAD"), (WideBuffer{u'\u4E2D', u'\0'}));
  EXPECT_EQ(TextToWide("\xD6\xD0", codepage::kGbk), (WideBuffer{u'\u4E2D', u'\0'}));
  EXPECT_EQ(TextToWide("\xA4\xA4", codepage::kBig5), (WideBuffer{u'\u4E2D', u'\0'}));
  EXPECT_EQ(WideToText(u"\u4E2D"), "\xD6\xD0");
  EXPECT_EQ(WideToText(u"\u4E2D", codepage::kUtf8), "\xE4\xB8\xAD");
  EXPECT_EQ(WideToText(u"a\u2022b"), "a?b");                      // GBK's default character
  EXPECT_EQ(WideToText(u"\u20AC"), "\x80");
  EXPECT_EQ(TextToWide("abc", 12345), WideBuffer(1, u'\0'));      // no such code page
}

TEST(Encodings, TraditionalCharactersWhoseSimplifiedFormGbkLacksStayAsTheyAre) {
  QUORVANE_SKIP_WITHOUT_CHINESE_SIMPLIFICATION();
  const struct {
    std::string big5, gbk;
  } cases[] = {
      {"\xC4\xD8", "\x83\xAC"},                                  // U+5138, simplified U+3469
      {"\xB3\x60", "\xD4\x44"},                                  // U+8A22, simplified U+4723
      {"\xA4\xA4\xF8\xDC\xB5\xD8", "\xD6\xD0\xFA\xA0\xBB\xAA"},  // U+9E02 kept between 中 and 华
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Big5ToGbk(c.big5), c.gbk);
    EXPECT_EQ(ToSimplifiedChinese(c.gbk), c.gbk);
  }
}

TEST(Encodings, EveryGbkCharacterSimplifiesToACharacterGbkHas) {
  std::string lost;
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
      const std::string character{static_cast<char>(lead), static_cast<char>(trail)};
      const std::u16string units = GbkToUtf16(character);
      if (units.size() != 1 || units[0] == u'\uFFFD') {
        continue;  // not a GBK character
      }
      // A trail byte is never "?", so any "?" is a character GBK could not write.
      if (ToSimplifiedChinese(character).find('?') != std::string::npos) {
        lost += character + " ";
      }
    }
  }
  EXPECT_EQ(lost, "");
}

TEST(Encodings, WindowCrossingsKeepAsciiAndConvertTheRest) {
  for (const std::string& gbk : {"http://pan.baidu.com/s/1o6Qnmx8"s, "a\0b\x7F\r\n"s, ""s}) {
    EXPECT_EQ(GbkToUtf16(gbk), codepage::Decode(gbk, codepage::kGbk));
    EXPECT_EQ(Utf16ToGbk(GbkToUtf16(gbk)), gbk);
  }
  EXPECT_EQ(GbkToUtf16("a\xD6\xD0"), u"a\u4E2D");
  EXPECT_EQ(Utf16ToGbk(u"a\u4E2D"), "a\xD6\xD0");
  EXPECT_EQ(Utf16ToGbk(u"\u20AC"), "\x80");
}

TEST(Encodings, LargeTextsConvertWhole) {
  std::string utf8;
  std::string gbk;
  for (int i = 0; i < 200000; ++i) {
    utf8 += "x\xE4\xB8\xAD";
    gbk += "x\xD6\xD0";
  }
  EXPECT_EQ(Utf8ToGbk(utf8), gbk);
  EXPECT_EQ(Utf16ToGbk(GbkToUtf16(gbk)), gbk);
}

}  // namespace
}  // namespace quorvane
