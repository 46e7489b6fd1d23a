#include "util/regex_object.h"

#include "util/regex_engine.h"
#include "web/encodings.h"

namespace quorvane {
namespace {

using MatchSpans = std::vector<RegexSpan>;

// The matches of `engine` in `units`, every one or the first. Each match is bounded by
// `timeLimit`, counted anew for every match; the search ends at a match that runs out of
// time, keeping the matches found before it.
std::vector<MatchSpans> FindMatches(RegexEngine& engine, const std::u16string& units, bool global, int timeLimit) {
  std::vector<MatchSpans> matches;
  engine.SetText(units);
  std::size_t from = 0;
  while (from <= units.size()) {
    MatchSpans spans = engine.FindFrom(from, timeLimit);
    if (spans.empty()) {
      break;
    }
    from = static_cast<std::size_t>(spans[0].end);
    if (spans[0].end == spans[0].start) {
      // An empty match: the next one is looked for a character further on.
      const bool pair = from + 1 < units.size() && (units[from] & 0xFC00) == 0xD800 &&
                        (units[from + 1] & 0xFC00) == 0xDC00;
      from += pair ? 2 : 1;
    }
    matches.push_back(std::move(spans));
    if (!global) {
      break;
    }
  }
  return matches;
}

std::u16string_view Piece(const std::u16string& units, RegexSpan span) {
  if (span.start < 0 || span.end < span.start) {
    return {};
  }
  return std::u16string_view(units).substr(static_cast<std::size_t>(span.start),
                                           static_cast<std::size_t>(span.end - span.start));
}

bool IsDigit(char16_t unit) { return unit >= u'0' && unit <= u'9'; }

// The replacement for one match, read as the scripting engine reads it: $1 to $99 a
// group (two digits only when that group exists), $& the match, $` the text before it,
// $' the text after it, $$ a dollar sign. Any other "$", and every backslash, is an
// ordinary character.
void AppendReplacement(std::u16string& out, std::u16string_view replacement, const std::u16string& source,
                       const MatchSpans& match) {
  const auto groups = static_cast<int>(match.size()) - 1;
  for (std::size_t i = 0; i < replacement.size(); ++i) {
    const char16_t unit = replacement[i];
    if (unit != u'$' || i + 1 >= replacement.size()) {
      out += unit;
      continue;
    }
    const char16_t next = replacement[i + 1];
    if (next == u'$') {
      out += u'$';
      ++i;
    } else if (next == u'&') {
      out += Piece(source, match[0]);
      ++i;
    } else if (next == u'`') {
      out += std::u16string_view(source).substr(0, static_cast<std::size_t>(match[0].start));
      ++i;
    } else if (next == u'\'') {
      out += std::u16string_view(source).substr(static_cast<std::size_t>(match[0].end));
      ++i;
    } else if (IsDigit(next)) {
      int group = next - u'0';
      std::size_t digits = 1;
      if (i + 2 < replacement.size() && IsDigit(replacement[i + 2])) {
        const int twoDigits = group * 10 + (replacement[i + 2] - u'0');
        if (twoDigits >= 1 && twoDigits <= groups) {
          group = twoDigits;
          digits = 2;
        }
      }
      if (group >= 1 && group <= groups) {
        out += Piece(source, match[static_cast<std::size_t>(group)]);
        i += digits;
      } else {
        out += unit;  // no such group: the text stays as written
      }
    } else {
      out += unit;
    }
  }
}

}  // namespace

void RegexObject::Destroy() { *this = RegexObject(); }

bool RegexObject::Prepare(std::string_view pattern, std::optional<bool> ignoreCase, std::optional<bool> multiline,
                          std::optional<bool> global) {
  matches_.clear();
  pattern_ = GbkToUtf16(pattern);
  ignoreCase_ = ignoreCase.value_or(true);
  multiline_ = multiline.value_or(true);
  global_ = global.value_or(true);
  prepared_ = true;
  return true;
}

std::string RegexObject::GetPattern() const { return prepared_ ? Utf16ToGbk(pattern_) : std::string(); }

std::string RegexObject::ReplaceText(std::string_view source, std::string_view replacement) const {
  if (!prepared_) {
    return {};
  }
  RegexEngine engine(pattern_, ignoreCase_, multiline_);
  if (!engine.Compiled()) {
    return std::string(source);
  }
  const std::u16string text = GbkToUtf16(source);
  const std::u16string with = GbkToUtf16(replacement);
  std::u16string result;
  result.reserve(text.size());
  std::size_t copied = 0;
  for (const MatchSpans& match : FindMatches(engine, text, global_, timeLimit_)) {
    result.append(text, copied, static_cast<std::size_t>(match[0].start) - copied);
    AppendReplacement(result, with, text, match);
    copied = static_cast<std::size_t>(match[0].end);
  }
  result.append(text, copied);
  return Utf16ToGbk(result);
}

int RegexObject::Search(std::string_view text) {
  matches_.clear();
  if (!prepared_) {
    return 0;
  }
  RegexEngine engine(pattern_, ignoreCase_, multiline_);
  if (!engine.Compiled()) {
    return 0;
  }
  const std::u16string units = GbkToUtf16(text);
  for (const MatchSpans& spans : FindMatches(engine, units, global_, timeLimit_)) {
    Match match;
    match.text = Utf16ToGbk(Piece(units, spans[0]));
    for (std::size_t group = 1; group < spans.size(); ++group) {
      match.groups.push_back(Utf16ToGbk(Piece(units, spans[group])));
    }
    matches_.push_back(std::move(match));
  }
  return MatchCount();
}

std::string RegexObject::MatchText(int match) const {
  if (match < 1 || match > MatchCount()) {
    return {};
  }
  return matches_[static_cast<std::size_t>(match - 1)].text;
}

std::string RegexObject::SubMatchText(int match, int group) const {
  if (match < 1 || match > MatchCount()) {
    return {};
  }
  const auto& groups = matches_[static_cast<std::size_t>(match - 1)].groups;
  if (group < 1 || group > static_cast<int>(groups.size())) {
    return {};
  }
  return groups[static_cast<std::size_t>(group - 1)];
}

int RegexObject::SubMatchCount() const {
  return matches_.empty() ? 0 : static_cast<int>(matches_.front().groups.size());
}

}  // namespace quorvane
