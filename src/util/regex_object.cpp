#include "util/regex_object.h"

#include "web/encodings.h"

#include <unicode/uregex.h>

#include <memory>

namespace quorvane {
namespace {

struct RegexCloser {
  void operator()(URegularExpression* regex) const { uregex_close(regex); }
};
using CompiledRegex = std::unique_ptr<URegularExpression, RegexCloser>;

CompiledRegex Compile(const std::u16string& pattern, unsigned flags) {
  UErrorCode status = U_ZERO_ERROR;
  CompiledRegex regex(
      uregex_open(pattern.data(), static_cast<int32_t>(pattern.size()), flags, nullptr, &status));
  if (U_FAILURE(status)) {
    return nullptr;
  }
  return regex;
}

std::string Group(URegularExpression* regex, int32_t group, const std::u16string& text) {
  UErrorCode status = U_ZERO_ERROR;
  const int32_t start = uregex_start(regex, group, &status);
  const int32_t end = uregex_end(regex, group, &status);
  if (U_FAILURE(status) || start < 0 || end < start) {
    return {};  // the group took no part in the match
  }
  return Utf16ToGbk(std::u16string_view(text).substr(static_cast<std::size_t>(start),
                                                     static_cast<std::size_t>(end - start)));
}

}  // namespace

void RegexObject::Destroy() { *this = RegexObject(); }

bool RegexObject::Prepare(std::string_view pattern, std::optional<bool> ignoreCase, std::optional<bool> multiline,
                          std::optional<bool> global) {
  matches_.clear();
  pattern_ = GbkToUtf16(pattern);
  flags_ = UREGEX_UNIX_LINES;
  if (ignoreCase.value_or(true)) {
    flags_ |= UREGEX_CASE_INSENSITIVE;
  }
  if (multiline.value_or(true)) {
    flags_ |= UREGEX_MULTILINE;
  }
  global_ = global.value_or(true);
  prepared_ = true;
  return true;
}

std::string RegexObject::GetPattern() const { return prepared_ ? Utf16ToGbk(pattern_) : std::string(); }

std::string RegexObject::ReplaceText(std::string_view source, std::string_view replacement) const {
  const CompiledRegex regex = prepared_ ? Compile(pattern_, flags_) : nullptr;
  if (!regex) {
    return {};
  }
  const std::u16string text = GbkToUtf16(source);
  const std::u16string with = GbkToUtf16(replacement);
  UErrorCode status = U_ZERO_ERROR;
  uregex_setText(regex.get(), text.data(), static_cast<int32_t>(text.size()), &status);
  auto replace = global_ ? uregex_replaceAll : uregex_replaceFirst;
  const int32_t length = replace(regex.get(), with.data(), static_cast<int32_t>(with.size()), nullptr, 0, &status);
  if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) {
    return {};
  }
  std::u16string result(static_cast<std::size_t>(length) + 1, u'\0');
  status = U_ZERO_ERROR;
  uregex_reset(regex.get(), 0, &status);
  replace(regex.get(), with.data(), static_cast<int32_t>(with.size()), result.data(),
          static_cast<int32_t>(result.size()), &status);
  if (U_FAILURE(status)) {
    return {};
  }
  result.resize(static_cast<std::size_t>(length));
  return Utf16ToGbk(result);
}

int RegexObject::Search(std::string_view text) {
  matches_.clear();
  const CompiledRegex regex = prepared_ ? Compile(pattern_, flags_) : nullptr;
  if (!regex) {
    return 0;
  }
  const std::u16string units = GbkToUtf16(text);
  UErrorCode status = U_ZERO_ERROR;
  uregex_setText(regex.get(), units.data(), static_cast<int32_t>(units.size()), &status);
  const int32_t groups = uregex_groupCount(regex.get(), &status);
  while (U_SUCCESS(status) && uregex_findNext(regex.get(), &status)) {
    Match match;
    match.text = Group(regex.get(), 0, units);
    for (int32_t group = 1; group <= groups; ++group) {
      match.groups.push_back(Group(regex.get(), group, units));
    }
    matches_.push_back(std::move(match));
    if (!global_) {
      break;
    }
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
