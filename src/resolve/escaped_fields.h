#pragma once

#include <string>
#include <string_view>

// The resolver's answer is JSON whose string values carry backslash escapes. A value is
// cut out with its escapes intact, so that an escaped quote in a file name can never
// end the name or start another field, and only then decoded.
namespace quorvane {

// As TextBetween, except that neither marker is found where a backslash escapes its
// first character: a backslash and the character after it are stepped over as one,
// like a two-byte character.
std::string EscapedTextBetween(std::string_view source, std::string_view startMarker,
                               std::string_view endMarker);

// The escapes of a value cut out of a GBK answer decoded: \uXXXX (a surrogate pair
// as one character; a character GBK lacks or a lone surrogate as "?", the zero unit
// dropped), \", \/ and \\; any other escape loses its backslash and keeps its
// character.
std::string DecodeEscapes(std::string_view value);

}  // namespace quorvane
