#pragma once

#include <string>
#include <string_view>

namespace quorvane {

// Every "\u" escape (four hexadecimal digits, letter case ignored) in a GBK text
// replaced by the GBK character it stands for. Escapes whose digits are not
// hexadecimal, or that are cut short at the end, are removed with the six bytes
// from their backslash on.
std::string UnescapeUnicode(std::string_view text);

// One UTF-16 code unit (the low 16 bits of `value`) as GBK: one or two bytes, or the
// empty text for a unit GBK lacks, for 0, and for the ASCII and ideographic spaces.
std::string CodeUnitToGbk(int value);

namespace detail {

// Escapes are handled one found position after the other, each replacing every
// occurrence of its six bytes in the text built so far. Quadratic, but the
// reference for the single pass below.
std::string UnescapeUnicodeStepwise(std::string_view text);

// One left-to-right pass; `exact` tells whether it is certain to agree with the
// stepwise form (it may not where a decoded character or a removal forms a new
// escape, or escapes overlap).
std::string UnescapeUnicodeSinglePass(std::string_view text, bool& exact);

}  // namespace detail
}  // namespace quorvane
