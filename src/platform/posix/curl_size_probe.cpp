#include "platform/posix/curl_support.h"
#include "resolve/probe_request.h"

#include <chrono>

namespace quorvane {
namespace {

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
}  // namespace

ProbeAnswer SendProbeRequest(const std::string& address, const ProbeTimeouts& timeouts,
                             const std::atomic<bool>& abort) {
  ProbeAnswer outcome;
  const curl_support::EasyHandle easy = curl_support::NewEasyHandle();
  if (!easy) {
    return outcome;
  }
  CURL* handle = easy.get();
  const curl_support::HeaderList headers =
      curl_support::MakeHeaderList({kProbeHeaderLines.begin(), kProbeHeaderLines.end()}, {});

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
    return outcome;
  }
  if (result != CURLE_OK) {
    return outcome;  // a failed request reads as status 0
  }
  outcome.status = status;
  curl_header* header = nullptr;
  if (curl_easy_header(handle, "Content-Length", 0, CURLH_HEADER, -1, &header) == CURLHE_OK) {
    outcome.hasContentLength = true;
    outcome.contentLength = header->value;
  }
  return outcome;
}

}  // namespace quorvane
