#include "resolve/radix.h"

#include "support/gbk_literal.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

struct RadixCase {
  std::string digits;
  int from, to;
  std::string expected;
  std::string normalised;
};

TEST(ConvertRadix, ConvertsAndNormalisesTheDigitText) {
  const RadixCase cases[] = {
      {"FF", 16, 10, "255", "FF"},
      {"ff", 16, 10, "255", "FF"},
      {"00FF", 16, 10, "255", "00FF"},
      {"00FF", 16, 16, "00FF", "00FF"},
      {"", 16, 10, "0", ""},
      {"0", 10, 2, "0", "0"},
      {"255", 10, 16, "FF", "255"},
      {"255", 10, 2, "11111111", "255"},
      {"ZZ", 36, 10, "1295", "ZZ"},
      {"1295", 10, 36, "ZZ", "1295"},
      {"4294967296", 10, 16, "100000000", "4294967296"},
      {std::string(40, '9'), 10, 16, "1D6329F1C35CA4BFABB9F560FFFFFFFFFF", std::string(40, '9')},
      {G("ＦＦ"), 16, 10, "255", "FF"},
      {G("ａｂ"), 16, 10, "171", "AB"},
  };
  for (auto c : cases) {
    std::string digits = c.digits;
    EXPECT_EQ(ConvertRadix(digits, c.from, c.to), c.expected) << c.digits;
    EXPECT_EQ(digits, c.normalised) << c.digits;
  }
}

TEST(ConvertRadix, ReportsFailuresAsTheProgramsErrorTexts) {
  std::string digits = "12G";
  EXPECT_EQ(ConvertRadix(digits, 16, 10), G("参数错误-12G不是一个有效的一十六进制数！"));
  digits = "12g";
  EXPECT_EQ(ConvertRadix(digits, 37, 10), G("参数错误-进制只能在2-36之间"));
  EXPECT_EQ(digits, "12g");  // bad radixes leave the text as it was
  EXPECT_EQ(ConvertRadix(digits, 16, 1), G("参数错误-进制只能在2-36之间"));
  digits = "2";
  EXPECT_EQ(ConvertRadix(digits, 2, 10), G("参数错误-2不是一个有效的二进制数！"));
  digits = "\xD6\xD0";
  EXPECT_EQ(ConvertRadix(digits, 36, 10), G("参数错误-中不是一个有效的三十六进制数！"));
  digits = "1\xB0";  // lone lead byte at the end
  EXPECT_EQ(ConvertRadix(digits, 10, 2), G("参数错误-1") + "\xB0" + G("不是一个有效的一十进制数！"));
}

TEST(ConvertRadix, NamesRadixesInChineseNumerals) {
  const std::pair<int, const char*> cases[] = {
      {2, "二"}, {8, "八"}, {10, "一十"}, {16, "一十六"}, {20, "二十"}, {36, "三十六"}};
  for (const auto& [radix, name] : cases) {
    EXPECT_EQ(RadixName(radix), G(name)) << radix;
  }
}

TEST(ConvertRadix, LongInputsRoundTripExactly) {
  std::string digits;
  for (int i = 0; i < 10000; ++i) {
    digits.push_back(kRadixDigits[static_cast<std::size_t>((i * 7 + 3) % 36)]);
  }
  digits[0] = 'Z';
  for (const int radix : {2, 10, 16}) {
    std::string original = digits;
    std::string converted = ConvertRadix(original, 36, radix);
    EXPECT_EQ(ConvertRadix(converted, radix, 36), digits) << radix;
  }
}

}  // namespace
}  // namespace quorvane
