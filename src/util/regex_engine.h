#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace quorvane {

// Where a match or one of its groups lies in the searched UTF-16 units; a group that took
// no part in the match has a negative start.
struct RegexSpan {
  std::ptrdiff_t start = -1;
  std::ptrdiff_t end = -1;
};

// One compiled pattern of the platform's regular-expression engine, under RegexObject.
// Only a line feed ends a line; with `multiline`, ^ and $ match at every line.
class RegexEngine {
 public:
  // A pattern the engine rejects leaves it without a pattern: Compiled() is false.
  RegexEngine(std::u16string_view pattern, bool ignoreCase, bool multiline);
  ~RegexEngine();
  RegexEngine(const RegexEngine&) = delete;
  RegexEngine& operator=(const RegexEngine&) = delete;

  bool Compiled() const { return compiled_ != nullptr; }

  // The text to search; it must stay in place while it is searched.
  void SetText(std::u16string_view text);

  // The first match in the text that starts at `from` or later: the match's span, then
  // one per group. Empty when there is none, and when finding it takes more than
  // `timeLimit` (the engine's steps, counted anew for each call).
  std::vector<RegexSpan> FindFrom(std::size_t from, int timeLimit);

 private:
  struct Pattern;
  std::unique_ptr<Pattern> compiled_;
};

}  // namespace quorvane
