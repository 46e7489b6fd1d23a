#include "resolve/number_rules.h"

#include "support/gbk_literal.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

namespace quorvane {
namespace {

TEST(NumberRules, TextToIntegerReadsTheLeadingNumber) {
  const std::pair<std::string, std::int64_t> cases[] = {
      {"0", 0},          {"42", 42},        {"  -17x", -17},  {"+8", 8},
      {"1234.56", 1234}, {"-0", 0},         {"", 0},          {"abc", 0},
      {"\t\n 7", 7},     {"- 7", 0},        {"--7", 0},       {G("１２３"), 123},
      {G("－５"), -5},   {G("　９"), 9},    {"12" + G("３") + "4", 1234},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(TextToInt64(text), expected) << text;
    EXPECT_EQ(TextToInt(text), static_cast<std::int32_t>(expected)) << text;
  }
}

TEST(NumberRules, IntegersWrapInTheirWidth) {
  EXPECT_EQ(TextToInt("2147483647"), 2147483647);
  EXPECT_EQ(TextToInt("2147483648"), -2147483647 - 1);
  EXPECT_EQ(TextToInt("4294967297"), 1);
  EXPECT_EQ(TextToInt64("3000000000"), 3000000000LL);
  EXPECT_EQ(TextToInt64("9223372036854775808"), INT64_MIN);
  EXPECT_EQ(TextToInt64(std::string(10000, '9')), TextToInt64(std::string(10000, '9')));  // no overflow trap
}

TEST(NumberRules, TextToSingleParsesADecimalPrefix) {
  const std::pair<std::string, float> cases[] = {
      {"0.1", 0.1F},  {"  -2.5kg", -2.5F}, {"1e3", 1000.0F},  {"1e", 1.0F},     {"1e+", 1.0F},
      {".5", 0.5F},   {"5.", 5.0F},        {".", 0.0F},       {"", 0.0F},       {"x1", 0.0F},
      {"0x10", 0.0F}, {"inf", 0.0F},       {"1.5E-2", 0.015F}, {G("１．５"), 1.5F},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(TextToSingle(text), expected) << text;
  }
  EXPECT_TRUE(std::isinf(TextToSingle("1e999")));
  EXPECT_TRUE(std::isinf(TextToSingle("-1e39")));
  EXPECT_EQ(TextToSingle("1e-999"), 0.0F);
  EXPECT_EQ(TextToSingle("2861.02294921875"), 2861.0229F);
}

TEST(NumberRules, TextToNumberTakesOnlyWholeNumbers) {
  EXPECT_EQ(TextToNumber(" 42 "), 42.0);
  EXPECT_EQ(TextToNumber("-1.5e3"), -1500.0);
  EXPECT_EQ(TextToNumber("12abc"), std::nullopt);
  EXPECT_EQ(TextToNumber("0x10"), std::nullopt);
  EXPECT_EQ(TextToNumber("inf"), std::nullopt);
  EXPECT_EQ(TextToNumber(""), std::nullopt);
  EXPECT_EQ(TextToNumber("."), std::nullopt);
}

TEST(NumberRules, NumbersBeyondADoubleBecomeInfinityOrZero) {
  const std::string tinyFraction = "0." + std::string(400, '0') + "1e5";
  const std::pair<std::string, double> cases[] = {
      {"1e999", HUGE_VAL},     {"-1e999", -HUGE_VAL},   {"1000e306", HUGE_VAL},   {"+1e309", HUGE_VAL},
      {"100e306", 1e308},      {"0.0001e312", 1e308},   {"1e-999", 0.0},          {tinyFraction, 0.0},
      {"1e-310", 1e-310},      {"1e99999999999999999999", HUGE_VAL},                {"1e-99999999999999999999", 0.0},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(TextToNumber(text), expected) << text;
  }
  EXPECT_TRUE(std::signbit(*TextToNumber("-1e-999")));
}

TEST(NumberRules, NumberToTextWritesThirteenSignificantDigits) {
  const std::pair<double, std::string> cases[] = {
      {0.0, "0"},
      {-0.0, "-0"},
      {1.0, "1"},
      {0.1, "0.1"},
      {1.1, "1.1"},
      {1024.0, "1024"},
      {1.0 / 3.0, "0.3333333333333"},
      {2861.02294921875, "2861.022949219"},
      {0.0001, "0.0001"},
      {0.00001, "1e-05"},
      {1e12, "1000000000000"},
      {1e13, "1e+13"},
      {1234567890123.0, "1234567890123"},
      {-1234.98, "-1234.98"},
  };
  for (const auto& [value, expected] : cases) {
    EXPECT_EQ(NumberToText(value), expected) << value;
  }
}

TEST(NumberRules, NumberTextsIgnoreTheProcessLocale) {
  // The window toolkit adopts the user's locale; a comma must never appear.
  const char* previous = std::setlocale(LC_ALL, "de_DE.UTF-8");
  if (previous == nullptr) {
    std::setlocale(LC_NUMERIC, "C.UTF-8");
  }
  EXPECT_EQ(NumberToText(1.5), "1.5");
  EXPECT_EQ(TextToSingle("1.5"), 1.5F);
  std::setlocale(LC_ALL, "C");
}

TEST(NumberRules, RoundToTakesHalvesAwayFromZero) {
  const struct {
    double value;
    int places;
    double expected;
  } cases[] = {
      {0.285, 2, 0.29},          // the double lies a hair below the half
      {1.005, 2, 1.01},
      {-0.285, 2, -0.29},
      {2.5, 0, 3.0},
      {-2.5, 0, -3.0},
      {0.004, 2, 0.0},
      {0.1 + 0.2, 3, 0.3},
      {1234.984, 2, 1234.98},
      {0.30000000000000004, 3, 0.3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RoundTo(c.value, c.places), c.expected) << c.value << " to " << c.places;
  }
  EXPECT_TRUE(std::signbit(RoundTo(-0.001, 2)));   // a negative value rounding to nothing is -0
  EXPECT_EQ(NumberToText(RoundTo(-0.001, 2)), "-0");
  EXPECT_TRUE(std::signbit(RoundTo(-0.0, 2)));     // zero comes back unchanged
  EXPECT_FALSE(std::signbit(RoundTo(0.0, 2)));
}

}  // namespace
}  // namespace quorvane
