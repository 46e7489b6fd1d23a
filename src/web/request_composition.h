#pragma once

#include "web/request_record.h"

#include <cstdint>
#include <string>
#include <string_view>

// How the main client turns a request record into what goes on the wire: the
// address split, the user agent, the request flags and the completed header text.
// Pure code, so every rule can be checked without a server.
namespace quorvane {

inline constexpr std::string_view kDefaultUserAgent =
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727; .NET CLR "
    "3.0.04506.648; .NET CLR 3.5.21022)";
inline constexpr std::string_view kDefaultAcceptHeader =
    "Accept: image/gif, image/bmp, image/x-xbitmap, image/jpeg, image/pjpeg, "
    "application/x-shockwave-flash, application/vnd.ms-excel, application/vnd.ms-powerpoint, "
    "application/msword, */*\r\n";

// The request flags, with the values the Windows Internet functions give them, so a
// composed request can be compared with what the program has always sent.
namespace request_flag {
inline constexpr std::uint32_t kReload = 0x80000000;
inline constexpr std::uint32_t kNeedFile = 0x00000010;
inline constexpr std::uint32_t kNoCookies = 0x00080000;
inline constexpr std::uint32_t kNoAutoRedirect = 0x00200000;
inline constexpr std::uint32_t kSecure = 0x00800000;
inline constexpr std::uint32_t kIgnoreRedirectToHttps = 0x00004000;
}  // namespace request_flag

// "http://" in front unless the address starts with "http://" or "https://" (exact case).
std::string NormalizeAddress(std::string_view address);

// HTTPS when "https://" appears anywhere in the address, letter case ignored.
bool IsHttpsAddress(std::string_view normalizedAddress);

// The host in lower case, without scheme, port or path.
std::string UrlHost(std::string_view normalizedAddress);

// From the first "/" after the host to the end, query included; "/" when there is none.
std::string UrlPath(std::string_view normalizedAddress);

// The port named after the host, or 80.
int UrlPort(std::string_view normalizedAddress);

struct ComposedRequest {
  std::string address;  // normalised
  bool https = false;
  std::string host;
  int port = 80;
  std::string path;
  std::string method;
  std::string userAgent;
  std::uint32_t flags = 0;
  std::string headerText;  // completed; sent line by line in this order
  std::string body;        // sent only when sendsBody
  bool sendsBody = false;
  bool sendsRequest = true;  // false for a method other than GET and POST
  std::string proxy;         // as given; any byte means "through a proxy"

  bool UsesCookieStore() const { return (flags & request_flag::kNoCookies) == 0; }
  bool FollowsRedirects() const { return (flags & request_flag::kNoAutoRedirect) == 0; }
};

ComposedRequest ComposeRequest(const RequestRecord& record);

}  // namespace quorvane
