#include "resolve/unescape.h"

#include "resolve/number_rules.h"
#include "resolve/radix.h"
#include "util/text_search.h"
#include "web/code_page_converter.h"

#include <cstdint>
#include <cstring>
#include <unordered_map>

namespace quorvane {
namespace {

constexpr std::string_view kEscapeStart = "\\u";
constexpr std::size_t kEscapeLength = 6;
constexpr std::size_t kCodeDigits = 4;

// Inputs up to this size fall back to the stepwise form when the single pass cannot
// vouch for its result; above it the stepwise form could run for minutes.
constexpr std::size_t kStepwiseLimit = 64 * 1024;

bool IsEscapeAt(std::string_view text, std::size_t i) {
  return text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'u' || text[i + 1] == 'U');
}

// The character an escape's sequence stands for: its last four bytes read as
// hexadecimal, anything else counting as the code 0.
std::string CharacterForSequence(std::string_view sequence) {
  std::string codeDigits(sequence.substr(sequence.size() - std::min(sequence.size(), kCodeDigits)));
  return CodeUnitToGbk(TextToInt(ConvertRadix(codeDigits, 16, 10)));
}

// Whether a decoded character could take part in forming another escape or shift
// where characters start in the text after it.
bool CharacterCanInteract(std::string_view character) {
  return character.find_first_of("\\uU") != std::string_view::npos ||
         (character.size() == 1 && static_cast<unsigned char>(character[0]) >= 0x80);
}

// Whether the sequence ends where a character ends and holds no second backslash.
bool SequenceStandsAlone(std::string_view sequence) {
  std::size_t i = 0;
  while (i < sequence.size()) {
    if (i > 0 && sequence[i] == '\\') {
      return false;
    }
    i += static_cast<unsigned char>(sequence[i]) >= 0x80 ? std::size_t{2} : std::size_t{1};
  }
  return i == sequence.size();
}

}  // namespace

std::string CodeUnitToGbk(int value) {
  const auto unit = static_cast<char16_t>(static_cast<unsigned>(value) & 0xFFFFU);
  std::string character =
      codepage::Encode(std::u16string_view(&unit, 1), codepage::kGbk, codepage::Unwritable::EndText);
  character = std::string(character.c_str());
  while (!character.empty()) {
    if (character.back() == ' ') {
      character.pop_back();
    } else if (character.size() >= 2 && character.ends_with("\xA1\xA1")) {
      character.resize(character.size() - 2);
    } else {
      break;
    }
  }
  return character;
}

namespace detail {

std::string UnescapeUnicodeStepwise(std::string_view text) {
  std::string working(text);
  for (std::size_t found = FindTextOffset(text, kEscapeStart, 0, true); found != std::string_view::npos;
       found = FindTextOffset(text, kEscapeStart, found + 1, true)) {
    const std::string_view sequence = text.substr(found, kEscapeLength);
    working = ReplaceText(working, sequence, CharacterForSequence(sequence), true);
  }
  return working;
}

std::string UnescapeUnicodeSinglePass(std::string_view text, bool& exact) {
  exact = true;
  std::string result;
  result.reserve(text.size());
  std::unordered_map<std::uint32_t, std::string> decoded;
  for (std::size_t i = 0; i < text.size();) {
    if (!IsEscapeAt(text, i)) {
      const std::size_t length = static_cast<unsigned char>(text[i]) >= 0x80 ? 2 : 1;
      result.append(text.substr(i, length));
      i += length;
      continue;
    }
    const std::string_view sequence = text.substr(i, kEscapeLength);
    std::string shortSequenceCharacter;
    const std::string* character = &shortSequenceCharacter;
    if (sequence.size() == kEscapeLength) {
      std::uint32_t key = 0;
      std::memcpy(&key, sequence.data() + 2, sizeof key);
      auto entry = decoded.find(key);
      if (entry == decoded.end()) {
        entry = decoded.emplace(key, CharacterForSequence(sequence)).first;
      }
      character = &entry->second;
    } else {
      shortSequenceCharacter = CharacterForSequence(sequence);
    }
    if (CharacterCanInteract(*character) || !SequenceStandsAlone(sequence)) {
      exact = false;
    }
    result.append(*character);
    i += sequence.size();
  }
  if (exact && FindTextOffset(result, kEscapeStart, 0, true) != std::string_view::npos) {
    exact = false;
  }
  return result;
}

}  // namespace detail

std::string UnescapeUnicode(std::string_view text) {
  bool exact = true;
  std::string result = detail::UnescapeUnicodeSinglePass(text, exact);
  if (!exact && text.size() <= kStepwiseLimit) {
    return detail::UnescapeUnicodeStepwise(text);
  }
  return result;
}

}  // namespace quorvane
