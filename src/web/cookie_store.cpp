#include "web/cookie_store.h"

#include "util/text_pieces.h"
#include "util/text_search.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <optional>

namespace quorvane {
namespace {

std::array<std::mutex, CURL_LOCK_DATA_LAST> shareLocks;

void LockShare(CURL*, curl_lock_data data, curl_lock_access, void*) {
  shareLocks[static_cast<std::size_t>(data)].lock();
}

void UnlockShare(CURL*, curl_lock_data data, void*) { shareLocks[static_cast<std::size_t>(data)].unlock(); }

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

// One received cookie as a Netscape cookie-file line for `host`: the value, and the
// domain, path, expiry and secure attributes that follow it. Nothing for a cookie that
// names a domain the host does not belong to.
std::optional<std::string> CookieFileLine(std::string_view host, std::string_view name, std::string_view data) {
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
      const time_t when = curl_getdate(argument.c_str(), nullptr);
      if (when != -1) {
        expires = when > 0 ? static_cast<long long>(when) : 1;
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

}  // namespace

void EnsureCurlReady() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

CookieStore& CookieStore::Process() {
  // Never destroyed: detached transfers may still hold the share at exit.
  static CookieStore* store = new CookieStore;
  return *store;
}

CookieStore::CookieStore() {
  EnsureCurlReady();
  share_ = curl_share_init();
  curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, LockShare);
  curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, UnlockShare);
  curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
}

void CookieStore::Attach(CURL* handle) {
  curl_easy_setopt(handle, CURLOPT_SHARE, share_);
  // An empty file name turns the cookie engine on without reading any file.
  curl_easy_setopt(handle, CURLOPT_COOKIEFILE, "");
}

void CookieStore::Apply(const char* command) {
  CURL* handle = curl_easy_init();
  if (handle == nullptr) {
    return;
  }
  Attach(handle);
  curl_easy_setopt(handle, CURLOPT_COOKIELIST, command);
  curl_easy_cleanup(handle);
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
    const std::string_view rest = std::string_view(line).substr(kSetCookie.size());
    const std::size_t equals = FindTextOffset(rest, "=");
    const std::string_view name = equals == std::string_view::npos ? std::string_view() : rest.substr(0, equals);
    const std::string_view data = equals == std::string_view::npos ? rest : rest.substr(equals + 1);
    if (const std::optional<std::string> cookie = CookieFileLine(host, name, data)) {
      Apply(cookie->c_str());
    }
  }
}

std::vector<std::string> CookieStore::Lines() {
  std::vector<std::string> lines;
  CURL* handle = curl_easy_init();
  if (handle == nullptr) {
    return lines;
  }
  Attach(handle);
  curl_slist* cookies = nullptr;
  curl_easy_getinfo(handle, CURLINFO_COOKIELIST, &cookies);
  for (curl_slist* item = cookies; item != nullptr; item = item->next) {
    lines.emplace_back(item->data);
  }
  curl_slist_free_all(cookies);
  curl_easy_cleanup(handle);
  return lines;
}

void CookieStore::Clear() { Apply("ALL"); }

}  // namespace quorvane
