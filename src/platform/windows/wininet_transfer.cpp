#include "web/transfer.h"

#include "platform/windows/wininet_handles.h"
#include "util/text_pieces.h"
#include "web/code_page_converter.h"
#include "web/redirect_rules.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

// The transfer over WinInet. Its calls run asynchronously, so the calling thread can
// give up on a request at once when asked, even while a server says nothing.
namespace quorvane {

namespace wininet {

std::wstring Widen(std::string_view bytes) {
  const std::u16string units = codepage::Decode(bytes, codepage::kSystem);
  return std::wstring(units.begin(), units.end());
}

std::string Narrow(std::wstring_view text) {
  return codepage::Encode(std::u16string(text.begin(), text.end()), codepage::kSystem);
}

}  // namespace wininet

namespace {

using namespace wininet;
using redirect_rules::Hop;

// Header blocks beyond this are no real server's: the answer is refused.
constexpr std::size_t kHeaderCap = 1u << 20;

// What the status callback hands back for one asynchronous call, and what such a call
// may still touch after the transfer has given up on it (the text it sends, the buffer
// it reads into). Each request handle holds a share, released when WinInet closes the
// handle, so a late callback never reaches freed memory.
struct Completion {
  HANDLE done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  std::atomic<int> shares{1};
  DWORD_PTR result = 0;
  DWORD read = 0;
  std::wstring headers;
  std::string body;
  char buffer[64 * 1024];

  void Release() {
    if (--shares == 0) {
      CloseHandle(done);
      delete this;
    }
  }
};

void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID information, DWORD) {
  auto* completion = reinterpret_cast<Completion*>(context);
  if (completion == nullptr) {
    return;
  }
  if (status == INTERNET_STATUS_REQUEST_COMPLETE) {
    completion->result = static_cast<const INTERNET_ASYNC_RESULT*>(information)->dwResult;
    SetEvent(completion->done);
  } else if (status == INTERNET_STATUS_HANDLE_CLOSING) {
    completion->Release();
  }
}

// Whether an asynchronous call that returned `started` succeeded; false as soon as
// `abort` is set while it is still under way.
bool Await(BOOL started, DWORD error, Completion& completion, const std::atomic<bool>& abort) {
  if (started) {
    return true;
  }
  if (error != ERROR_IO_PENDING) {
    return false;
  }
  while (WaitForSingleObject(completion.done, 10) == WAIT_TIMEOUT) {
    if (abort.load()) {
      return false;
    }
  }
  return completion.result != 0;
}

// Where one hop of the request goes.
struct Target {
  bool https = false;
  std::string host;
  int port = 0;       // 0: the scheme's own port
  std::string object;  // path and query, as sent
};

int EffectivePort(const Target& target) {
  return target.port != 0 ? target.port : (target.https ? 443 : 80);
}

std::string UrlOf(const Target& target) {
  return (target.https ? "https://" : "http://") + target.host + ":" + std::to_string(EffectivePort(target)) +
         target.object;
}

std::string OriginOf(const Target& target) {
  return (target.https ? "https|" : "http|") + LowerCaseText(target.host) + "|" +
         std::to_string(EffectivePort(target));
}

std::wstring QueryText(HINTERNET request, DWORD query) {
  DWORD size = 0;
  if (HttpQueryInfoW(request, query, nullptr, &size, nullptr) ||
      GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    return {};
  }
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (!HttpQueryInfoW(request, query, text.data(), &size, nullptr)) {
    return {};
  }
  text.resize(size / sizeof(wchar_t));
  return text;
}

long StatusOf(HINTERNET request) {
  DWORD status = 0;
  DWORD size = sizeof status;
  HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
  return static_cast<long>(status);
}

// Where a Location header leads from `from`; false when it leads outside HTTP and HTTPS.
bool RedirectTarget(const Target& from, const std::wstring& location, Target& next) {
  const std::wstring base = Widen(UrlOf(from));
  std::wstring combined(4096, L'\0');
  auto length = static_cast<DWORD>(combined.size());
  if (!InternetCombineUrlW(base.c_str(), location.c_str(), combined.data(), &length, 0)) {
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
      return false;
    }
    combined.assign(length + 1, L'\0');
    length = static_cast<DWORD>(combined.size());
    if (!InternetCombineUrlW(base.c_str(), location.c_str(), combined.data(), &length, 0)) {
      return false;
    }
  }
  combined.resize(length);
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = 1;
  parts.dwUrlPathLength = 1;
  parts.dwExtraInfoLength = 1;
  if (!InternetCrackUrlW(combined.c_str(), length, 0, &parts) ||
      (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) ||
      parts.dwHostNameLength == 0) {
    return false;
  }
  next.https = parts.nScheme == INTERNET_SCHEME_HTTPS;
  next.host = Narrow(std::wstring_view(parts.lpszHostName, parts.dwHostNameLength));
  next.port = parts.nPort;
  std::wstring object(parts.lpszUrlPath != nullptr ? parts.lpszUrlPath : L"", parts.dwUrlPathLength);
  if (parts.lpszExtraInfo != nullptr) {
    object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  }
  object = object.substr(0, object.find(L'#'));
  next.object = object.empty() ? "/" : Narrow(object);
  return true;
}

bool IsDelimiter(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte == 0x09 || (byte >= 0x20 && byte <= 0x2F) || (byte >= 0x3B && byte <= 0x40) ||
         (byte >= 0x5B && byte <= 0x60) || (byte >= 0x7B && byte <= 0x7E);
}

std::size_t LeadingDigits(std::string_view token) {
  return static_cast<std::size_t>(
      std::find_if(token.begin(), token.end(), [](char c) { return c < '0' || c > '9'; }) - token.begin());
}

// Whether a cookie date names a time, a day, a month and a year, the way browsers
// read it; WinInet takes any text for a date, an unreadable one for "now".
bool IsReadableCookieDate(std::string_view date) {
  static constexpr std::string_view kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                                 "jul", "aug", "sep", "oct", "nov", "dec"};
  bool time = false;
  bool day = false;
  bool month = false;
  bool year = false;
  std::size_t i = 0;
  while (i < date.size()) {
    while (i < date.size() && IsDelimiter(date[i])) {
      ++i;
    }
    const std::size_t start = i;
    while (i < date.size() && !IsDelimiter(date[i])) {
      ++i;
    }
    const std::string_view token = date.substr(start, i - start);
    if (token.empty()) {
      break;
    }
    const std::size_t digits = LeadingDigits(token);
    if (!time && digits >= 1 && digits <= 2 && token.size() > digits && token[digits] == ':') {
      time = true;
    } else if (!day && digits >= 1 && digits <= 2) {
      day = true;
    } else if (!month && token.size() >= 3 &&
               std::find(std::begin(kMonths), std::end(kMonths), LowerCaseText(token.substr(0, 3))) !=
                   std::end(kMonths)) {
      month = true;
    } else if (!year && digits >= 2 && digits <= 4) {
      year = true;
    }
  }
  return time && day && month && year;
}

// Removes from a cookie's data an Expires attribute that cannot be read, which would
// make WinInet drop the cookie; such a cookie lasts the session instead. True when
// there was one.
bool DropUnreadableExpiry(std::string& data) {
  std::vector<std::string> parts = SplitText(data, ";");
  const std::size_t count = parts.size();
  std::erase_if(parts, [&parts](const std::string& part) {
    const std::string attribute = TrimText(part);
    if (&part == &parts.front() || LowerCaseText(attribute.substr(0, 8)) != "expires=") {
      return false;
    }
    return !IsReadableCookieDate(std::string_view(attribute).substr(8));
  });
  if (parts.size() == count) {
    return false;
  }
  data.clear();
  for (std::size_t i = 0; i < parts.size(); ++i) {
    data += (i == 0 ? "" : ";") + parts[i];
  }
  return true;
}

// Keeps the "Set-Cookie" lines of an answer for "http://" + host: all of them for a
// request that bypassed the cookie store, else only those WinInet dropped for their
// unreadable expiry. WinInet refuses a cookie whose domain the host is not in.
void StoreCookies(const std::string& host, std::string_view rawHeaders, bool bypassedStore) {
  const std::wstring url = Widen("http://" + host);
  for (const std::string& line : redirect_rules::HeaderLines(rawHeaders)) {
    if (!redirect_rules::NamesHeader(line, "Set-Cookie")) {
      continue;
    }
    const std::string cookie = TrimText(std::string_view(line).substr(11));
    const std::size_t equals = cookie.find('=');
    std::string data = equals == std::string::npos ? cookie : cookie.substr(equals + 1);
    if (!DropUnreadableExpiry(data) && !bypassedStore) {
      continue;
    }
    const std::wstring name = equals == std::string::npos ? std::wstring() : Widen(cookie.substr(0, equals));
    InternetSetCookieW(url.c_str(), name.empty() ? nullptr : name.c_str(), Widen(data).c_str());
  }
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

// Reads the answer's body up to `bodyCap`; a connection that breaks keeps what arrived.
void ReadBody(HINTERNET request, Completion& completion, const std::atomic<bool>& abort, std::size_t bodyCap,
              std::string& body) {
  while (body.size() < bodyCap) {
    const auto wanted = static_cast<DWORD>(std::min(sizeof completion.buffer, bodyCap - body.size()));
    completion.read = 0;
    const BOOL read = InternetReadFile(request, completion.buffer, wanted, &completion.read);
    if (!Await(read, read ? 0 : GetLastError(), completion, abort) || completion.read == 0) {
      return;
    }
    body.append(completion.buffer, completion.read);
  }
}

enum class HopEnd { Final, Redirect, Failed };

// One request and its answer. A redirect to follow gives `next`; a final answer
// leaves its body and headers in `result`.
HopEnd SendHop(HINTERNET internet, const ComposedRequest& request, const Target& target, const Hop& hop,
               bool lastHop, Completion& completion, const std::atomic<bool>& abort, std::size_t bodyCap,
               TransferResult& result, Target& next, long& status) {
  const InternetHandle connection(InternetConnectW(internet, Widen(target.host).c_str(),
                                                   static_cast<INTERNET_PORT>(target.port), nullptr, nullptr,
                                                   INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) {
    return HopEnd::Failed;
  }
  // Redirects are followed here, hop by hop, so that they go as browsers take them.
  DWORD flags = request.flags | INTERNET_FLAG_NO_AUTO_REDIRECT;
  if (target.https) {
    flags |= INTERNET_FLAG_SECURE;
  }
  ++completion.shares;
  const InternetHandle handle(HttpOpenRequestW(connection.get(), Widen(hop.method).c_str(),
                                               Widen(target.object).c_str(), L"HTTP/1.1", nullptr, nullptr,
                                               flags, reinterpret_cast<DWORD_PTR>(&completion)));
  if (!handle) {
    --completion.shares;
    return HopEnd::Failed;
  }
  completion.headers = Widen(JoinLines(hop.headerLines));
  completion.body = hop.sendsBody ? hop.body : std::string();
  const BOOL sent = HttpSendRequestW(
      handle.get(), completion.headers.empty() ? nullptr : completion.headers.c_str(),
      static_cast<DWORD>(completion.headers.size()), hop.sendsBody ? completion.body.data() : nullptr,
      static_cast<DWORD>(completion.body.size()));
  if (!Await(sent, sent ? 0 : GetLastError(), completion, abort)) {
    return HopEnd::Failed;
  }

  result.body.clear();
  result.responseHeaders = Narrow(QueryText(handle.get(), HTTP_QUERY_RAW_HEADERS_CRLF));
  if (result.responseHeaders.size() > kHeaderCap) {
    result = {};
    return HopEnd::Failed;
  }
  if (request.UsesCookieStore()) {
    StoreCookies(target.host, result.responseHeaders, false);
  }
  status = StatusOf(handle.get());
  if (request.FollowsRedirects() && redirect_rules::IsFollowedRedirect(status)) {
    const std::wstring location = QueryText(handle.get(), HTTP_QUERY_LOCATION);
    if (!location.empty()) {
      // A loop, or a redirect that leads elsewhere than HTTP(S), or from HTTPS back
      // to plain HTTP, ends with no body.
      if (lastHop || !RedirectTarget(target, location, next) || (request.https && !next.https)) {
        return HopEnd::Final;
      }
      return HopEnd::Redirect;
    }
  }
  ReadBody(handle.get(), completion, abort, bodyCap, result.body);
  return HopEnd::Final;
}

}  // namespace

TransferResult TransferRequest(const ComposedRequest& request, const std::atomic<bool>& abort,
                               std::size_t bodyCap) {
  // Port 0 means the scheme's own port, as it always has; other ports out of range
  // cannot be connected to at all, and a host with user info, query or fragment in it
  // is refused.
  if (!request.sendsRequest || request.port < 0 || request.port > 65535 || !IsPlainHost(request.host) ||
      abort.load()) {
    return {};
  }
  // Any byte in the proxy field means "through a proxy".
  const bool proxied = !request.proxy.empty();
  const std::wstring proxyList = Widen("http=" + request.proxy);
  const InternetHandle internet(InternetOpenW(
      Widen(request.userAgent).c_str(), proxied ? INTERNET_OPEN_TYPE_PROXY : INTERNET_OPEN_TYPE_DIRECT,
      proxied ? proxyList.c_str() : nullptr, proxied ? L"" : nullptr, INTERNET_FLAG_ASYNC));
  if (!internet) {
    return {};
  }
  InternetSetStatusCallbackW(internet.get(), OnStatus);

  auto* completion = new Completion;
  TransferResult result;
  Target target{request.https, request.host, request.port, EscapeUrlBytes(request.path, true)};
  Hop hop{request.method, redirect_rules::HeaderLines(request.headerText), request.body, request.sendsBody};
  for (int redirects = 0;; ++redirects) {
    Target next;
    long status = 0;
    const HopEnd end =
        SendHop(internet.get(), request, target, hop, redirects == redirect_rules::kMaxRedirects, *completion,
                abort, bodyCap, result, next, status);
    if (end != HopEnd::Redirect) {
      break;
    }
    redirect_rules::FollowRedirect(status, OriginOf(next) == OriginOf(target), hop);
    target = next;
  }
  if (!request.UsesCookieStore()) {
    // Kept for the host that gave the final answer, which a redirect may have changed.
    StoreCookies(target.host, result.responseHeaders, true);
  }
  completion->Release();
  return result;
}

}  // namespace quorvane
