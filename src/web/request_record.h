#pragma once

#include <string>

namespace quorvane {

// One request of the main HTTP client as the caller hands it to the worker, and
// the two results the worker hands back.
struct RequestRecord {
  std::string address;      // the URL exactly as passed
  std::string method;       // "POST" or "GET"
  std::string proxy;        // host:port; empty for a direct connection
  std::string headers;      // extra header lines, each ending in "\r\n"
  std::string body;         // sent with a POST
  std::string cookies;      // value for a "Cookie: " header; non-blank bypasses the cookie store
  bool followRedirects = true;
};

struct TransferResult {
  std::string body;             // every byte read, up to the body cap
  std::string responseHeaders;  // raw headers of the final answer, status line first
};

}  // namespace quorvane
