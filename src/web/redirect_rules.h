#pragma once

#include <string>
#include <string_view>
#include <vector>

// How a transfer that follows redirects by hand changes its request from one hop to
// the next, as browsers do. Pure code, shared by the transfers of every platform.
namespace quorvane::redirect_rules {

// Longer chains end with no body: they are loops.
inline constexpr int kMaxRedirects = 30;

// One hop of a request: what may change when a redirect is followed.
struct Hop {
  std::string method;
  std::vector<std::string> headerLines;  // sent in this order
  std::string body;
  bool sendsBody = false;
};

// The non-empty lines of a header text whose lines end in "\r\n".
std::vector<std::string> HeaderLines(std::string_view headerText);

// Whether a line names `name` (letter case ignored) before its colon.
bool NamesHeader(std::string_view line, std::string_view name);

// 301, 302, 303, 307 and 308 are followed; other answers are final.
bool IsFollowedRedirect(long status);

// Whether a redirect with `status` turns a request sent with `method` into a GET
// without body: a 303 always, a 301 or 302 after a POST.
bool BecomesGet(long status, std::string_view method);

// The hop after a redirect with `status`: a GET without body and without its
// Content-Type and Content-Length lines where BecomesGet says so, the same method and
// body otherwise; Cookie and Authorization lines never go to another origin.
void FollowRedirect(long status, bool sameOrigin, Hop& hop);

}  // namespace quorvane::redirect_rules
