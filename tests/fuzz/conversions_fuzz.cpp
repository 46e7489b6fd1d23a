#include "resolve/number_rules.h"
#include "resolve/size_text.h"
#include "web/encodings.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string fromUtf8 = quorvane::Utf8ToGbk(bytes);
  const std::string fromBig5 = quorvane::Big5ToGbk(bytes);
  // Valid ASCII never changes; nothing ever grows beyond twice its input.
  if (fromUtf8.size() > 2 * size || fromBig5.size() > 2 * size + 16) {
    std::abort();
  }
  quorvane::WideToText(quorvane::TextToWide(bytes, 936), 65001);
  quorvane::RecodeBig5(bytes);
  quorvane::ToSimplifiedChinese(bytes);
  quorvane::NumberToText(quorvane::TextToSingle(bytes));
  quorvane::SizeTextsFromCaption(bytes);
  return 0;
}
