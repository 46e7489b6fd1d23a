#include "web/redirect_rules.h"

#include "util/text_pieces.h"
#include "util/text_search.h"

#include <algorithm>
#include <initializer_list>

namespace quorvane::redirect_rules {
namespace {

void RemoveHeaderLines(std::vector<std::string>& lines, std::initializer_list<std::string_view> names) {
  std::erase_if(lines, [names](const std::string& line) {
    return std::any_of(names.begin(), names.end(),
                       [&line](std::string_view name) { return NamesHeader(line, name); });
  });
}

}  // namespace

std::vector<std::string> HeaderLines(std::string_view headerText) {
  std::vector<std::string> lines = SplitText(headerText, "\r\n");
  std::erase(lines, std::string());
  return lines;
}

bool NamesHeader(std::string_view line, std::string_view name) {
  return line.size() > name.size() && line[name.size()] == ':' &&
         FindText(line.substr(0, name.size()), name, 1, true) == 1;
}

bool IsFollowedRedirect(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool BecomesGet(long status, std::string_view method) {
  return status == 303 || ((status == 301 || status == 302) && LowerCaseText(method) == "post");
}

void FollowRedirect(long status, bool sameOrigin, Hop& hop) {
  if (!sameOrigin) {
    RemoveHeaderLines(hop.headerLines, {"Cookie", "Authorization"});
  }
  if (BecomesGet(status, hop.method)) {
    hop.method = "GET";
    hop.body.clear();
    hop.sendsBody = false;
    RemoveHeaderLines(hop.headerLines, {"Content-Type", "Content-Length"});
  }
}

}  // namespace quorvane::redirect_rules
