#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

// Without ASCII spaces and full-width spaces (A1 A1) at either end.
std::string TrimText(std::string_view text);

// The pieces between separators, found by the search rule. Empty pieces stay, except
// one after the last separator; an empty text gives no pieces, an empty separator the
// whole text as one piece.
std::vector<std::string> SplitText(std::string_view text, std::string_view separator);

// A-Z as a-z, stepping over two-byte characters so their second bytes stay as they are.
std::string LowerCaseText(std::string_view text);

}  // namespace quorvane
