#include "services/hosting_page_access.h"

#include "resolve/number_rules.h"
#include "util/text_pieces.h"
#include "util/text_search.h"
#include "web/cookie_store.h"
#include "web/curl_support.h"
#include "web/transfer.h"


namespace quorvane {
namespace {

constexpr std::string_view kHostingAcceptHeader =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";

bool ContainsIgnoringCase(std::string_view text, std::string_view word) { return ContainsText(text, word, true); }

}  // namespace

HostingAddress ParseHostingAddress(const std::string& address) {
  const std::string_view view(address);
  const bool prefixed = view.size() >= 7 && FindText(view.substr(0, 7), "http://", 1, true) == 1;
  const std::string_view hostPart = TextBefore(prefixed ? view.substr(7) : view, "/");

  HostingAddress parsed;
  parsed.host = LowerCaseText(TextBefore(hostPart, ":"));
  const std::size_t colon = FindTextOffset(hostPart, ":");
  parsed.port = colon == std::string_view::npos ? 80 : TextToInt(hostPart.substr(colon + 1));

  const std::int64_t hostPosition = FindText(view, parsed.host, 1, true);
  const std::int64_t slash = FindText(view, "/", hostPosition);
  parsed.path = slash == kNotFound ? "/" : std::string(view.substr(static_cast<std::size_t>(slash - 1)));
  return parsed;
}

std::string HostingPageAccess(HostingRequest& request, std::string* responseHeaders,
                              const HostingTimeouts& timeouts, const std::atomic<bool>* abort) {
  const HostingAddress target = ParseHostingAddress(request.address);
  if (target.port < 0 || target.port > 65535 || !IsPlainHost(target.host)) {
    return {};
  }
  const curl_support::EasyHandle easy = curl_support::NewEasyHandle();
  if (!easy) {
    return {};
  }
  CURL* handle = easy.get();

  if (LowerCaseText(request.method) != "post") {
    request.method = "GET";
  }
  if (!ContainsIgnoringCase(request.headers, "Accept: ")) {
    request.headers += kHostingAcceptHeader;
  }
  if (!ContainsIgnoringCase(request.headers, "Referer: ")) {
    request.headers += "Referer: " + request.address + "\r\n";
  }
  if (!ContainsIgnoringCase(request.headers, "Accept-Language: ")) {
    request.headers += "Accept-Language: zh-cn\r\n";
  }
  const bool post = request.method != "GET";
  const bool sendsBody = post && !request.body.empty();
  if (sendsBody) {
    request.headers += "Content-Type: application/x-www-form-urlencoded\r\n";
    request.headers += "Content-Length: " + std::to_string(request.body.size()) + "\r\n";
  }

  ComposedRequest composed;
  composed.host = target.host;
  composed.path = target.path;
  curl_support::WireRequest wire;
  wire.url = TransferUrl(composed);
  wire.port = target.port;
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http");
  const std::string proxy = request.proxy ? "http://" + *request.proxy : std::string();
  curl_easy_setopt(handle, CURLOPT_PROXY, proxy.c_str());
  curl_easy_setopt(handle, CURLOPT_USERAGENT, kHostingUserAgent);

  wire.suppressed = {"Expect"};
  if (post && !sendsBody) {
    wire.suppressed.emplace_back("Content-Type");
    wire.suppressed.emplace_back("Content-Length");
  }
  wire.headerLines = curl_support::HeaderLines(request.headers);
  wire.method = request.method;
  wire.body = request.body;
  wire.sendsBody = sendsBody;
  CookieStore::Process().Attach(handle);

  // Sending and receiving are bounded by progress: a stretch of the time-out with no
  // byte moving in either direction gives the request up.
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts.connect.count()));
  curl_support::ResponseCollector collector;
  collector.bodyCap = kBodyCap;
  collector.guard.stallLimit = std::max(timeouts.connect, timeouts.sendAndReceive);
  collector.guard.abort = abort;
  curl_support::CollectResponse(handle, collector);
  curl_support::PerformRequest(handle, std::move(wire), true, "http", collector);

  if (responseHeaders != nullptr) {
    *responseHeaders = collector.result.responseHeaders;
  }
  return std::move(collector.result.body);
}

}  // namespace quorvane
