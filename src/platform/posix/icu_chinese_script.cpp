#include "web/chinese_script.h"

#include <unicode/utrans.h>

#include <memory>

namespace quorvane {
namespace {

struct TransliteratorCloser {
  void operator()(UTransliterator* transliterator) const { utrans_close(transliterator); }
};
using TransliteratorHandle = std::unique_ptr<UTransliterator, TransliteratorCloser>;

// Building the transliterator takes milliseconds and it must not be shared between
// threads, so each thread builds its own once.
UTransliterator* HantToHans() {
  thread_local const TransliteratorHandle transliterator = [] {
    constexpr std::u16string_view kId = u"Hant-Hans";
    UErrorCode status = U_ZERO_ERROR;
    TransliteratorHandle opened(utrans_openU(kId.data(), static_cast<int32_t>(kId.size()), UTRANS_FORWARD,
                                             nullptr, 0, nullptr, &status));
    if (U_FAILURE(status)) {
      opened.reset();
    }
    return opened;
  }();
  return transliterator.get();
}

}  // namespace

std::u16string TraditionalToSimplified(std::u16string_view units) {
  UTransliterator* transliterator = HantToHans();
  if (transliterator == nullptr || units.empty()) {
    return std::u16string(units);
  }
  const auto length = static_cast<int32_t>(units.size());
  for (int32_t capacity = length * 2 + 16;; capacity *= 2) {
    std::u16string buffer(units);
    buffer.resize(static_cast<std::size_t>(capacity));
    int32_t textLength = length;
    int32_t limit = length;
    UErrorCode status = U_ZERO_ERROR;
    utrans_transUChars(transliterator, buffer.data(), &textLength, capacity, 0, &limit, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      continue;
    }
    if (U_FAILURE(status)) {
      return std::u16string(units);
    }
    buffer.resize(static_cast<std::size_t>(textLength));
    return buffer;
  }
}

}  // namespace quorvane
