#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// Texts are GBK byte strings: a byte of 0x80 or above starts a two-byte character.
// Every search here steps over two-byte characters as wholes, so a match never
// begins on the second byte of a character. Views are read within their length only.
namespace quorvane {

inline constexpr std::int64_t kNotFound = -1;

// Position (counted from 1) of the first `sought` in `text`, or kNotFound.
// `start` skips the first start-1 bytes and character stepping begins there;
// positions below 1 count as 1. `ignoreCase` folds A-Z onto a-z and nothing else.
// An empty `sought` is found at the start position when any byte is left there.
std::int64_t FindText(std::string_view text, std::string_view sought, std::int64_t start = 1,
                      bool ignoreCase = false);

// Zero-based form of FindText for code that works with offsets: npos when not found.
std::size_t FindTextOffset(std::string_view text, std::string_view sought, std::size_t from = 0,
                           bool ignoreCase = false);

// Whether `sought` occurs in `text` by the search rule.
bool ContainsText(std::string_view text, std::string_view sought, bool ignoreCase = false);

// The text before the first `separator`, or all of it when there is none.
std::string_view TextBefore(std::string_view text, std::string_view separator);

// The text after the first `startMarker` and before the first `endMarker` that
// follows it; empty when either marker is missing.
std::string TextBetween(std::string_view source, std::string_view startMarker,
                        std::string_view endMarker);

// What the expression open(.*?)close finds first when `open` and `close` are plain
// text and "." matches all but a line feed: the text after the first `open` that has a
// `close` after it on its own line, up to that `close`; nullopt when there is none.
// Linear where the expression is quadratic: a line whose first `open` has no `close`
// after it has no later one either, so the line is passed over whole.
std::optional<std::string> FirstBetweenOnOneLine(std::string_view text, std::string_view open,
                                                 std::string_view close, bool ignoreCase = false);

// Deletes every occurrence of each removal text in turn, each pass working on what
// the earlier ones left; empty removal texts are skipped.
std::string RemoveTextsList(std::string_view text, std::span<const std::string_view> removals);

// One to ten removal texts, as the program's callers pass them.
template <typename... More>
std::string RemoveTexts(std::string_view text, std::string_view first, More&&... more) {
  static_assert(sizeof...(More) <= 9, "RemoveTexts takes one to ten removal texts");
  const std::array<std::string_view, 1 + sizeof...(More)> all{first, std::string_view(more)...};
  return RemoveTextsList(text, all);
}

// Every occurrence of `sought` (stepping as FindText does, non-overlapping, from the
// left) replaced by `replacement`.
std::string ReplaceText(std::string_view text, std::string_view sought, std::string_view replacement,
                        bool ignoreCase = false);

}  // namespace quorvane
