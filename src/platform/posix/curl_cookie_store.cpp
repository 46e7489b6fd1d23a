#include "platform/posix/curl_support.h"
#include "web/cookie_store.h"

#include <array>
#include <mutex>

namespace quorvane {
namespace {

std::array<std::mutex, CURL_LOCK_DATA_LAST> shareLocks;

void LockShare(CURL*, curl_lock_data data, curl_lock_access, void*) {
  shareLocks[static_cast<std::size_t>(data)].lock();
}

void UnlockShare(CURL*, curl_lock_data data, void*) { shareLocks[static_cast<std::size_t>(data)].unlock(); }

// One libcurl share handle holds the cookies; it guards itself with the locks above.
// Never cleaned up: detached transfers may still hold it at exit.
CURLSH* CookieShare() {
  static CURLSH* const share = [] {
    curl_support::EnsureCurlReady();
    CURLSH* made = curl_share_init();
    curl_share_setopt(made, CURLSHOPT_LOCKFUNC, LockShare);
    curl_share_setopt(made, CURLSHOPT_UNLOCKFUNC, UnlockShare);
    curl_share_setopt(made, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    return made;
  }();
  return share;
}

void ApplyCookieCommand(const char* command) {
  const curl_support::EasyHandle handle(curl_easy_init());
  if (!handle) {
    return;
  }
  curl_support::AttachCookieStore(handle.get());
  curl_easy_setopt(handle.get(), CURLOPT_COOKIELIST, command);
}

}  // namespace

void curl_support::AttachCookieStore(CURL* handle) {
  curl_easy_setopt(handle, CURLOPT_SHARE, CookieShare());
  // An empty file name turns the cookie engine on without reading any file.
  curl_easy_setopt(handle, CURLOPT_COOKIEFILE, "");
}

void CookieStore::Store(const std::string& cookieFileLine) { ApplyCookieCommand(cookieFileLine.c_str()); }

std::vector<std::string> CookieStore::Lines() {
  std::vector<std::string> lines;
  const curl_support::EasyHandle handle(curl_easy_init());
  if (!handle) {
    return lines;
  }
  curl_support::AttachCookieStore(handle.get());
  curl_slist* cookies = nullptr;
  curl_easy_getinfo(handle.get(), CURLINFO_COOKIELIST, &cookies);
  for (curl_slist* item = cookies; item != nullptr; item = item->next) {
    lines.emplace_back(item->data);
  }
  curl_slist_free_all(cookies);
  return lines;
}

void CookieStore::Clear() { ApplyCookieCommand("ALL"); }

}  // namespace quorvane
