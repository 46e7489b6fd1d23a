#include "services/hosting_page_access.h"

#include "resolve/number_rules.h"
#include "util/text_pieces.h"
#include "util/text_search.h"
#include "web/transfer.h"
#include "web/wire_transfer.h"

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
  WireRequest wire;
  wire.url = TransferUrl(composed);
  wire.port = target.port;
  wire.suppressed = {"Expect"};
  if (post && !sendsBody) {
    wire.suppressed.emplace_back("Content-Type");
    wire.suppressed.emplace_back("Content-Length");
  }
  wire.headerLines = HeaderLines(request.headers);
  wire.method = request.method;
  wire.body = request.body;
  wire.sendsBody = sendsBody;

  WireOptions options;
  options.follow = true;
  options.plainHttpOnly = true;
  options.cookieStore = true;
  options.proxy = request.proxy.value_or("");
  options.userAgent = kHostingUserAgent;
  // Sending and receiving are bounded by progress: a stretch of the time-out with no
  // byte moving in either direction gives the request up.
  options.connectLimit = timeouts.connect;
  options.stallLimit = std::max(timeouts.connect, timeouts.sendAndReceive);
  options.abort = abort;
  WireOutcome outcome = TransferWire(std::move(wire), options);

  if (responseHeaders != nullptr) {
    *responseHeaders = outcome.result.responseHeaders;
  }
  return std::move(outcome.result.body);
}

}  // namespace quorvane
