#include "util/text_pieces.h"

#include "util/text_search.h"

#include <algorithm>

namespace quorvane {
namespace {

constexpr std::string_view kFullWidthSpace = "\xA1\xA1";

std::size_t CharacterLength(std::string_view text, std::size_t offset) {
  const bool lead = static_cast<unsigned char>(text[offset]) >= 0x80;
  return (lead && offset + 1 < text.size()) ? 2 : 1;
}

bool IsSpaceCharacter(std::string_view character) {
  return character == " " || character == kFullWidthSpace;
}

}  // namespace

std::string TrimText(std::string_view text) {
  std::size_t offset = 0;
  std::size_t first = text.size();
  std::size_t end = 0;
  while (offset < text.size()) {
    const std::size_t length = CharacterLength(text, offset);
    if (!IsSpaceCharacter(text.substr(offset, length))) {
      first = std::min(first, offset);
      end = offset + length;
    }
    offset += length;
  }
  return first < end ? std::string(text.substr(first, end - first)) : std::string();
}

std::vector<std::string> SplitText(std::string_view text, std::string_view separator) {
  std::vector<std::string> pieces;
  if (text.empty()) {
    return pieces;
  }
  if (separator.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  std::size_t pieceStart = 0;
  for (std::size_t found = FindTextOffset(text, separator); found != std::string_view::npos;
       found = FindTextOffset(text, separator, pieceStart)) {
    pieces.emplace_back(text.substr(pieceStart, found - pieceStart));
    pieceStart = found + separator.size();
  }
  if (pieceStart < text.size()) {
    pieces.emplace_back(text.substr(pieceStart));
  }
  return pieces;
}

std::string LowerCaseText(std::string_view text) {
  std::string lower(text);
  for (std::size_t i = 0; i < lower.size(); i += CharacterLength(lower, i)) {
    if (lower[i] >= 'A' && lower[i] <= 'Z') {
      lower[i] = static_cast<char>(lower[i] - 'A' + 'a');
    }
  }
  return lower;
}

}  // namespace quorvane
