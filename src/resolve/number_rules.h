#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// How the program turns texts into numbers and back. Full-width digits and signs
// count as their ASCII forms; a text with no number in front reads as 0.
namespace quorvane {

// Leading white space, a sign, decimal digits up to the first other character;
// accumulated in 32 bits (wrapping).
std::int32_t TextToInt(std::string_view text);

// As TextToInt, accumulated in 64 bits.
std::int64_t TextToInt64(std::string_view text);

// A decimal floating-point prefix (sign, digits, point, exponent), narrowed to the
// nearest single-precision value.
float TextToSingle(std::string_view text);

// The whole text (spaces around it aside) read as a decimal number, or nothing when
// any of it is not part of one.
std::optional<double> TextToNumber(std::string_view text);

// "%.13g" in the C locale whatever the process locale is; a negative zero is "-0".
std::string NumberToText(double value);

// Halves away from zero, with 1e-12 added to the magnitude first so a double a
// hair below the half still rounds up. A negative value rounding to nothing is -0.
double RoundTo(double value, int places);

}  // namespace quorvane
