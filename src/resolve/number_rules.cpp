#include "resolve/number_rules.h"

#include "resolve/full_width.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace quorvane {
namespace {

bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t SkipWhiteSpace(std::string_view text, std::size_t i) {
  while (i < text.size() && IsWhiteSpace(text[i])) {
    ++i;
  }
  return i;
}

template <typename Unsigned>
Unsigned ParseWrapping(std::string_view raw) {
  const std::string text = FullWidthToAscii(raw);
  std::size_t i = SkipWhiteSpace(text, 0);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  Unsigned value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    value = static_cast<Unsigned>(value * 10U + static_cast<Unsigned>(text[i] - '0'));
  }
  return negative ? static_cast<Unsigned>(Unsigned{0} - value) : value;
}

// Length of the longest prefix of `text` (from `i`) that reads as a decimal number.
std::size_t DecimalNumberEnd(std::string_view text, std::size_t i) {
  const std::size_t start = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    ++i;
  }
  std::size_t digits = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    ++digits;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
      ++digits;
    }
  }
  if (digits == 0) {
    return start;
  }
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t exponent = i + 1;
    if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) {
      ++exponent;
    }
    if (exponent < text.size() && IsDigit(text[exponent])) {
      while (exponent < text.size() && IsDigit(text[exponent])) {
        ++exponent;
      }
      i = exponent;
    }
  }
  return i;
}

// Decimal exponent of a number's first significant digit (1 for 1..9, 0 for 0.1..0.9),
// with the written exponent added, saturated far beyond any double's range.
std::int64_t DecimalOrder(std::string_view number) {
  std::size_t i = number.find_first_not_of("+-");
  std::int64_t order = 0;
  bool point = false;
  bool significant = false;
  for (; i < number.size() && number[i] != 'e' && number[i] != 'E'; ++i) {
    if (number[i] == '.') {
      point = true;
    } else if (number[i] != '0') {
      significant = true;
    }
    if (IsDigit(number[i]) && !point && significant) {
      ++order;
    } else if (number[i] == '0' && point && !significant) {
      --order;
    }
  }
  if (i < number.size()) {
    std::int64_t exponent = 0;
    const bool negative = i + 1 < number.size() && number[i + 1] == '-';
    for (i = number.find_first_of("0123456789", i); i < number.size(); ++i) {
      exponent = std::min<std::int64_t>(exponent * 10 + (number[i] - '0'), 1'000'000'000);
    }
    order += negative ? -exponent : exponent;
  }
  return order;
}

// A decimal number as strtod reads it in the C locale, whatever the process locale is
// (the window toolkit sets it from the environment). `number` is a whole decimal number.
double ParseDecimal(std::string_view number) {
  const std::string_view digits = number.front() == '+' ? number.substr(1) : number;
  double value = 0.0;
  const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    // from_chars leaves such a value alone; strtod gives infinity or zero.
    value = DecimalOrder(digits) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    return digits.front() == '-' ? -value : value;
  }
  return value;
}

}  // namespace

std::int32_t TextToInt(std::string_view text) {
  return static_cast<std::int32_t>(ParseWrapping<std::uint32_t>(text));
}

std::int64_t TextToInt64(std::string_view text) {
  return static_cast<std::int64_t>(ParseWrapping<std::uint64_t>(text));
}

float TextToSingle(std::string_view raw) {
  const std::string text = FullWidthToAscii(raw);
  const std::size_t start = SkipWhiteSpace(text, 0);
  const std::size_t end = DecimalNumberEnd(text, start);
  if (end == start) {
    return 0.0F;
  }
  const double parsed = ParseDecimal(std::string_view(text).substr(start, end - start));
  // Narrowing a double beyond the float range is undefined; IEEE narrowing gives infinity.
  if (std::fabs(parsed) > static_cast<double>(std::numeric_limits<float>::max())) {
    return std::copysign(std::numeric_limits<float>::infinity(), static_cast<float>(std::signbit(parsed) ? -1 : 1));
  }
  return static_cast<float>(parsed);
}

std::optional<double> TextToNumber(std::string_view raw) {
  const std::size_t first = raw.find_first_not_of(' ');
  if (first == std::string_view::npos) {
    return std::nullopt;
  }
  const std::string_view text = raw.substr(first, raw.find_last_not_of(' ') - first + 1);
  if (DecimalNumberEnd(text, 0) != text.size()) {
    return std::nullopt;
  }
  return ParseDecimal(text);
}

std::string NumberToText(double value) {
  std::array<char, 64> buffer{};
  const auto result =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::general, 13);
  return std::string(buffer.data(), result.ptr);
}

double RoundTo(double value, int places) {
  if (value == 0.0) {
    return value;
  }
  const double scale = std::pow(10.0, places);
  const double scaled = std::fabs(value) * scale + 0.000000000001;
  const double whole = std::floor(scaled);
  const double rounded = (scaled - whole >= 0.5 ? whole + 1.0 : whole) / scale;
  return std::signbit(value) ? -rounded : rounded;
}

}  // namespace quorvane
