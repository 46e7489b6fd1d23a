#pragma once

#include <string>
#include <string_view>

namespace quorvane {

// Full-width characters written as ASCII: A1 A1 as a space, A1 AB as "~", A1 EE and
// A1 EF as "*", and A3 A1 to A3 FE as the ASCII character of their second byte less
// 0x80. Other characters stay as they are. Users type digits in full width often
// enough that every number rule reads them.
std::string FullWidthToAscii(std::string_view text);

}  // namespace quorvane
