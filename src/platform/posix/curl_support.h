#pragma once

#include "web/http_rules.h"
#include "web/request_record.h"

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// The pieces every libcurl transfer of the program shares.
namespace quorvane::curl_support {

// The HTTP rules, by the names the libcurl transfers have always used for them.
using quorvane::HasHeaderLine;
using quorvane::HeaderLines;
using quorvane::kHeaderCap;
using quorvane::kMaxRedirects;
using quorvane::WireRequest;

// Prepares libcurl once for the whole process; safe to call from any thread.
void EnsureCurlReady();

struct EasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, SlistDeleter>;

// A handle for one transfer on any thread: no signals, no proxy from the environment,
// HTTP and HTTPS only (also after redirects).
EasyHandle NewEasyHandle();

// The transfer sends the process's cookies for its host and keeps those it receives.
void AttachCookieStore(CURL* handle);

// Ends a transfer once `abort` is set or (with a stall limit) no byte has moved
// either way for that long.
struct TransferGuard {
  const std::atomic<bool>* abort = nullptr;
  std::chrono::milliseconds stallLimit{0};  // zero: no limit
  curl_off_t bytesMoved = -1;
  std::chrono::steady_clock::time_point lastMove;
};
void Guard(CURL* handle, TransferGuard& guard);

// Collects the body (up to `bodyCap`) and the raw header block of the final answer;
// headers beyond kHeaderCap end the transfer.
struct ResponseCollector {
  TransferResult result;
  std::size_t bodyCap = 0;
  TransferGuard guard;
};
void CollectResponse(CURL* handle, ResponseCollector& collector);

// A GET, or a POST carrying `body` (nothing when `sendsBody` is false). A POST method
// spelled otherwise ("post") goes out as spelled.
void SetMethodAndBody(CURL* handle, const std::string& method, const std::string& body, bool sendsBody);

// The lines in their order, then `suppressed` as "Name:" entries, which keep libcurl
// from adding headers of its own by those names.
HeaderList MakeHeaderList(const std::vector<std::string>& lines, const std::vector<std::string>& suppressed);

}  // namespace quorvane::curl_support
