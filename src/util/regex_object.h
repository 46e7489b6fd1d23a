#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

// The program's regular-expression object over the platform's engine. Texts in and out are GBK and are
// matched character by character; only a line feed ends a line; match and group
// numbers count from 1. Failures give empty or zero results, never errors. Patterns
// come from remote pages, so each match is bounded in time: one that runs out matches
// nothing, and the search ends there.
// Not for use from two threads at once.
class RegexObject {
 public:
  // Drops the pattern and the matches.
  void Destroy();
  // A new instance with the same pattern and the same matches.
  RegexObject Clone() const { return *this; }

  // Roughly a tenth to half a second of one core, far beyond any match of a real page.
  static constexpr int kDefaultTimeLimit = 1000;

  // A fresh engine for `pattern`; each flag not given counts as true. A malformed
  // pattern is accepted here and matches nothing later. True: the engine exists.
  bool Prepare(std::string_view pattern, std::optional<bool> ignoreCase = {}, std::optional<bool> multiline = {},
               std::optional<bool> global = {});
  std::string GetPattern() const;
  // `source` with the matches (every one when global) replaced as the scripting engine
  // replaces: $1..$99, $&, $`, $', $$; a backslash is an ordinary character.
  // A malformed pattern matches nothing: `source` comes back unchanged.
  std::string ReplaceText(std::string_view source, std::string_view replacement) const;
  // Runs the engine over `text` and keeps the matches; their number.
  int Search(std::string_view text);
  int MatchCount() const { return static_cast<int>(matches_.size()); }
  std::string MatchText(int match) const;
  std::string SubMatchText(int match, int group) const;
  // The number of groups of the first match; 0 without matches.
  int SubMatchCount() const;

  // The bound on each match, in the engine's steps (ICU's: 10,000 backtracking states).
  void SetTimeLimit(int steps) { timeLimit_ = steps; }

 private:
  struct Match {
    std::string text;
    std::vector<std::string> groups;
  };

  bool prepared_ = false;
  std::u16string pattern_;
  bool ignoreCase_ = true;
  bool multiline_ = true;
  bool global_ = true;
  int timeLimit_ = kDefaultTimeLimit;
  std::vector<Match> matches_;
};

}  // namespace quorvane
