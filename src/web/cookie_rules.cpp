#include "web/cookie_rules.h"

#include "util/text_pieces.h"
#include "util/text_search.h"
#include "web/http_date.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

namespace quorvane {
namespace {

// An address rather than a name: its last label is a number, or it is IPv6.
bool IsAddressHost(std::string_view host) {
  const std::size_t dot = host.rfind('.');
  const std::string_view last = dot == std::string_view::npos ? host : host.substr(dot + 1);
  return host.find(':') != std::string_view::npos ||
         (!last.empty() && std::all_of(last.begin(), last.end(), [](char c) { return c >= '0' && c <= '9'; }));
}

// Whether a cookie from `host` may name `domain` (both in lower case): the host itself,
// or, for a host name, a parent domain of it that is more than a top-level name.
bool DomainMatches(std::string_view host, std::string_view domain) {
  if (host == domain) {
    return true;
  }
  return !IsAddressHost(host) && domain.find('.') != std::string_view::npos && host.size() > domain.size() &&
         host.ends_with(domain) && host[host.size() - domain.size() - 1] == '.';
}

// Max-Age in seconds: an optional minus sign and digits, nothing else; no value when
// it cannot be read, so the attribute is ignored.
std::optional<long long> MaxAgeSeconds(std::string_view text) {
  const std::string_view digits = text.starts_with('-') ? text.substr(1) : text;
  if (digits.empty() || digits.size() > 18 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  const long long magnitude = std::atoll(std::string(digits).c_str());
  return text.starts_with('-') ? -magnitude : magnitude;
}

}  // namespace

std::optional<std::string> CookieFileLine(std::string_view host, std::string_view cookie) {
  const std::size_t nameEnd = FindTextOffset(cookie, "=");
  const bool named = nameEnd != std::string_view::npos;
  const std::string_view name = named ? cookie.substr(0, nameEnd) : std::string_view();
  const std::string_view data = named ? cookie.substr(nameEnd + 1) : cookie;
  const std::vector<std::string> parts = SplitText(data, ";");
  const std::string value = parts.empty() ? std::string() : parts[0];
  std::string domain(host);
  bool domainWide = false;
  std::string path = "/";
  bool secure = false;
  std::optional<long long> expires;  // none: a session cookie
  std::optional<long long> maxAge;
  for (std::size_t i = 1; i < parts.size(); ++i) {
    const std::string attribute = TrimText(parts[i]);
    const std::size_t equals = attribute.find('=');
    const std::string key = LowerCaseText(TrimText(attribute.substr(0, equals)));
    const std::string argument = equals == std::string::npos ? "" : TrimText(attribute.substr(equals + 1));
    if (key == "domain" && !argument.empty()) {
      domain = LowerCaseText(argument.front() == '.' ? argument.substr(1) : argument);
      domainWide = true;
    } else if (key == "path" && !argument.empty()) {
      path = argument;
    } else if (key == "secure") {
      secure = true;
    } else if (key == "expires") {
      // A date that cannot be read leaves the cookie a session cookie.
      if (const std::optional<long long> when = ParseHttpDate(argument)) {
        expires = *when > 0 ? *when : 1;
      }
    } else if (key == "max-age") {
      if (const std::optional<long long> seconds = MaxAgeSeconds(argument)) {
        maxAge = seconds;
      }
    }
  }
  if (domainWide && !DomainMatches(host, domain)) {
    return std::nullopt;
  }
  // An address is matched only by itself.
  domainWide = domainWide && !IsAddressHost(host);
  // Max-Age wins over Expires; zero or less removes the cookie.
  if (maxAge) {
    expires = *maxAge > 0 ? static_cast<long long>(std::time(nullptr)) + *maxAge : 1;
  }
  return (domainWide ? "." : "") + domain + (domainWide ? "\tTRUE\t" : "\tFALSE\t") + path +
         (secure ? "\tTRUE\t" : "\tFALSE\t") + std::to_string(expires.value_or(0)) + "\t" + std::string(name) +
         "\t" + value;
}

}  // namespace quorvane
