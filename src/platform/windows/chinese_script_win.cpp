#include "web/chinese_script.h"

#include <windows.h>

namespace quorvane {

std::u16string TraditionalToSimplified(std::u16string_view units) {
  if (units.empty()) {
    return {};
  }
  const auto* source = reinterpret_cast<const wchar_t*>(units.data());
  const auto length = static_cast<int>(units.size());
  const int needed =
      LCMapStringEx(L"zh-CN", LCMAP_SIMPLIFIED_CHINESE, source, length, nullptr, 0, nullptr, nullptr, 0);
  if (needed <= 0) {
    return std::u16string(units);
  }
  std::u16string simplified(static_cast<std::size_t>(needed), u'\0');
  if (LCMapStringEx(L"zh-CN", LCMAP_SIMPLIFIED_CHINESE, source, length,
                    reinterpret_cast<wchar_t*>(simplified.data()), needed, nullptr, nullptr, 0) != needed) {
    return std::u16string(units);
  }
  return simplified;
}

}  // namespace quorvane
