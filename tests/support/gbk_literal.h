#pragma once

#include "web/encodings.h"

#include <string>
#include <string_view>

// Test sources are UTF-8; the program's texts are GBK.
inline std::string G(std::string_view utf8) { return quorvane::Utf8ToGbk(utf8); }
