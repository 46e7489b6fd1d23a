#pragma once

#include "web/event_pump.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

inline constexpr std::chrono::milliseconds kDefaultWebTimeout{60000};

// Everything WebAccess takes besides the address; each member left as it is behaves
// as the parameter omitted.
struct WebAccessOptions {
  int method = 0;          // 1 sends a POST, any other value a GET
  std::string proxy;       // host:port; empty for a direct connection
  std::string headers;     // extra header lines, each ending in "\r\n"
  std::string body;        // sent with a POST
  std::string cookies;     // value for a "Cookie: " header
  std::optional<std::chrono::milliseconds> timeout;  // wall clock; omitted: 60 s; zero times out at once
  std::string* responseHeaders = nullptr;            // receives the raw headers when the request ends in time
  int conversion = 0;      // 1: the body is UTF-8, 2: Big5; converted to GBK
  EventPump* pump = nullptr;  // how to wait; the program's current pump when null
};

// The time-out message (GBK) that takes the place of the body when the wall clock runs out.
const std::string& WebTimeoutMessage();

// One request on a worker thread while the caller's events keep flowing. The result is
// the body (converted when asked), the time-out message, or empty for a blank address
// and for any failure.
std::string WebAccess(std::string_view address, const WebAccessOptions& options = {});

// A GET with the defaults, its result read as text (up to its first zero byte).
std::string FetchText(std::string_view address);

}  // namespace quorvane
