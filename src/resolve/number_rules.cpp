#include "resolve/number_rules.h"

#include "resolve/full_width.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>

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

// strtod follows the process locale, which the window toolkit sets from the
// environment; numbers here are always written with a point.
locale_t CLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return locale;
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
  const std::string number = text.substr(start, end - start);
  const double parsed = strtod_l(number.c_str(), nullptr, CLocale());
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
  return strtod_l(std::string(text).c_str(), nullptr, CLocale());
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
