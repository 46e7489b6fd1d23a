#pragma once

#include <string>
#include <string_view>

namespace quorvane {

inline constexpr std::string_view kRadixDigits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// The digits of `digits` (written in radix `from`) in radix `to`, both from 2 to 36,
// exact for any length. With valid radixes `digits` is first normalised in place:
// full-width characters to ASCII, a-z to A-Z. Failures come back as the program's
// error texts (GBK) in place of the digits.
std::string ConvertRadix(std::string& digits, int from, int to);

// A radix written in Chinese numerals as the error texts show it: 2 is 二, 16 is 一十六.
std::string RadixName(int radix);

}  // namespace quorvane
