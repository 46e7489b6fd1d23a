#include "resolve/size_probe.h"

#include "resolve/number_rules.h"
#include "resolve/probe_request.h"
#include "web/detached_worker.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

namespace quorvane {
namespace {

// The header value read as a number and truncated toward zero; anything that is not
// wholly a number gives 0.
std::int64_t ContentLengthValue(std::string_view value) {
  const std::optional<double> number = TextToNumber(value);
  if (!number || !std::isfinite(*number) || std::fabs(*number) >= 9.2e18) {
    return 0;
  }
  return static_cast<std::int64_t>(std::trunc(*number));
}

}  // namespace

std::int64_t ProbeFileSize(std::string_view address, EventPump* pump, const ProbeTimeouts& timeouts) {
  auto outcome = std::make_shared<ProbeAnswer>();
  const auto target = std::make_shared<const std::string>(address);
  const ProbeTimeouts limits = timeouts;
  // The phases bound the request; the extra second only covers thread start-up.
  const Clock::time_point deadline =
      Clock::now() + timeouts.resolve + timeouts.connect + timeouts.send + timeouts.receive + std::chrono::seconds(1);
  const bool inTime = RunDetached(
      [outcome, target, limits](const std::atomic<bool>& abort) { *outcome = SendProbeRequest(*target, limits, abort); },
      pump != nullptr ? *pump : CurrentEventPump(), deadline);
  if (!inTime || outcome->status != 200) {
    return kProbeFailed;
  }
  return outcome->hasContentLength ? ContentLengthValue(outcome->contentLength) : 0;
}

}  // namespace quorvane
