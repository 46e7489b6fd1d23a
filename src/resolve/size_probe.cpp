#include "resolve/size_probe.h"

#include "resolve/number_rules.h"
#include "web/curl_support.h"
#include "web/detached_worker.h"

#include <curl/curl.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

namespace quorvane {
namespace {

constexpr const char* kProbeUserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)";

struct ProbeOutcome {
  long status = 0;
  std::string contentLength;
  bool hasContentLength = false;
};

std::size_t DiscardBody(char*, std::size_t size, std::size_t count, void*) { return size * count; }

// The receive limit bounds each stretch of waiting for the answer, from the moment the
// request goes out until the answer's headers are complete; every header line that
// arrives starts a new stretch. Connecting to the next hop of a redirect is again
// bounded by the connect limit alone.
struct AnswerWatch {
  curl_support::TransferGuard guard;
  std::chrono::milliseconds receive{0};
  std::size_t headerBytes = 0;
};

int RequestGoingOut(void* user, char*, char*, int, int) {
  auto* watch = static_cast<AnswerWatch*>(user);
  watch->guard.stallLimit = watch->receive;
  watch->guard.lastMove = std::chrono::steady_clock::now();
  return CURL_PREREQFUNC_OK;
}

std::size_t HeaderArrived(char* data, std::size_t size, std::size_t count, void* user) {
  auto* watch = static_cast<AnswerWatch*>(user);
  const std::size_t length = size * count;
  watch->headerBytes += length;
  if (watch->headerBytes > curl_support::kHeaderCap) {
    return 0;  // headers without end come from no real server
  }
  watch->guard.lastMove = std::chrono::steady_clock::now();
  if (std::string_view(data, length) == "\r\n") {
    watch->guard.stallLimit = std::chrono::milliseconds(0);
  }
  return length;
}

// The request object's four phases map onto libcurl like this:
//   resolve + connect -> CURLOPT_CONNECTTIMEOUT_MS (libcurl counts the name lookup as part of connecting)
//   send + receive    -> the wait for the answer's headers, bounded by the receive limit
//                        (AnswerWatch); the request is a few hundred bytes that the socket
//                        takes at once, so the send limit never ends a probe before it
//   the sum of all four bounds the whole probe, as a last resort
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
  AnswerWatch watch;
  watch.receive = timeouts.receive;
  watch.guard.abort = &abort;
  curl_support::Guard(handle, watch.guard);
  curl_easy_setopt(handle, CURLOPT_PREREQFUNCTION, RequestGoingOut);
  curl_easy_setopt(handle, CURLOPT_PREREQDATA, &watch);
  curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, HeaderArrived);
  curl_easy_setopt(handle, CURLOPT_HEADERDATA, &watch);

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
