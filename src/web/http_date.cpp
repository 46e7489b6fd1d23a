#include "web/http_date.h"

#include "util/text_pieces.h"

#include <array>
#include <string>

namespace quorvane {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Days from 1970-01-01 to the date of the proleptic Gregorian calendar.
long long DaysFromCivil(long long year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const long long era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<long long>(dayOfEra) - 719468;
}

int MonthNumber(std::string_view word) {
  static constexpr std::array<std::string_view, 12> kMonths = {"jan", "feb", "mar", "apr", "may", "jun",
                                                               "jul", "aug", "sep", "oct", "nov", "dec"};
  for (std::size_t i = 0; i < kMonths.size(); ++i) {
    if (word == kMonths[i] || (word.size() > 3 && word.starts_with(kMonths[i]))) {
      return static_cast<int>(i) + 1;
    }
  }
  return 0;
}

bool IsDayName(std::string_view word) {
  static constexpr std::array<std::string_view, 7> kDays = {"mon", "tue", "wed", "thu", "fri", "sat", "sun"};
  for (const std::string_view day : kDays) {
    if (word.starts_with(day)) {
      return true;
    }
  }
  return false;
}

// "hh:mm" or "hh:mm:ss" in seconds; -1 when it is not a time of day.
long long TimeOfDay(std::string_view text) {
  long long fields[3] = {0, 0, 0};
  std::size_t field = 0;
  std::size_t digits = 0;
  for (const char c : text) {
    if (IsDigit(c) && digits < 2) {
      fields[field] = fields[field] * 10 + (c - '0');
      ++digits;
    } else if (c == ':' && digits > 0 && field < 2) {
      ++field;
      digits = 0;
    } else {
      return -1;
    }
  }
  if (field == 0 || digits == 0 || fields[0] > 23 || fields[1] > 59 || fields[2] > 60) {
    return -1;
  }
  return fields[0] * 3600 + fields[1] * 60 + fields[2];
}

// Four digits and no more: "+hhmm" without its sign.
bool IsZone(std::string_view text) {
  return text.size() >= 4 && IsDigit(text[0]) && IsDigit(text[1]) && IsDigit(text[2]) && IsDigit(text[3]) &&
         (text.size() == 4 || !IsDigit(text[4]));
}

}  // namespace

std::optional<long long> ParseHttpDate(std::string_view text) {
  int day = 0;
  int month = 0;
  long long year = -1;
  long long seconds = -1;
  long long zoneOffset = 0;
  bool zoneSeen = false;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (IsLetter(c)) {
      std::size_t end = i;
      while (end < text.size() && IsLetter(text[end])) {
        ++end;
      }
      const std::string word = LowerCaseText(text.substr(i, end - i));
      i = end;
      if (const int number = MonthNumber(word); number != 0 && month == 0) {
        month = number;
      } else if (IsDayName(word)) {
        continue;
      } else if ((word == "gmt" || word == "utc" || word == "ut" || word == "z") && !zoneSeen) {
        zoneSeen = true;
      } else {
        return std::nullopt;
      }
    } else if (IsDigit(c)) {
      std::size_t end = i;
      while (end < text.size() && (IsDigit(text[end]) || text[end] == ':')) {
        ++end;
      }
      const std::string_view token = text.substr(i, end - i);
      i = end;
      if (token.find(':') != std::string_view::npos) {
        if (seconds >= 0 || (seconds = TimeOfDay(token)) < 0) {
          return std::nullopt;
        }
      } else if (token.size() > 6) {
        return std::nullopt;
      } else if (const long long value = std::stoll(std::string(token)); token.size() == 4 && year < 0) {
        year = value;
      } else if (day == 0 && value >= 1 && value <= 31 && token.size() <= 2) {
        day = static_cast<int>(value);
      } else if (year < 0 && token.size() == 2) {
        year = value + (value < 70 ? 2000 : 1900);
      } else {
        return std::nullopt;
      }
    } else if ((c == '+' || c == '-') && seconds >= 0 && !zoneSeen && IsZone(text.substr(i + 1))) {
      // A numeric zone follows the time; a dash before it separates day, month and year.
      const long long hours = (text[i + 1] - '0') * 10 + (text[i + 2] - '0');
      const long long minutes = (text[i + 3] - '0') * 10 + (text[i + 4] - '0');
      zoneOffset = (c == '+' ? 1 : -1) * (hours * 3600 + minutes * 60);
      zoneSeen = true;
      i += 5;
    } else {
      ++i;  // spaces, commas and dashes between the parts
    }
  }
  if (day == 0 || month == 0 || year < 0) {
    return std::nullopt;
  }
  return DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
         (seconds < 0 ? 0 : seconds) - zoneOffset;
}

}  // namespace quorvane
