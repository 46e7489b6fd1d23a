#pragma once

#include <string>
#include <string_view>

// Conversions between code-page bytes and UTF-16, over the platform's converters (ICU's
// on Linux, the NLS calls on Windows). Code pages are Windows numbers (936, 950, 65001,
// 0 for the system code page, which is GBK on Linux).
namespace quorvane::codepage {

inline constexpr unsigned kSystem = 0;
inline constexpr unsigned kGbk = 936;
inline constexpr unsigned kBig5 = 950;
inline constexpr unsigned kUtf8 = 65001;

// What becomes of a byte sequence the code page does not define.
enum class InvalidBytes { ReplacementCharacter, QuestionMark };

// What becomes of a character the code page cannot write.
enum class Unwritable { DefaultCharacter, EndText };

// Whether a converter exists for the code page.
bool IsKnown(unsigned codePage);

// All of `bytes` decoded; empty for an unknown code page.
std::u16string Decode(std::string_view bytes, unsigned codePage,
                      InvalidBytes invalid = InvalidBytes::ReplacementCharacter);

// All of `units` encoded; with EndText the result stops before the first character
// the code page cannot write. Empty for an unknown code page.
std::string Encode(std::u16string_view units, unsigned codePage,
                   Unwritable unwritable = Unwritable::DefaultCharacter);

// `bytes` from one code page straight into another, without a UTF-16 copy of the
// whole text. Invalid input becomes U+FFFD, which `to` writes as its default character.
std::string Transcode(std::string_view bytes, unsigned from, unsigned to);

}  // namespace quorvane::codepage
