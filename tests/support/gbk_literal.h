#pragma once

#include "web/code_page_converter.h"
#include "web/encodings.h"

#include <string>
#include <string_view>

// Test sources are UTF-8; the program's texts are GBK. Only the code-page layer is used,
// so tests of text rules need no more than it on every platform.
inline std::string G(std::string_view utf8) {
  return quorvane::codepage::Transcode(utf8, quorvane::codepage::kUtf8, quorvane::codepage::kGbk);
}
