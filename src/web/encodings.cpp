#include "web/encodings.h"

#include "web/chinese_script.h"
#include "web/code_page_converter.h"

#include <algorithm>

namespace quorvane {
namespace {

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char byte) { return static_cast<unsigned char>(byte) < 0x80; });
}

// The length in units of the character at `at`: two for a surrogate pair.
std::size_t CharacterLength(std::u16string_view units, std::size_t at) {
  return at + 1 < units.size() && (units[at] & 0xFC00) == 0xD800 && (units[at + 1] & 0xFC00) == 0xDC00 ? 2 : 1;
}

bool GbkWrites(std::u16string_view character) {
  return !codepage::Encode(character, codepage::kGbk, codepage::Unwritable::EndText).empty();
}

// `units` simplified, except characters whose simplified form GBK lacks (some map into
// Unicode's Extension A): written out they would become "?", so they stay as they are.
std::u16string SimplifiedForGbk(std::u16string_view units) {
  const std::u16string mapped = TraditionalToSimplified(units);
  // The mapping goes character by character; where it changed the length, the
  // characters are mapped one at a time to line them up.
  const bool aligned = mapped.size() == units.size();
  std::u16string result;
  result.reserve(units.size());
  for (std::size_t at = 0; at < units.size();) {
    const std::size_t length = CharacterLength(units, at);
    const std::u16string_view before = units.substr(at, length);
    const std::u16string after = aligned && CharacterLength(mapped, at) == length
                                     ? std::u16string(mapped.substr(at, length))
                                     : TraditionalToSimplified(before);
    result += after == before || GbkWrites(after) ? std::u16string_view(after) : before;
    at += length;
  }
  return result;
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
  const std::u16string simplified = SimplifiedForGbk(codepage::Decode(text, codepage::kGbk));
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
