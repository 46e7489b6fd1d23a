#include "resolve/full_width.h"

namespace quorvane {

std::string FullWidthToAscii(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80 || i + 1 == text.size()) {
      result.push_back(text[i]);
      ++i;
      continue;
    }
    const auto trail = static_cast<unsigned char>(text[i + 1]);
    if (lead == 0xA1 && trail == 0xA1) {
      result.push_back(' ');
    } else if (lead == 0xA1 && trail == 0xAB) {
      result.push_back('~');
    } else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF)) {
      result.push_back('*');
    } else if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
      result.push_back(static_cast<char>(trail - 0x80));
    } else {
      result.append(text.substr(i, 2));
    }
    i += 2;
  }
  return result;
}

}  // namespace quorvane
