#include "platform/posix/curl_support.h"
#include "web/wire_transfer.h"

namespace quorvane {
namespace {

using namespace curl_support;

std::string EffectiveUrl(CURL* handle) {
  char* url = nullptr;
  curl_easy_getinfo(handle, CURLINFO_EFFECTIVE_URL, &url);
  return url != nullptr ? url : "";
}

// Sends `request` and, when `follow`, follows its redirects one hop at a time (libcurl's
// own following would not apply the program's rules to them).
void PerformRequest(CURL* handle, WireRequest request, bool follow, const char* redirectProtocols,
                    ResponseCollector& collector, WireOutcome& outcome) {
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
  for (int hop = 0;; ++hop) {
    const long port = hop == 0 ? request.port : 0L;
    curl_easy_setopt(handle, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(handle, CURLOPT_PORT, port);
    const HeaderList headers = MakeHeaderList(request.headerLines, request.suppressed);
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
    SetMethodAndBody(handle, request.method, request.body, request.sendsBody);
    collector.result.body.clear();  // a redirect's own body is not the answer

    const CURLcode result = curl_easy_perform(handle);
    char* location = nullptr;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &outcome.status);
    curl_easy_getinfo(handle, CURLINFO_REDIRECT_URL, &location);
    outcome.completed = result == CURLE_OK;
    if (result != CURLE_OK || !follow || !IsFollowedRedirect(outcome.status) || location == nullptr) {
      return;
    }
    if (hop == kMaxRedirects) {
      collector.result.body.clear();
      outcome.completed = false;
      return;
    }
    RedirectRequest(request, outcome.status, location, port);
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, redirectProtocols);
  }
}

}  // namespace

WireOutcome TransferWire(WireRequest request, const WireOptions& options) {
  WireOutcome outcome;
  const EasyHandle easy = NewEasyHandle();
  if (!easy) {
    return outcome;
  }
  CURL* handle = easy.get();
  ResponseCollector collector;
  collector.bodyCap = options.bodyCap;
  collector.guard.abort = options.abort;
  collector.guard.stallLimit = options.stallLimit;
  CollectResponse(handle, collector);

  if (options.plainHttpOnly) {
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http");
  }
  const std::string proxy = options.proxy.empty() ? std::string() : "http://" + options.proxy;
  curl_easy_setopt(handle, CURLOPT_PROXY, proxy.c_str());
  // A User-Agent line of the caller replaces this one.
  if (!options.userAgent.empty()) {
    curl_easy_setopt(handle, CURLOPT_USERAGENT, options.userAgent.c_str());
  }
  if (options.connectLimit.count() > 0) {
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.connectLimit.count()));
  }
  if (options.totalLimit.count() > 0) {
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(options.totalLimit.count()));
  }
  if (options.cookieStore) {
    AttachCookieStore(handle);
  }
  const char* redirectProtocols = options.plainHttpOnly ? "http" : options.keepsHttps ? "https" : "http,https";
  PerformRequest(handle, std::move(request), options.follow, redirectProtocols, collector, outcome);
  outcome.finalUrl = EffectiveUrl(handle);
  outcome.result = std::move(collector.result);
  return outcome;
}

}  // namespace quorvane
