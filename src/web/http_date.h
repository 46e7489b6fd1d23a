#pragma once

#include <optional>
#include <string_view>

namespace quorvane {

// Seconds since 1970 (negative before it) of a date as servers write them in Expires
// and Last-Modified: "Wed, 09 Jun 2021 10:18:14 GMT", "Wednesday, 09-Jun-21 10:18:14
// GMT", "Wed Jun  9 10:18:14 2021", in any order, with a numeric zone or none (GMT).
// No value when a word is not a day, month or zone, or day, month or year is missing.
std::optional<long long> ParseHttpDate(std::string_view text);

}  // namespace quorvane
