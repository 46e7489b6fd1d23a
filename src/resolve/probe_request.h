#pragma once

#include "resolve/size_probe.h"

#include <array>
#include <atomic>
#include <string>
#include <string_view>

namespace quorvane {

inline constexpr const char* kProbeUserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)";
inline constexpr std::array<std::string_view, 2> kProbeHeaderLines = {"Accept-Language: zh-cn",
                                                                      "Connection: Keep-Alive"};

// What the HEAD request of a size probe brought back.
struct ProbeAnswer {
  long status = 0;  // 0: no answer
  bool hasContentLength = false;
  std::string contentLength;  // the header's value as sent
};

// The HEAD request for `address` with the probe's agent and lines, following redirects,
// over the platform's HTTP library, on the calling thread: each phase bounded by its
// time-out, the whole by their sum, and ended early once `abort` is set. A 200 whose
// Content-Length the library refuses reads as a 200 without one.
ProbeAnswer SendProbeRequest(const std::string& address, const ProbeTimeouts& timeouts,
                             const std::atomic<bool>& abort);

}  // namespace quorvane
