#include "resolve/escaped_fields.h"

#include "web/code_page_converter.h"

#include <optional>

namespace quorvane {
namespace {

bool IsLeadByte(char byte) { return static_cast<unsigned char>(byte) >= 0x80; }

// Length of the character at `i`: two bytes from a lead byte, one otherwise, and one
// for a lead byte at the very end.
std::size_t CharacterLength(std::string_view text, std::size_t i) {
  return IsLeadByte(text[i]) && i + 1 < text.size() ? 2 : 1;
}

// Offset of the first `sought` at or after `from` that begins a character outside an
// escape; npos when there is none.
std::size_t FindOutsideEscapes(std::string_view text, std::string_view sought, std::size_t from) {
  for (std::size_t i = from; i < text.size();) {
    if (text.size() - i < sought.size()) {
      break;
    }
    if (text.substr(i, sought.size()) == sought) {
      return i;
    }
    if (IsLeadByte(text[i]) && i + 1 >= text.size()) {
      break;  // a lead byte followed by the end ends the search
    }
    const std::size_t length = CharacterLength(text, i);
    if (text[i] == '\\' && i + 1 < text.size()) {
      i += 1 + CharacterLength(text, i + 1);
    } else {
      i += length;
    }
  }
  return std::string_view::npos;
}

std::optional<char16_t> HexUnit(std::string_view text, std::size_t at) {
  if (at + 4 > text.size()) {
    return std::nullopt;
  }
  unsigned value = 0;
  for (std::size_t i = at; i < at + 4; ++i) {
    const char c = text[i];
    unsigned digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
    value = value * 16 + digit;
  }
  return static_cast<char16_t>(value);
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

std::string EscapedTextBetween(std::string_view source, std::string_view startMarker,
                               std::string_view endMarker) {
  if (source.empty() || endMarker.empty()) {
    return {};
  }
  const std::size_t start = FindOutsideEscapes(source, startMarker, 0);
  if (start == std::string_view::npos) {
    return {};
  }
  const std::size_t valueStart = start + startMarker.size();
  const std::size_t end = FindOutsideEscapes(source, endMarker, valueStart);
  if (end == std::string_view::npos) {
    return {};
  }
  return std::string(source.substr(valueStart, end - valueStart));
}

std::string DecodeEscapes(std::string_view value) {
  std::string decoded;
  decoded.reserve(value.size());
  for (std::size_t i = 0; i < value.size();) {
    if (value[i] != '\\') {
      const std::size_t length = CharacterLength(value, i);
      decoded.append(value.substr(i, length));
      i += length;
      continue;
    }
    if (i + 1 >= value.size()) {
      break;  // a lone backslash at the end
    }
    const char escaped = value[i + 1];
    const std::optional<char16_t> unit = escaped == 'u' ? HexUnit(value, i + 2) : std::nullopt;
    if (!unit) {
      // \", \/ and \\ give their character; any other escape loses its backslash, as
      // the answer's backslashes always did.
      i += 1;
      const std::size_t length = CharacterLength(value, i);
      decoded.append(value.substr(i, length));
      i += length;
      continue;
    }
    i += 6;
    std::u16string character(1, *unit);
    if (IsHighSurrogate(*unit) && i + 1 < value.size() && value[i] == '\\' && value[i + 1] == 'u') {
      const std::optional<char16_t> low = HexUnit(value, i + 2);
      if (low && IsLowSurrogate(*low)) {
        character += *low;
        i += 6;
      }
    }
    if (character.size() == 1 && (IsHighSurrogate(*unit) || IsLowSurrogate(*unit))) {
      character[0] = u'\uFFFD';  // half a pair stands for no character
    }
    if (character[0] == u'\0') {
      continue;
    }
    decoded += codepage::Encode(character, codepage::kGbk);
  }
  return decoded;
}

}  // namespace quorvane
