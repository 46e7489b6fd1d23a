#include "web/wire_transfer.h"

#include "platform/windows/wininet_handles.h"
#include "web/code_page_converter.h"
#include "web/cookie_store.h"
#include "web/request_composition.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <vector>

// The wire transfer over WinInet. Its calls run asynchronously, so the calling thread
// can give up on a request at once when asked, even while a server says nothing.
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
using Clock = std::chrono::steady_clock;

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

// When a transfer gives up: on abort, past its total limit, or when one call moves
// no byte for the stall limit.
struct Bounds {
  const std::atomic<bool>* abort = nullptr;
  std::chrono::milliseconds stallLimit{0};
  Clock::time_point deadline = Clock::time_point::max();

  bool Exceeded(Clock::time_point callStart) const {
    const Clock::time_point now = Clock::now();
    return (abort != nullptr && abort->load()) || now >= deadline ||
           (stallLimit.count() > 0 && now - callStart >= stallLimit);
  }
};

// Whether an asynchronous call that returned `started` succeeded; false as soon as
// the bounds say to give up while it is still under way.
bool Await(BOOL started, DWORD error, Completion& completion, const Bounds& bounds) {
  if (started) {
    return true;
  }
  if (error != ERROR_IO_PENDING) {
    return false;
  }
  const Clock::time_point callStart = Clock::now();
  while (WaitForSingleObject(completion.done, 10) == WAIT_TIMEOUT) {
    if (bounds.Exceeded(callStart)) {
      return false;
    }
  }
  return completion.result != 0;
}

// Where one hop of the request goes.
struct Target {
  bool https = false;
  std::string host;
  INTERNET_PORT port = 0;
  std::string object;  // path and query, as sent
};

// The parts of an absolute HTTP(S) address; false for any other.
bool CrackUrl(const std::string& url, long port, Target& target) {
  const std::wstring wide = Widen(url);
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = 1;
  parts.dwUrlPathLength = 1;
  parts.dwExtraInfoLength = 1;
  if (!InternetCrackUrlW(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts) ||
      (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) ||
      parts.dwHostNameLength == 0) {
    return false;
  }
  target.https = parts.nScheme == INTERNET_SCHEME_HTTPS;
  target.host = Narrow(std::wstring_view(parts.lpszHostName, parts.dwHostNameLength));
  target.port = port != 0 ? static_cast<INTERNET_PORT>(port) : parts.nPort;
  std::wstring object(parts.lpszUrlPath != nullptr ? parts.lpszUrlPath : L"", parts.dwUrlPathLength);
  if (parts.lpszExtraInfo != nullptr) {
    object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  }
  object = object.substr(0, object.find(L'#'));
  target.object = object.empty() ? "/" : Narrow(object);
  return true;
}

// The address a hop went to, with the port it went to.
std::string UrlOf(const Target& target) {
  return (target.https ? "https://" : "http://") + target.host + ":" + std::to_string(target.port) + target.object;
}

// A Location header made absolute against the address it answered.
std::string AbsoluteLocation(const std::string& base, const std::wstring& location) {
  const std::wstring wideBase = Widen(base);
  std::wstring combined(4096, L'\0');
  auto length = static_cast<DWORD>(combined.size());
  if (!InternetCombineUrlW(wideBase.c_str(), location.c_str(), combined.data(), &length, 0)) {
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
      return {};
    }
    combined.assign(length + 1, L'\0');
    length = static_cast<DWORD>(combined.size());
    if (!InternetCombineUrlW(wideBase.c_str(), location.c_str(), combined.data(), &length, 0)) {
      return {};
    }
  }
  combined.resize(length);
  return Narrow(combined);
}

std::wstring QueryText(HINTERNET request, DWORD query) {
  DWORD size = 0;
  if (HttpQueryInfoW(request, query, nullptr, &size, nullptr) || GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
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

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

// Reads the answer's body up to the cap; true when it ran to its end. A connection
// that breaks keeps what arrived.
bool ReadBody(HINTERNET request, Completion& completion, const Bounds& bounds, std::size_t bodyCap,
              std::string& body) {
  for (;;) {
    completion.read = 0;
    const BOOL read = InternetReadFile(request, completion.buffer, sizeof completion.buffer, &completion.read);
    if (!Await(read, read ? 0 : GetLastError(), completion, bounds)) {
      return false;
    }
    if (completion.read == 0) {
      return true;
    }
    if (!AppendBody(body, std::string_view(completion.buffer, completion.read), bodyCap)) {
      return false;
    }
  }
}

struct HopAnswer {
  bool sent = false;
  std::string location;  // absolute; empty when the answer is not followed further
};

// One request and its answer; the final answer's body, headers and status go to
// `outcome`.
HopAnswer SendHop(HINTERNET internet, const WireRequest& request, const Target& target, const WireOptions& options,
                  const Bounds& bounds, Completion& completion, WireOutcome& outcome) {
  HopAnswer answer;
  const InternetHandle connection(InternetConnectW(internet, Widen(target.host).c_str(), target.port, nullptr,
                                                   nullptr, INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) {
    return answer;
  }
  // Redirects are followed by the caller, hop by hop, so that they go as browsers take them.
  DWORD flags = INTERNET_FLAG_NO_AUTO_REDIRECT;
  if (!options.cookieStore) {
    flags |= INTERNET_FLAG_NO_COOKIES;
  }
  if (target.https) {
    flags |= INTERNET_FLAG_SECURE;
  }
  ++completion.shares;
  const InternetHandle handle(HttpOpenRequestW(connection.get(), Widen(request.method).c_str(),
                                               Widen(target.object).c_str(), L"HTTP/1.1", nullptr, nullptr, flags,
                                               reinterpret_cast<DWORD_PTR>(&completion)));
  if (!handle) {
    --completion.shares;
    return answer;
  }
  completion.headers = Widen(JoinLines(request.headerLines));
  completion.body = request.sendsBody ? request.body : std::string();
  const BOOL sent = HttpSendRequestW(handle.get(), completion.headers.empty() ? nullptr : completion.headers.c_str(),
                                     static_cast<DWORD>(completion.headers.size()),
                                     request.sendsBody ? completion.body.data() : nullptr,
                                     static_cast<DWORD>(completion.body.size()));
  if (!Await(sent, sent ? 0 : GetLastError(), completion, bounds)) {
    return answer;
  }
  answer.sent = true;
  outcome.result.body.clear();
  outcome.result.responseHeaders = Narrow(QueryText(handle.get(), HTTP_QUERY_RAW_HEADERS_CRLF));
  if (outcome.result.responseHeaders.size() > kHeaderCap) {
    outcome.result = {};
    answer.sent = false;
    return answer;
  }
  outcome.status = StatusOf(handle.get());
  if (options.cookieStore) {
    // WinInet drops a cookie whose expiry it cannot read; the store's own rules keep
    // it for the session.
    CookieStore::Process().StoreFromHeaders(target.host, outcome.result.responseHeaders);
  }
  if (options.follow && IsFollowedRedirect(outcome.status)) {
    const std::wstring location = QueryText(handle.get(), HTTP_QUERY_LOCATION);
    if (!location.empty()) {
      answer.location = AbsoluteLocation(UrlOf(target), location);
      if (!answer.location.empty()) {
        return answer;
      }
    }
  }
  outcome.completed = ReadBody(handle.get(), completion, bounds, options.bodyCap, outcome.result.body);
  return answer;
}

}  // namespace

WireOutcome TransferWire(WireRequest request, const WireOptions& options) {
  WireOutcome outcome;
  Bounds bounds;
  bounds.abort = options.abort;
  bounds.stallLimit = options.stallLimit;
  if (options.totalLimit.count() > 0) {
    bounds.deadline = Clock::now() + options.totalLimit;
  }
  Target target;
  if ((bounds.abort != nullptr && bounds.abort->load()) || !CrackUrl(request.url, request.port, target) ||
      (options.plainHttpOnly && target.https)) {
    return outcome;
  }
  // Any byte in the proxy field means "through a proxy".
  const bool proxied = !options.proxy.empty();
  const std::wstring proxyList = Widen("http=" + options.proxy);
  const InternetHandle internet(InternetOpenW(Widen(options.userAgent).c_str(),
                                              proxied ? INTERNET_OPEN_TYPE_PROXY : INTERNET_OPEN_TYPE_DIRECT,
                                              proxied ? proxyList.c_str() : nullptr, proxied ? L"" : nullptr,
                                              INTERNET_FLAG_ASYNC));
  if (!internet) {
    return outcome;
  }
  if (options.connectLimit.count() > 0) {
    DWORD limit = static_cast<DWORD>(options.connectLimit.count());
    InternetSetOptionW(internet.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &limit, sizeof limit);
  }
  InternetSetStatusCallbackW(internet.get(), OnStatus);

  auto* completion = new Completion;
  for (int hop = 0;; ++hop) {
    const long port = hop == 0 ? request.port : 0L;
    outcome.finalUrl = request.url;
    const HopAnswer answer = SendHop(internet.get(), request, target, options, bounds, *completion, outcome);
    if (!answer.sent || answer.location.empty()) {
      break;
    }
    // A loop, or a redirect that leads elsewhere than HTTP(S), or from HTTPS back to
    // plain HTTP when that is kept, ends with no body.
    Target next;
    if (hop == kMaxRedirects || !CrackUrl(answer.location, 0, next) || (options.plainHttpOnly && next.https) ||
        (options.keepsHttps && !next.https)) {
      break;
    }
    RedirectRequest(request, outcome.status, answer.location, port);
    target = next;
  }
  completion->Release();
  return outcome;
}

}  // namespace quorvane
