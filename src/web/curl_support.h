#pragma once

#include "web/request_record.h"

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The pieces every libcurl transfer of the program shares.
namespace quorvane::curl_support {

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

// Ends a transfer once `abort` is set or (with a stall limit) no byte has moved
// either way for that long.
struct TransferGuard {
  const std::atomic<bool>* abort = nullptr;
  std::chrono::milliseconds stallLimit{0};  // zero: no limit
  curl_off_t bytesMoved = -1;
  std::chrono::steady_clock::time_point lastMove;
};
void Guard(CURL* handle, TransferGuard& guard);

// Header blocks beyond this end the transfer; they come from no real server.
inline constexpr std::size_t kHeaderCap = 1u << 20;

// Collects the body (up to `bodyCap`) and the raw header block of the final answer;
// headers beyond kHeaderCap end the transfer.
struct ResponseCollector {
  TransferResult result;
  std::size_t bodyCap = 0;
  TransferGuard guard;
};
void CollectResponse(CURL* handle, ResponseCollector& collector);

// The non-empty lines of a header text whose lines end in "\r\n".
std::vector<std::string> HeaderLines(std::string_view headerText);

// Whether a line names `name` (letter case ignored) before its colon.
bool HasHeaderLine(const std::vector<std::string>& lines, std::string_view name);

// A GET, or a POST carrying `body` (nothing when `sendsBody` is false). A POST method
// spelled otherwise ("post") goes out as spelled.
void SetMethodAndBody(CURL* handle, const std::string& method, const std::string& body, bool sendsBody);

// The lines in their order, then `suppressed` as "Name:" entries, which keep libcurl
// from adding headers of its own by those names.
HeaderList MakeHeaderList(const std::vector<std::string>& lines, const std::vector<std::string>& suppressed);

// A request as it goes on the wire. Following a redirect may change its address,
// method, body and lines.
struct WireRequest {
  std::string url;
  long port = 0;  // replaces the address's port on the first hop; 0 keeps it
  std::string method;
  std::vector<std::string> headerLines;  // sent in this order
  std::vector<std::string> suppressed;   // names of libcurl's own headers kept out
  std::string body;
  bool sendsBody = false;
};

inline constexpr int kMaxRedirects = 30;

// Sends `request` and, when `follow`, follows its redirects one hop at a time as
// browsers do: a 303, and a 301 or 302 after a POST, go on as a GET without the body
// and without its Content-Type and Content-Length lines; 307 and 308 repeat method and
// body. Cookie and Authorization lines never go to another origin. Redirects may lead
// only to `redirectProtocols` ("http,https"). The collector ends with the last
// answer's body and headers; a chain longer than kMaxRedirects ends with no body.
CURLcode PerformRequest(CURL* handle, WireRequest request, bool follow, const char* redirectProtocols,
                        ResponseCollector& collector);

// The host named by an absolute URL in lower case, or empty when it names none.
std::string UrlHostOf(const char* url);

}  // namespace quorvane::curl_support
