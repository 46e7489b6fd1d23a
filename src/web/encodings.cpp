#include "web/encodings.h"

#include "web/code_page_converter.h"

#include <unicode/utrans.h>

#include <algorithm>
#include <memory>

namespace quorvane {
namespace {

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char byte) { return static_cast<unsigned char>(byte) < 0x80; });
}

struct TransliteratorCloser {
  void operator()(UTransliterator* transliterator) const { utrans_close(transliterator); }
};
using TransliteratorHandle = std::unique_ptr<UTransliterator, TransliteratorCloser>;

TransliteratorHandle OpenTransliterator(std::u16string_view id) {
  UErrorCode status = U_ZERO_ERROR;
  TransliteratorHandle opened(utrans_openU(id.data(), static_cast<int32_t>(id.size()), UTRANS_FORWARD, nullptr,
                                           0, nullptr, &status));
  if (U_FAILURE(status)) {
    opened.reset();
  }
  return opened;
}

// `units` mapped by `transliterator`; empty when the mapping fails.
std::u16string Transliterate(UTransliterator* transliterator, std::u16string units) {
  const auto length = static_cast<int32_t>(units.size());
  for (int32_t capacity = length * 2 + 16;; capacity *= 2) {
    std::u16string buffer = units;
    buffer.resize(static_cast<std::size_t>(capacity));
    int32_t textLength = length;
    int32_t limit = length;
    UErrorCode status = U_ZERO_ERROR;
    utrans_transUChars(transliterator, buffer.data(), &textLength, capacity, 0, &limit, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      continue;
    }
    if (U_FAILURE(status)) {
      return {};
    }
    buffer.resize(static_cast<std::size_t>(textLength));
    return buffer;
  }
}

bool GbkWritesAll(std::u16string_view units) {
  return codepage::Encode(units, codepage::kGbk, codepage::Unwritable::EndText).size() ==
         codepage::Encode(units, codepage::kGbk).size();
}

// ICU maps some traditional characters that GBK has to simplified forms of Unicode's
// Extension A, which GBK lacks; written out they would become "?". Such characters are
// found once by mapping every GBK character, and left out of the mapping. The result is
// a UnicodeSet pattern of everything else, or empty when every mapped form can be written.
const std::u16string& MappingFilter() {
  static const std::u16string filter = [] {
    std::u16string excluded;
    TransliteratorHandle transliterator = OpenTransliterator(u"Hant-Hans");
    if (transliterator == nullptr) {
      return excluded;
    }
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
      for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
        const char bytes[] = {static_cast<char>(lead), static_cast<char>(trail)};
        const std::u16string character = codepage::Decode(std::string_view(bytes, 2), codepage::kGbk);
        if (character.size() != 1 || character[0] < 0x80 || character[0] == u'\uFFFD') {
          continue;
        }
        const std::u16string simplified = Transliterate(transliterator.get(), character);
        if (!simplified.empty() && simplified != character && !GbkWritesAll(simplified)) {
          excluded += u"\\u";
          for (int shift = 12; shift >= 0; shift -= 4) {
            excluded += u"0123456789ABCDEF"[(character[0] >> shift) & 0xF];
          }
        }
      }
    }
    return excluded.empty() ? excluded : u"[^" + excluded + u"]";
  }();
  return filter;
}

// Building the transliterator takes milliseconds and it must not be shared between
// threads, so each thread builds its own once.
UTransliterator* TraditionalToSimplified() {
  thread_local TransliteratorHandle transliterator = [] {
    TransliteratorHandle opened = OpenTransliterator(u"Hant-Hans");
    const std::u16string& filter = MappingFilter();
    if (opened != nullptr && !filter.empty()) {
      UErrorCode status = U_ZERO_ERROR;
      // Without the filter those few characters still become "?", the rest maps.
      utrans_setFilter(opened.get(), filter.data(), static_cast<int32_t>(filter.size()), &status);
    }
    return opened;
  }();
  return transliterator.get();
}

std::u16string_view UpToZeroUnit(std::u16string_view wide) {
  return wide.substr(0, std::min(wide.find(u'\0'), wide.size()));
}

}  // namespace

std::string_view AsText(std::string_view bytes) {
  return bytes.substr(0, std::min(bytes.find('\0'), bytes.size()));
}

std::string Utf8ToGbk(std::string_view text) {
  text = AsText(text);
  // ASCII is the same in both, and most answers are ASCII through and through.
  if (IsAscii(text)) {
    return std::string(text);
  }
  return codepage::Transcode(text, codepage::kUtf8, codepage::kGbk);
}

std::string Big5ToGbk(std::string_view text) { return ToSimplifiedChinese(RecodeBig5(text)); }

WideBuffer TextToWide(std::string_view text, std::optional<unsigned> codePage) {
  WideBuffer wide = codepage::Decode(AsText(text), codePage.value_or(codepage::kUtf8));
  wide.push_back(u'\0');
  return wide;
}

std::string WideToText(std::u16string_view wide, std::optional<unsigned> codePage) {
  return std::string(
      AsText(codepage::Encode(UpToZeroUnit(wide), codePage.value_or(codepage::kSystem))));
}

std::string RecodeBig5(std::string_view text) {
  const std::u16string units =
      codepage::Decode(AsText(text), codepage::kBig5, codepage::InvalidBytes::QuestionMark);
  return std::string(AsText(codepage::Encode(units, codepage::kGbk, codepage::Unwritable::EndText)));
}

std::string ToSimplifiedChinese(std::string_view text) {
  text = AsText(text);
  if (IsAscii(text)) {
    return std::string(text);
  }
  UTransliterator* transliterator = TraditionalToSimplified();
  if (transliterator == nullptr) {
    return std::string(text);
  }
  const std::u16string simplified = Transliterate(transliterator, codepage::Decode(text, codepage::kGbk));
  if (simplified.empty()) {
    // A failed mapping keeps the text as it was rather than losing it.
    return std::string(text);
  }
  return std::string(AsText(codepage::Encode(simplified, codepage::kGbk)));
}

// ASCII reads the same in GBK and UTF-16: the window's plain texts need no converter,
// and none is opened (with its tables) while the program starts.
std::u16string GbkToUtf16(std::string_view text) {
  if (IsAscii(text)) {
    return std::u16string(text.begin(), text.end());
  }
  return codepage::Decode(text, codepage::kGbk);
}

std::string Utf16ToGbk(std::u16string_view units) {
  if (std::all_of(units.begin(), units.end(), [](char16_t unit) { return unit < 0x80; })) {
    std::string text(units.size(), '\0');
    std::transform(units.begin(), units.end(), text.begin(), [](char16_t unit) { return static_cast<char>(unit); });
    return text;
  }
  return codepage::Encode(units, codepage::kGbk);
}

}  // namespace quorvane
