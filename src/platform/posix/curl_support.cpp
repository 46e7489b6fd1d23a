#include "platform/posix/curl_support.h"

#include <algorithm>
#include <mutex>

namespace quorvane::curl_support {
namespace {

std::size_t CollectBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* collector = static_cast<ResponseCollector*>(user);
  const std::size_t length = size * count;
  // Taking less than offered ends the transfer: the cap is reached.
  return AppendBody(collector->result.body, std::string_view(data, length), collector->bodyCap) ? length : 0;
}

// A redirect or an interim answer starts a new block with its status line, so only
// the final answer's headers remain. A block beyond the cap ends the transfer: a
// server sending headers without end would otherwise fill memory.
std::size_t CollectHeader(char* data, std::size_t size, std::size_t count, void* user) {
  auto* collector = static_cast<ResponseCollector*>(user);
  const std::size_t length = size * count;
  return AppendHeaderLine(collector->result.responseHeaders, std::string_view(data, length)) ? length : 0;
}

int CheckGuard(void* user, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded) {
  auto* guard = static_cast<TransferGuard*>(user);
  if (guard->abort != nullptr && guard->abort->load()) {
    return 1;
  }
  const auto now = std::chrono::steady_clock::now();
  if (downloaded + uploaded != guard->bytesMoved) {
    guard->bytesMoved = downloaded + uploaded;
    guard->lastMove = now;
  }
  return (guard->stallLimit.count() > 0 && now - guard->lastMove >= guard->stallLimit) ? 1 : 0;
}

}  // namespace

void EnsureCurlReady() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

EasyHandle NewEasyHandle() {
  EnsureCurlReady();
  EasyHandle easy(curl_easy_init());
  if (easy) {
    CURL* handle = easy.get();
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_PROXY, "");
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, static_cast<long>(kMaxRedirects));
    curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  }
  return easy;
}

void Guard(CURL* handle, TransferGuard& guard) {
  guard.lastMove = std::chrono::steady_clock::now();
  curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, CheckGuard);
  curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &guard);
  curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
}

void CollectResponse(CURL* handle, ResponseCollector& collector) {
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, CollectBody);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &collector);
  curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, CollectHeader);
  curl_easy_setopt(handle, CURLOPT_HEADERDATA, &collector);
  Guard(handle, collector.guard);
}

void SetMethodAndBody(CURL* handle, const std::string& method, const std::string& body, bool sendsBody) {
  // A method spelled otherwise from an earlier hop must not stay on the handle.
  curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, static_cast<const char*>(nullptr));
  if (method == "GET") {
    curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
    return;
  }
  curl_easy_setopt(handle, CURLOPT_POST, 1L);
  curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(sendsBody ? body.size() : 0));
  curl_easy_setopt(handle, CURLOPT_POSTFIELDS, sendsBody ? body.data() : "");
  if (method != "POST") {
    curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, method.c_str());
  }
}

HeaderList MakeHeaderList(const std::vector<std::string>& lines, const std::vector<std::string>& suppressed) {
  curl_slist* list = nullptr;
  auto add = [&list](const std::string& line) {
    if (curl_slist* grown = curl_slist_append(list, line.c_str()); grown != nullptr) {
      list = grown;
    }
  };
  for (const std::string& line : lines) {
    add(line);
  }
  for (const std::string& name : suppressed) {
    add(name + ":");
  }
  return HeaderList(list);
}

}  // namespace quorvane::curl_support
