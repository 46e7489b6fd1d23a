#pragma once

#include "web/http_rules.h"
#include "web/request_record.h"
#include "web/transfer.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>

namespace quorvane {

// How one transfer of a wire request is carried out and bounded.
struct WireOptions {
  bool follow = false;        // redirects followed one hop at a time, as RedirectRequest says
  bool plainHttpOnly = false;  // HTTPS neither asked for nor redirected to
  bool keepsHttps = false;     // a redirect may not leave HTTPS for plain HTTP
  bool cookieStore = false;    // the process's cookie store sends and keeps cookies
  std::string proxy;           // host:port; empty: a direct connection
  std::string userAgent;       // sent unless a header line names one; empty: none
  std::chrono::milliseconds connectLimit{0};  // zero: the library's own
  std::chrono::milliseconds stallLimit{0};    // no byte moving either way this long ends it; zero: none
  std::chrono::milliseconds totalLimit{0};    // zero: none
  std::size_t bodyCap = kBodyCap;
  const std::atomic<bool>* abort = nullptr;   // ends the transfer once set
};

struct WireOutcome {
  TransferResult result;  // the final answer's body (up to the cap) and raw headers
  long status = 0;        // the final answer's status; 0 without one
  bool completed = false;  // the transfer ran to its end without a failure
  std::string finalUrl;    // the address of the final answer
};

// Carries out `request` with the platform's HTTP library. A chain of more than
// kMaxRedirects redirects ends with no body.
WireOutcome TransferWire(WireRequest request, const WireOptions& options);

// Whether a composed request can go out at all: it sends one, its port is one a
// connection can use (0: the scheme's), and its host is read as a host and nothing else.
bool IsTransferable(const ComposedRequest& request);

// The wire request and options for a composed request; the caller adds the bounds.
WireRequest WireRequestFor(const ComposedRequest& request);
WireOptions WireOptionsFor(const ComposedRequest& request);

}  // namespace quorvane
