#include "web/transfer.h"

#include <algorithm>

// The address rules of the transfer that every platform's adapter shares.
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
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || byte >= 0x80;
  });
}

std::string TransferUrl(const ComposedRequest& request) {
  return (request.https ? "https://" : "http://") + request.host + EscapeUrlBytes(request.path, true);
}

}  // namespace quorvane
