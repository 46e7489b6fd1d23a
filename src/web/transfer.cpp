#include "web/transfer.h"

#include "web/cookie_store.h"
#include "web/curl_support.h"

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

std::string TransferUrl(const ComposedRequest& request) {
  return (request.https ? "https://" : "http://") + request.host + EscapeUrlBytes(request.path, true);
}

TransferResult TransferRequest(const ComposedRequest& request, const std::atomic<bool>& abort,
                               std::size_t bodyCap) {
  // Port 0 means the scheme's own port, as it always has; other ports out of range
  // cannot be connected to at all.
  if (!request.sendsRequest || request.port < 0 || request.port > 65535) {
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

  const std::string url = TransferUrl(request);
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_PORT, static_cast<long>(request.port));
  // Any byte in the proxy field means "through a proxy".
  const std::string proxy = request.proxy.empty() ? std::string() : "http://" + request.proxy;
  curl_easy_setopt(handle, CURLOPT_PROXY, proxy.c_str());

  const std::vector<std::string> lines = HeaderLines(request.headerText);
  // A User-Agent line of the caller goes out as it stands, in its place.
  if (!HasHeaderLine(lines, "User-Agent")) {
    curl_easy_setopt(handle, CURLOPT_USERAGENT, request.userAgent.c_str());
  }
  std::vector<std::string> suppressed = {"Expect"};
  if (!HasHeaderLine(lines, "Accept")) {
    suppressed.emplace_back("Accept");
  }
  if (request.method == "POST" && !request.sendsBody) {
    suppressed.emplace_back("Content-Type");
    suppressed.emplace_back("Content-Length");
  }
  const HeaderList headers = MakeHeaderList(lines, suppressed);
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());

  SetMethodAndBody(handle, request.method, request.body, request.sendsBody);

  // The request flags' effects: a secure request follows redirects and uses the
  // cookie store whatever else was asked, and is not redirected to plain HTTP; a plain
  // one may be redirected to HTTPS. Reload and need-file concern a cache we do not have.
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, request.FollowsRedirects() ? 1L : 0L);
  curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, request.https ? "https" : "http,https");
  if (request.UsesCookieStore()) {
    CookieStore::Process().Attach(handle);
  }

  curl_easy_perform(handle);

  if (!request.UsesCookieStore()) {
    CookieStore::Process().StoreFromHeaders(request.host, collector.result.responseHeaders);
  }
  return std::move(collector.result);
}

}  // namespace quorvane
