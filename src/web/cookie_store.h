#pragma once

#include <curl/curl.h>

#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

// Prepares libcurl once for the whole process; safe to call from any thread.
void EnsureCurlReady();

// The process-wide cookie store that both HTTP clients share: one libcurl share
// handle, guarded by its own locks so transfers on any thread may use it at once.
class CookieStore {
 public:
  static CookieStore& Process();

  // The transfer sends the store's cookies for its host and keeps those it receives.
  void Attach(CURL* handle);

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
  CookieStore();
  void Apply(const char* command);

  CURLSH* share_;
};

}  // namespace quorvane
