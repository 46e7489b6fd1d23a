#include "util/regex_engine.h"

#include <unicode/uregex.h>

namespace quorvane {

struct RegexEngine::Pattern {
  URegularExpression* regex = nullptr;
  std::size_t length = 0;
  ~Pattern() { uregex_close(regex); }
};

RegexEngine::RegexEngine(std::u16string_view pattern, bool ignoreCase, bool multiline) {
  uint32_t flags = UREGEX_UNIX_LINES;
  if (ignoreCase) {
    flags |= UREGEX_CASE_INSENSITIVE;
  }
  if (multiline) {
    flags |= UREGEX_MULTILINE;
  }
  UErrorCode status = U_ZERO_ERROR;
  URegularExpression* regex =
      uregex_open(pattern.data(), static_cast<int32_t>(pattern.size()), flags, nullptr, &status);
  if (U_FAILURE(status)) {
    uregex_close(regex);
    return;
  }
  compiled_ = std::make_unique<Pattern>();
  compiled_->regex = regex;
}

RegexEngine::~RegexEngine() = default;

// ICU's time limit is in its steps of 10,000 backtracking states and restarts with every
// find.
void RegexEngine::SetText(std::u16string_view text) {
  if (compiled_) {
    UErrorCode status = U_ZERO_ERROR;
    uregex_setText(compiled_->regex, text.data(), static_cast<int32_t>(text.size()), &status);
    compiled_->length = U_SUCCESS(status) ? text.size() : 0;
  }
}

std::vector<RegexSpan> RegexEngine::FindFrom(std::size_t from, int timeLimit) {
  std::vector<RegexSpan> spans;
  if (!compiled_ || from > compiled_->length) {
    return spans;
  }
  URegularExpression* regex = compiled_->regex;
  UErrorCode status = U_ZERO_ERROR;
  uregex_setTimeLimit(regex, timeLimit, &status);
  const int32_t groups = uregex_groupCount(regex, &status);
  if (U_FAILURE(status) || !uregex_find(regex, static_cast<int32_t>(from), &status) || U_FAILURE(status)) {
    return spans;
  }
  spans.resize(static_cast<std::size_t>(groups) + 1);
  for (int32_t group = 0; group <= groups; ++group) {
    RegexSpan& span = spans[static_cast<std::size_t>(group)];
    span.start = uregex_start(regex, group, &status);
    span.end = uregex_end(regex, group, &status);
  }
  if (U_FAILURE(status)) {
    spans.clear();
  }
  return spans;
}

}  // namespace quorvane
