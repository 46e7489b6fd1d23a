#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

// The process-wide cookie store that both HTTP clients share: the platform's own (one
// libcurl share handle on Linux), usable from transfers on any thread at once.
class CookieStore {
 public:
  static CookieStore& Process();

  // Keeps the "Set-Cookie: " lines of a raw header block for "http://" + host, for
  // transfers that did not use the store. A cookie whose Domain the host does not
  // belong to is dropped, as browsers do; one whose expiry cannot be read lasts the
  // session.
  void StoreFromHeaders(std::string_view host, std::string_view rawHeaders);

  // Every cookie held, one Netscape cookie-file line each.
  std::vector<std::string> Lines();

  void Clear();

  CookieStore(const CookieStore&) = delete;
  CookieStore& operator=(const CookieStore&) = delete;

 private:
  CookieStore() = default;
  // Keeps one cookie given as a Netscape cookie-file line.
  void Store(const std::string& cookieFileLine);
};

}  // namespace quorvane
