#include "web/cookie_store.h"

#include "util/text_pieces.h"
#include "util/text_search.h"
#include "web/cookie_rules.h"

namespace quorvane {

CookieStore& CookieStore::Process() {
  // Never destroyed: detached transfers may still use the store at exit.
  static CookieStore* store = new CookieStore;
  return *store;
}

void CookieStore::StoreFromHeaders(std::string_view host, std::string_view rawHeaders) {
  constexpr std::string_view kSetCookie = "Set-Cookie: ";
  if (host.empty() || FindText(rawHeaders, kSetCookie, 1, true) == kNotFound) {
    return;
  }
  for (const std::string& line : SplitText(rawHeaders, "\r\n")) {
    if (FindText(line, kSetCookie, 1, true) == kNotFound || line.size() < kSetCookie.size()) {
      continue;
    }
    if (const std::optional<std::string> cookie = CookieFileLine(host, std::string_view(line).substr(kSetCookie.size()))) {
      Store(*cookie);
    }
  }
}

}  // namespace quorvane
