#include "web/code_page_converter.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <array>
#include <map>
#include <memory>

namespace quorvane::codepage {
namespace {

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using ConverterHandle = std::unique_ptr<UConverter, ConverterCloser>;

std::string ConverterName(unsigned codePage) {
  switch (codePage) {
    case kSystem:
    case kGbk:
      return "windows-936";
    case kBig5:
      return "windows-950";
    case kUtf8:
      return "UTF-8";
    default:
      return "windows-" + std::to_string(codePage);
  }
}

// Converters are not thread-safe and costly to open, so each thread keeps its own.
UConverter* CachedConverter(unsigned codePage) {
  thread_local std::map<unsigned, ConverterHandle> converters;
  auto found = converters.find(codePage);
  if (found == converters.end()) {
    UErrorCode status = U_ZERO_ERROR;
    ConverterHandle opened(ucnv_open(ConverterName(codePage).c_str(), &status));
    if (U_FAILURE(status)) {
      opened.reset();
    }
    found = converters.emplace(codePage, std::move(opened)).first;
  }
  UConverter* converter = found->second.get();
  if (converter != nullptr) {
    ucnv_reset(converter);
  }
  return converter;
}

void WriteQuestionMark(const void*, UConverterToUnicodeArgs* args, const char*, int32_t,
                       UConverterCallbackReason reason, UErrorCode* status) {
  if (reason <= UCNV_IRREGULAR) {
    const UChar questionMark = u'?';
    *status = U_ZERO_ERROR;
    ucnv_cbToUWriteUChars(args, &questionMark, 1, 0, status);
  }
}

}  // namespace

bool IsKnown(unsigned codePage) { return CachedConverter(codePage) != nullptr; }

std::u16string Decode(std::string_view bytes, unsigned codePage, InvalidBytes invalid) {
  UConverter* converter = CachedConverter(codePage);
  if (converter == nullptr || bytes.empty()) {
    return {};
  }
  UErrorCode status = U_ZERO_ERROR;
  if (invalid == InvalidBytes::QuestionMark) {
    ucnv_setToUCallBack(converter, WriteQuestionMark, nullptr, nullptr, nullptr, &status);
  } else {
    ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr, &status);
  }
  // Each byte of these code pages yields at most one unit, substitutions included.
  std::u16string units(bytes.size() + 1, u'\0');
  const char* source = bytes.data();
  UChar* target = units.data();
  ucnv_toUnicode(converter, &target, units.data() + units.size(), &source, bytes.data() + bytes.size(),
                 nullptr, true, &status);
  units.resize(static_cast<std::size_t>(target - units.data()));
  return units;
}

std::string Encode(std::u16string_view units, unsigned codePage, Unwritable unwritable) {
  UConverter* converter = CachedConverter(codePage);
  if (converter == nullptr || units.empty()) {
    return {};
  }
  UErrorCode status = U_ZERO_ERROR;
  if (unwritable == Unwritable::EndText) {
    ucnv_setFromUCallBack(converter, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  } else {
    ucnv_setFromUCallBack(converter, UCNV_FROM_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr, &status);
  }
  std::string bytes(units.size() * static_cast<std::size_t>(ucnv_getMaxCharSize(converter)) + 4, '\0');
  const UChar* source = units.data();
  char* target = bytes.data();
  ucnv_fromUnicode(converter, &target, bytes.data() + bytes.size(), &source, units.data() + units.size(),
                   nullptr, true, &status);
  bytes.resize(static_cast<std::size_t>(target - bytes.data()));
  return bytes;
}

std::string Transcode(std::string_view bytes, unsigned from, unsigned to) {
  UConverter* source = CachedConverter(from);
  UConverter* target = CachedConverter(to);
  if (source == nullptr || target == nullptr || bytes.empty()) {
    return {};
  }
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setToUCallBack(source, UCNV_TO_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr, &status);
  ucnv_setFromUCallBack(target, UCNV_FROM_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr, &status);

  std::array<UChar, 4096> pivot{};
  UChar* pivotSource = pivot.data();
  UChar* pivotTarget = pivot.data();
  const char* input = bytes.data();
  const char* inputEnd = bytes.data() + bytes.size();
  // Most conversions into GBK shrink; the buffer grows when one does not.
  std::string output(bytes.size() + 16, '\0');
  std::size_t written = 0;
  bool reset = true;
  for (;;) {
    char* outputCursor = output.data() + written;
    status = U_ZERO_ERROR;
    ucnv_convertEx(target, source, &outputCursor, output.data() + output.size(), &input, inputEnd,
                   pivot.data(), &pivotSource, &pivotTarget, pivot.data() + pivot.size(), reset, true,
                   &status);
    reset = false;
    written = static_cast<std::size_t>(outputCursor - output.data());
    if (status != U_BUFFER_OVERFLOW_ERROR) {
      break;
    }
    output.resize(output.size() * 2);
  }
  output.resize(written);
  return output;
}

}  // namespace quorvane::codepage
