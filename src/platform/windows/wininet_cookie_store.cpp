#include "platform/windows/wininet_handles.h"
#include "util/text_pieces.h"
#include "web/cookie_store.h"

#include <ctime>
#include <string>
#include <vector>

// The process's cookie store is WinInet's own. WinInet neither lists its cookies nor
// forgets them on request, so Lines and Clear have no counterpart here; the tests
// that need them run on Linux.
namespace quorvane {
namespace {

// Seconds since 1970 as a cookie date, "Thu, 01 Jan 1970 00:00:01 GMT".
std::string CookieDate(long long seconds) {
  const __time64_t time = seconds;
  std::tm parts{};
  if (_gmtime64_s(&parts, &time) != 0) {
    return {};
  }
  char text[64];
  const std::size_t length = std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
  return std::string(text, length);
}

}  // namespace

void CookieStore::Store(const std::string& cookieFileLine) {
  // domain, domain-wide, path, secure, expiry (0: the session's), name, value
  const std::vector<std::string> fields = SplitText(cookieFileLine, "\t");
  if (fields.size() != 7) {
    return;
  }
  const bool domainWide = fields[1] == "TRUE";
  const std::string host = domainWide ? fields[0].substr(1) : fields[0];
  std::string data = fields[6] + "; path=" + fields[2];
  if (domainWide) {
    data += "; domain=" + fields[0];
  }
  if (fields[4] != "0") {
    data += "; expires=" + CookieDate(std::stoll(fields[4]));
  }
  if (fields[3] == "TRUE") {
    data += "; secure";
  }
  const std::wstring url = wininet::Widen((fields[3] == "TRUE" ? "https://" : "http://") + host + fields[2]);
  InternetSetCookieW(url.c_str(), wininet::Widen(fields[5]).c_str(), wininet::Widen(data).c_str());
}

}  // namespace quorvane
