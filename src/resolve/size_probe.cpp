#include "resolve/size_probe.h"

#include "resolve/number_rules.h"
#include "web/curl_support.h"
#include "web/detached_worker.h"

#include <curl/curl.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>

namespace quorvane {
namespace {

constexpr const char* kProbeUserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)";

struct ProbeOutcome {
  long status = 0;
  std::string contentLength;
  bool hasContentLength = false;
};

std::size_t DiscardBody(char*, std::size_t size, std::size_t count, void*) { return size * count; }

// The request object's four phases map onto libcurl like this:
//   resolve + connect -> CURLOPT_CONNECTTIMEOUT_MS (libcurl counts the name lookup as part of connecting)
//   send + receive    -> a HEAD moves no body bytes that a stall check could watch, so the two are
//                        bounded together: CURLOPT_TIMEOUT_MS is the sum of all four phases
void ProbeOnWorker(const std::string& address, const ProbeTimeouts& timeouts, const std::atomic<bool>& abort,
                   ProbeOutcome& outcome) {
  const curl_support::EasyHandle easy = curl_support::NewEasyHandle();
  if (!easy) {
    return;
  }
  CURL* handle = easy.get();
  const curl_support::HeaderList headers =
      curl_support::MakeHeaderList({"Accept-Language: zh-cn", "Connection: Keep-Alive"}, {});

  curl_easy_setopt(handle, CURLOPT_URL, address.c_str());
  curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(handle, CURLOPT_USERAGENT, kProbeUserAgent);
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>((timeouts.resolve + timeouts.connect).count()));
  curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS,
                   static_cast<long>((timeouts.resolve + timeouts.connect + timeouts.send + timeouts.receive).count()));
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, DiscardBody);
  curl_support::TransferGuard guard;
  guard.abort = &abort;
  curl_support::Guard(handle, guard);
  std::size_t headerBytes = 0;
  curl_support::LimitHeaders(handle, headerBytes);

  const CURLcode result = curl_easy_perform(handle);
  long status = 0;
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
  if (result == CURLE_WEIRD_SERVER_REPLY && status == 200) {
    // libcurl refuses a Content-Length that is no number; the answer itself was a 200.
    outcome.status = status;
    return;
  }
  if (result != CURLE_OK) {
    return;  // a failed request reads as status 0
  }
  outcome.status = status;
  curl_header* header = nullptr;
  if (curl_easy_header(handle, "Content-Length", 0, CURLH_HEADER, -1, &header) == CURLHE_OK) {
    outcome.hasContentLength = true;
    outcome.contentLength = header->value;
  }
}

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
  auto outcome = std::make_shared<ProbeOutcome>();
  const auto target = std::make_shared<const std::string>(address);
  const ProbeTimeouts limits = timeouts;
  // The phases bound the request; the extra second only covers thread start-up.
  const Clock::time_point deadline =
      Clock::now() + timeouts.resolve + timeouts.connect + timeouts.send + timeouts.receive + std::chrono::seconds(1);
  const bool inTime = RunDetached(
      [outcome, target, limits](const std::atomic<bool>& abort) { ProbeOnWorker(*target, limits, abort, *outcome); },
      pump != nullptr ? *pump : CurrentEventPump(), deadline);
  if (!inTime || outcome->status != 200) {
    return kProbeFailed;
  }
  return outcome->hasContentLength ? ContentLengthValue(outcome->contentLength) : 0;
}

}  // namespace quorvane
