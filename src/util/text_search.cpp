#include "util/text_search.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace quorvane {
namespace {

constexpr bool IsLeadByte(unsigned char byte) { return byte >= 0x80; }

constexpr unsigned char FoldCase(unsigned char byte) {
  return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

unsigned char ByteAt(std::string_view text, std::size_t index) {
  return static_cast<unsigned char>(text[index]);
}

// Tells whether a byte offset starts a character, for offsets handed out in rising
// order. A byte below 0x80 always ends a character, so only the run of lead-range
// bytes just before the offset needs looking at: they pair up from its start. The
// known boundary moves forward with every question, which keeps the whole scan linear.
class CharacterBoundaries {
 public:
  CharacterBoundaries(std::string_view text, std::size_t origin) : text_(text), known_(origin) {}

  bool StartsCharacter(std::size_t offset) {
    std::size_t runStart = offset;
    while (runStart > known_ && IsLeadByte(ByteAt(text_, runStart - 1))) {
      --runStart;
    }
    const bool aligned = (offset - runStart) % 2 == 0;
    known_ = aligned ? offset : offset + 1;
    return aligned;
  }

 private:
  std::string_view text_;
  std::size_t known_;
};

bool EqualsIgnoringCase(const char* a, const char* b, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (FoldCase(static_cast<unsigned char>(a[i])) != FoldCase(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// Next byte-level candidate at or after `from`, ignoring character boundaries.
std::size_t NextCandidate(std::string_view text, std::string_view sought, std::size_t from,
                          bool ignoreCase) {
  if (from > text.size() || text.size() - from < sought.size()) {
    return std::string_view::npos;
  }
  const std::size_t lastStart = text.size() - sought.size();
  if (!ignoreCase) {
#if defined(__GLIBC__)
    const void* hit = memmem(text.data() + from, text.size() - from, sought.data(), sought.size());
    return hit == nullptr ? std::string_view::npos
                          : static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
#else
    return text.find(sought, from);
#endif
  }
  const unsigned char first = FoldCase(ByteAt(sought, 0));
  const bool firstIsLetter = first >= 'a' && first <= 'z';
  for (std::size_t i = from; i <= lastStart;) {
    if (!firstIsLetter) {
      const void* hit = std::memchr(text.data() + i, first, lastStart - i + 1);
      if (hit == nullptr) {
        return std::string_view::npos;
      }
      i = static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
    } else if (FoldCase(ByteAt(text, i)) != first) {
      ++i;
      continue;
    }
    if (EqualsIgnoringCase(text.data() + i, sought.data(), sought.size())) {
      return i;
    }
    ++i;
  }
  return std::string_view::npos;
}

}  // namespace

std::size_t FindTextOffset(std::string_view text, std::string_view sought, std::size_t from,
                           bool ignoreCase) {
  if (from >= text.size()) {
    return std::string_view::npos;
  }
  if (sought.empty()) {
    return from;
  }
  CharacterBoundaries boundaries(text, from);
  for (std::size_t candidate = NextCandidate(text, sought, from, ignoreCase);
       candidate != std::string_view::npos;
       candidate = NextCandidate(text, sought, candidate + 1, ignoreCase)) {
    if (boundaries.StartsCharacter(candidate)) {
      return candidate;
    }
  }
  return std::string_view::npos;
}

std::int64_t FindText(std::string_view text, std::string_view sought, std::int64_t start,
                      bool ignoreCase) {
  const std::size_t from = start <= 1 ? 0 : static_cast<std::size_t>(start - 1);
  const std::size_t found = FindTextOffset(text, sought, from, ignoreCase);
  return found == std::string_view::npos ? kNotFound : static_cast<std::int64_t>(found) + 1;
}

bool ContainsText(std::string_view text, std::string_view sought, bool ignoreCase) {
  return FindTextOffset(text, sought, 0, ignoreCase) != std::string_view::npos;
}

std::string_view TextBefore(std::string_view text, std::string_view separator) {
  const std::size_t found = FindTextOffset(text, separator);
  return found == std::string_view::npos ? text : text.substr(0, found);
}

std::string TextBetween(std::string_view source, std::string_view startMarker,
                        std::string_view endMarker) {
  const std::size_t start = FindTextOffset(source, startMarker);
  if (start == std::string_view::npos) {
    return {};
  }
  const std::string_view remainder = source.substr(start + startMarker.size());
  const std::size_t end = FindTextOffset(remainder, endMarker);
  if (end == std::string_view::npos) {
    return {};
  }
  return std::string(remainder.substr(0, end));
}

std::optional<std::string> FirstBetweenOnOneLine(std::string_view text, std::string_view open,
                                                 std::string_view close, bool ignoreCase) {
  for (std::size_t from = 0; from < text.size();) {
    const std::size_t opened = FindTextOffset(text, open, from, ignoreCase);
    if (opened == std::string_view::npos) {
      break;
    }
    const std::size_t contentStart = opened + open.size();
    const std::size_t lineEnd = std::min(text.find('\n', contentStart), text.size());
    const std::size_t closed = FindTextOffset(text.substr(0, lineEnd), close, contentStart, ignoreCase);
    if (closed != std::string_view::npos) {
      return std::string(text.substr(contentStart, closed - contentStart));
    }
    from = lineEnd + 1;
  }
  return std::nullopt;
}

std::string ReplaceText(std::string_view text, std::string_view sought, std::string_view replacement,
                        bool ignoreCase) {
  std::size_t found = sought.empty() ? std::string_view::npos : FindTextOffset(text, sought, 0, ignoreCase);
  if (found == std::string_view::npos) {
    return std::string(text);
  }
  std::string result;
  result.reserve(text.size());
  std::size_t copied = 0;
  do {
    result.append(text.substr(copied, found - copied));
    result.append(replacement);
    copied = found + sought.size();
    found = FindTextOffset(text, sought, copied, ignoreCase);
  } while (found != std::string_view::npos);
  result.append(text.substr(copied));
  return result;
}

std::string RemoveTextsList(std::string_view text, std::span<const std::string_view> removals) {
  std::string current;
  bool copied = false;
  for (const std::string_view removal : removals) {
    if (!removal.empty()) {
      current = ReplaceText(copied ? std::string_view(current) : text, removal, {});
      copied = true;
    }
  }
  return copied ? current : std::string(text);
}

}  // namespace quorvane
