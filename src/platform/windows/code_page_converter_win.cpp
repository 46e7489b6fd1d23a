#include "web/code_page_converter.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <utility>

// Conversions over MultiByteToWideChar and WideCharToMultiByte. Texts go through in
// blocks of whole characters: the calls take int lengths, and a block holding a fault
// is converted again one character at a time, so only its faulty characters are lost.
namespace quorvane::codepage {
namespace {

constexpr std::size_t kBlockSize = 64 * 1024;

// The system code page by its number, so that a UTF-8 one is split as UTF-8.
UINT WindowsCodePage(unsigned codePage) { return codePage == kSystem ? GetACP() : codePage; }

// How a code page's bytes group into characters: UTF-8 by its sequences, a double-byte
// code page by its lead bytes, any other one byte by byte.
class ByteLayout {
 public:
  explicit ByteLayout(UINT codePage) : utf8_(codePage == CP_UTF8) {
    CPINFO info{};
    if (utf8_ || GetCPInfo(codePage, &info) == FALSE) {
      return;
    }
    for (std::size_t range = 0; range + 1 < MAX_LEADBYTES && info.LeadByte[range] != 0; range += 2) {
      for (unsigned byte = info.LeadByte[range]; byte <= info.LeadByte[range + 1]; ++byte) {
        lead_[byte] = true;
      }
    }
    // Bytes that can follow a lead byte in GBK and Big5: a lead byte before one of them
    // starts a two-byte character, mapped or not; before any other it stands alone.
    for (unsigned byte = 0x40; byte <= 0xFE; ++byte) {
      trail_[byte] = byte != 0x7F;
    }
  }

  // The length of the character that starts at `i`, and whether it is well formed.
  // A malformed one is its longest start that could have begun a character.
  std::pair<std::size_t, bool> Next(std::string_view bytes, std::size_t i) const {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned first = at(i);
    if (!utf8_) {
      if (!lead_[first]) {
        return {1, true};
      }
      const bool paired = i + 1 < bytes.size() && trail_[at(i + 1)];
      return {paired ? 2 : 1, paired};
    }
    // UTF-8: the second byte's range depends on the first, the others are 80..BF.
    std::size_t length = 0;
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (first < 0x80) {
      return {1, true};
    } else if (first >= 0xC2 && first <= 0xDF) {
      length = 2;
    } else if (first >= 0xE0 && first <= 0xEF) {
      length = 3;
      low = first == 0xE0 ? 0xA0 : 0x80;
      high = first == 0xED ? 0x9F : 0xBF;
    } else if (first >= 0xF0 && first <= 0xF4) {
      length = 4;
      low = first == 0xF0 ? 0x90 : 0x80;
      high = first == 0xF4 ? 0x8F : 0xBF;
    } else {
      return {1, false};
    }
    for (std::size_t k = 1; k < length; ++k) {
      if (i + k >= bytes.size() || at(i + k) < low || at(i + k) > high) {
        return {k, false};
      }
      low = 0x80;
      high = 0xBF;
    }
    return {length, true};
  }

  // The end of the block that starts at `i`: the first character boundary at least
  // kBlockSize bytes on, or the end of the text.
  std::size_t BlockEnd(std::string_view bytes, std::size_t i) const {
    if (bytes.size() - i <= kBlockSize) {
      return bytes.size();
    }
    std::size_t end = i + kBlockSize;
    if (utf8_) {
      // Past the continuation bytes: a character (or malformed part) starts there.
      while (end < bytes.size() && (static_cast<unsigned char>(bytes[end]) & 0xC0U) == 0x80U) {
        ++end;
      }
      return end;
    }
    std::size_t position = i;
    while (position < end) {
      position += Next(bytes, position).first;
    }
    return position;
  }

 private:
  bool utf8_;
  std::array<bool, 256> lead_{};
  std::array<bool, 256> trail_{};
};

// `bytes` decoded onto the end of `units`; false, with `units` unchanged, when any
// of them is invalid in the code page.
bool AppendDecoded(std::string_view bytes, UINT codePage, std::u16string& units) {
  const auto length = static_cast<int>(bytes.size());
  const int needed = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
  if (needed <= 0) {
    return false;
  }
  const std::size_t start = units.size();
  units.resize(start + static_cast<std::size_t>(needed));
  MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length,
                      reinterpret_cast<wchar_t*>(units.data() + start), needed);
  return true;
}

// One block decoded onto `units`, each malformed or unmapped character as `substitute`.
void AppendBlock(std::string_view block, UINT codePage, const ByteLayout& layout, char16_t substitute,
                 std::u16string& units) {
  if (block.empty() || AppendDecoded(block, codePage, units)) {
    return;
  }
  for (std::size_t i = 0; i < block.size();) {
    const auto [length, wellFormed] = layout.Next(block, i);
    if (!wellFormed || !AppendDecoded(block.substr(i, length), codePage, units)) {
      units.push_back(substitute);
    }
    i += length;
  }
}

// UTF-8 and UTF-7 take no default character; a character they cannot write is a lone
// surrogate, which WC_ERR_INVALID_CHARS turns into a failure.
bool TakesDefaultCharacter(UINT codePage) { return codePage != CP_UTF8 && codePage != CP_UTF7; }

// Without best fit: a character the code page lacks becomes its default character rather
// than a look-alike (U+00AF would become GBK's A1 A5), as the ICU converters do.
DWORD EncodeFlags(UINT codePage, bool whole) {
  if (!TakesDefaultCharacter(codePage)) {
    return whole ? WC_ERR_INVALID_CHARS : 0;
  }
  return WC_NO_BEST_FIT_CHARS;
}

// `units` encoded onto the end of `bytes`. With `whole`, false and `bytes` unchanged
// when the code page cannot write one of them; otherwise such characters become the
// code page's default character.
bool AppendEncoded(std::u16string_view units, UINT codePage, bool whole, std::string& bytes) {
  const auto length = static_cast<int>(units.size());
  const auto* source = reinterpret_cast<const wchar_t*>(units.data());
  const bool defaults = TakesDefaultCharacter(codePage);
  const DWORD flags = EncodeFlags(codePage, whole);
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultOut = whole && defaults ? &usedDefault : nullptr;
  const int needed = WideCharToMultiByte(codePage, flags, source, length, nullptr, 0, nullptr, usedDefaultOut);
  if (needed <= 0 || usedDefault != FALSE) {
    return false;
  }
  const std::size_t start = bytes.size();
  bytes.resize(start + static_cast<std::size_t>(needed));
  WideCharToMultiByte(codePage, flags, source, length, bytes.data() + start, needed, nullptr, nullptr);
  return true;
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Code pages that cannot write a character beyond U+FFFF write a default character for
// each unit of its surrogate pair; so that it becomes one, the pair goes in as a lone
// high surrogate, which none of them can write either.
std::u16string_view OneUnitPerCharacter(std::u16string_view units, UINT codePage, std::u16string& storage) {
  if (!TakesDefaultCharacter(codePage) || codePage == 54936) {
    return units;
  }
  for (std::size_t i = 0; i + 1 < units.size(); ++i) {
    if (IsHighSurrogate(units[i]) && IsLowSurrogate(units[i + 1])) {
      storage.assign(units.substr(0, i));
      for (; i < units.size(); ++i) {
        storage.push_back(units[i]);
        if (IsHighSurrogate(units[i]) && i + 1 < units.size() && IsLowSurrogate(units[i + 1])) {
          ++i;
        }
      }
      return storage;
    }
  }
  return units;
}

// The length of the block of units that starts at `i`, a surrogate pair kept whole.
std::size_t UnitBlockEnd(std::u16string_view units, std::size_t i) {
  std::size_t end = std::min(units.size(), i + kBlockSize);
  if (end < units.size() && IsHighSurrogate(units[end - 1])) {
    ++end;
  }
  return end;
}

// `units` encoded onto `bytes`; with `endText`, stopping before the first character the
// code page cannot write (false then).
bool AppendText(std::u16string_view text, UINT codePage, bool endText, std::string& bytes) {
  std::u16string storage;
  const std::u16string_view units = OneUnitPerCharacter(text, codePage, storage);
  for (std::size_t i = 0; i < units.size();) {
    const std::size_t end = UnitBlockEnd(units, i);
    const std::u16string_view block = units.substr(i, end - i);
    if (!endText) {
      AppendEncoded(block, codePage, false, bytes);
    } else if (!AppendEncoded(block, codePage, true, bytes)) {
      for (std::size_t k = 0; k < block.size();) {
        const bool pair = k + 1 < block.size() && IsHighSurrogate(block[k]) && IsLowSurrogate(block[k + 1]);
        if (!AppendEncoded(block.substr(k, pair ? 2 : 1), codePage, true, bytes)) {
          return false;
        }
        k += pair ? 2 : 1;
      }
    }
    i = end;
  }
  return true;
}

}  // namespace

bool IsKnown(unsigned codePage) {
  CPINFO info{};
  return codePage == kSystem || (IsValidCodePage(codePage) != FALSE && GetCPInfo(codePage, &info) != FALSE);
}

std::u16string Decode(std::string_view bytes, unsigned codePage, InvalidBytes invalid) {
  if (!IsKnown(codePage)) {
    return {};
  }
  const UINT windowsCodePage = WindowsCodePage(codePage);
  const ByteLayout layout(windowsCodePage);
  const char16_t substitute = invalid == InvalidBytes::QuestionMark ? u'?' : u'\uFFFD';
  std::u16string units;
  units.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t end = layout.BlockEnd(bytes, i);
    AppendBlock(bytes.substr(i, end - i), windowsCodePage, layout, substitute, units);
    i = end;
  }
  return units;
}

std::string Encode(std::u16string_view units, unsigned codePage, Unwritable unwritable) {
  std::string bytes;
  if (IsKnown(codePage)) {
    AppendText(units, WindowsCodePage(codePage), unwritable == Unwritable::EndText, bytes);
  }
  return bytes;
}

std::string Transcode(std::string_view bytes, unsigned from, unsigned to) {
  if (!IsKnown(from) || !IsKnown(to)) {
    return {};
  }
  const UINT source = WindowsCodePage(from);
  const UINT target = WindowsCodePage(to);
  const ByteLayout layout(source);
  // Block by block, so no UTF-16 copy of the whole text is held.
  std::u16string units;
  std::string output;
  output.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t end = layout.BlockEnd(bytes, i);
    units.clear();
    AppendBlock(bytes.substr(i, end - i), source, layout, u'\uFFFD', units);
    AppendText(units, target, false, output);
    i = end;
  }
  return output;
}

}  // namespace quorvane::codepage
