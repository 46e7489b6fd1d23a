#pragma once

#include <atomic>
#include <chrono>
#include <optional>
#include <string>

namespace quorvane {

// The file-hosting service's pages are read with their own small client: plain HTTP,
// a fixed user agent, its own time-outs, and the process's cookie store.
inline constexpr const char* kHostingUserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

struct HostingRequest {
  std::string address;                // "http://" (any case), host, optional ":port", optional path
  std::string method;                 // becomes "GET" unless it is POST in some letter case
  std::optional<std::string> proxy;   // host:port of an HTTP proxy
  std::string headers;                // extra lines ending in "\r\n"; the defaults are appended
  std::string body;                   // form body of a POST
};

// How long connecting, and each stretch of sending or receiving without progress, may take.
struct HostingTimeouts {
  std::chrono::milliseconds connect{18000};
  std::chrono::milliseconds sendAndReceive{18000};
};

// The host, port and path the client reads from an address.
struct HostingAddress {
  std::string host;
  int port = 80;
  std::string path;
};
HostingAddress ParseHostingAddress(const std::string& address);

// One synchronous request on the calling thread; the raw body, whatever the status,
// or empty when the request could not be made. `request.method` and
// `request.headers` come back as they were sent.
// `abort`, when given and set, ends the request early (the program is closing).
std::string HostingPageAccess(HostingRequest& request, std::string* responseHeaders = nullptr,
                              const HostingTimeouts& timeouts = {}, const std::atomic<bool>* abort = nullptr);

}  // namespace quorvane
