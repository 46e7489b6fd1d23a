#include "web/transfer.h"

#include "web/wire_transfer.h"

#include <algorithm>

namespace quorvane {

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

bool IsTransferable(const ComposedRequest& request) {
  // Port 0 means the scheme's own port, as it always has; other ports out of range
  // cannot be connected to at all, and a host read otherwise is refused.
  return request.sendsRequest && request.port >= 0 && request.port <= 65535 && IsPlainHost(request.host);
}

WireRequest WireRequestFor(const ComposedRequest& request) {
  WireRequest wire;
  wire.url = TransferUrl(request);
  wire.port = request.port;
  // The caller's lines go out as they stand, in their order, a User-Agent line too.
  wire.headerLines = HeaderLines(request.headerText);
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
  return wire;
}

WireOptions WireOptionsFor(const ComposedRequest& request) {
  // The request flags' effects: a secure request follows redirects and uses the
  // cookie store whatever else was asked, and is not redirected to plain HTTP; a plain
  // one may be redirected to HTTPS. Reload and need-file concern a cache we do not have.
  WireOptions options;
  options.follow = request.FollowsRedirects();
  options.keepsHttps = request.https;
  options.cookieStore = request.UsesCookieStore();
  // Any byte in the proxy field means "through a proxy".
  options.proxy = request.proxy;
  options.userAgent = request.userAgent;
  return options;
}

}  // namespace quorvane
