#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The HTTP rules every client of the program follows, whatever library carries the bytes.
namespace quorvane {

// Header blocks beyond this end the transfer; they come from no real server.
inline constexpr std::size_t kHeaderCap = 1u << 20;

inline constexpr int kMaxRedirects = 30;

// A request as it goes on the wire. Following a redirect may change its address,
// method, body and lines.
struct WireRequest {
  std::string url;
  long port = 0;  // replaces the address's port on the first hop; 0 keeps it
  std::string method;
  std::vector<std::string> headerLines;  // sent in this order
  std::vector<std::string> suppressed;   // names of the HTTP library's own headers kept out
  std::string body;
  bool sendsBody = false;
};

// The non-empty lines of a header text whose lines end in "\r\n".
std::vector<std::string> HeaderLines(std::string_view headerText);

// Whether a line names `name` (letter case ignored) before its colon.
bool HasHeaderLine(const std::vector<std::string>& lines, std::string_view name);

// The statuses whose Location is followed.
bool IsFollowedRedirect(long status);

// `request` turned into the request for its redirect to the absolute `location`, as
// browsers do: a 303, and a 301 or 302 after a POST, go on as a GET without the body
// and without its Content-Type and Content-Length lines; 307 and 308 repeat method and
// body. Cookie and Authorization lines never go to another origin. `port` is the port
// the request went to (0: its address's own).
void RedirectRequest(WireRequest& request, long status, const std::string& location, long port);

// Scheme, host and port of an absolute URL (`port` replacing its own when not 0), as one
// comparable text in lower case; empty when it names no host.
std::string UrlOrigin(std::string_view address, long port = 0);

// The host named by an absolute URL in lower case, or empty when it names none.
std::string UrlHostOf(std::string_view address);

// Adds one received header line to the raw block of the final answer: a status line
// starts a new block (a redirect or an interim answer came before). False, and nothing
// added, once the block would pass kHeaderCap.
bool AppendHeaderLine(std::string& headers, std::string_view line);

// Adds what fits of `data` to `body` below `cap`; false when some of it did not fit.
bool AppendBody(std::string& body, std::string_view data, std::size_t cap);

}  // namespace quorvane
