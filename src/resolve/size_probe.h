#pragma once

#include "web/event_pump.h"

#include <cstdint>
#include <string_view>

namespace quorvane {

inline constexpr std::int64_t kProbeNoRequestObject = -2;
inline constexpr std::int64_t kProbeFailed = -1;

// The phases of a probe and how long each may take.
struct ProbeTimeouts {
  std::chrono::milliseconds resolve{5000};
  std::chrono::milliseconds connect{5000};
  std::chrono::milliseconds send{10000};
  std::chrono::milliseconds receive{5000};
};

// The size of the file at `address` from the Content-Length of a HEAD request, 64-bit.
// kProbeFailed for any status but 200 and for every failure; 0 when the answer has
// no usable Content-Length. Waits through `pump` (the program's pump when null), so
// a window stays responsive.
std::int64_t ProbeFileSize(std::string_view address, EventPump* pump = nullptr,
                           const ProbeTimeouts& timeouts = {});

}  // namespace quorvane
