#include "web/transfer.h"

#include "web/cookie_store.h"
#include "web/curl_support.h"

#include <algorithm>

namespace quorvane {

using namespace curl_support;

std::string EscapeUrlBytes(std::string_view bytes, bool escapeHash) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url;
  url.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F || (escapeHash && c == '#')) {
      url += '%';
      url += kHex[byte >> 4];
      url += kHex[byte & 0x0F];
    } else {
      url += c;
    }
  }
  return url;
}

bool IsPlainHost(std::string_view host) {
  return !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || byte >= 0x80;
  });
}

std::string TransferUrl(const ComposedRequest& request) {
  return (request.https ? "https://" : "http://") + request.host + EscapeUrlBytes(request.path, true);
}

TransferResult TransferRequest(const ComposedRequest& request, const std::atomic<bool>& abort,
                               std::size_t bodyCap) {
  // Port 0 means the scheme's own port, as it always has; other ports out of range
  // cannot be connected to at all, and a host libcurl would read otherwise is refused.
  if (!request.sendsRequest || request.port < 0 || request.port > 65535 || !IsPlainHost(request.host)) {
    return {};
  }
  const EasyHandle easy = NewEasyHandle();
  if (!easy) {
    return {};
  }
  CURL* handle = easy.get();
  ResponseCollector collector;
  collector.bodyCap = bodyCap;
  collector.guard.abort = &abort;
  CollectResponse(handle, collector);

  WireRequest wire;
  wire.url = TransferUrl(request);
  wire.port = request.port;
  // Any byte in the proxy field means "through a proxy".
  const std::string proxy = request.proxy.empty() ? std::string() : "http://" + request.proxy;
  curl_easy_setopt(handle, CURLOPT_PROXY, proxy.c_str());

  wire.headerLines = HeaderLines(request.headerText);
  // A User-Agent line of the caller goes out as it stands, in its place.
  if (!HasHeaderLine(wire.headerLines, "User-Agent")) {
    curl_easy_setopt(handle, CURLOPT_USERAGENT, request.userAgent.c_str());
  }
  wire.suppressed = {"Expect"};
  if (!HasHeaderLine(wire.headerLines, "Accept")) {
    wire.suppressed.emplace_back("Accept");
  }
  if (request.method == "POST" && !request.sendsBody) {
    wire.suppressed.emplace_back("Content-Type");
    wire.suppressed.emplace_back("Content-Length");
  }
  wire.method = request.method;
  wire.body = request.body;
  wire.sendsBody = request.sendsBody;

  // The request flags' effects: a secure request follows redirects and uses the
  // cookie store whatever else was asked, and is not redirected to plain HTTP; a plain
  // one may be redirected to HTTPS. Reload and need-file concern a cache we do not have.
  if (request.UsesCookieStore()) {
    CookieStore::Process().Attach(handle);
  }
  PerformRequest(handle, std::move(wire), request.FollowsRedirects(), request.https ? "https" : "http,https",
                 collector);

  if (!request.UsesCookieStore()) {
    // Kept for the host that gave the final answer, which a redirect may have changed.
    char* finalUrl = nullptr;
    curl_easy_getinfo(handle, CURLINFO_EFFECTIVE_URL, &finalUrl);
    CookieStore::Process().StoreFromHeaders(UrlHostOf(finalUrl), collector.result.responseHeaders);
  }
  return std::move(collector.result);
}

}  // namespace quorvane
