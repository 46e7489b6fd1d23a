#include "web/curl_support.h"

#include "util/text_pieces.h"
#include "util/text_search.h"
#include "web/cookie_store.h"

#include <algorithm>

namespace quorvane::curl_support {
namespace {

std::size_t CollectBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* collector = static_cast<ResponseCollector*>(user);
  const std::size_t length = size * count;
  std::string& body = collector->result.body;
  const std::size_t room = collector->bodyCap - std::min(collector->bodyCap, body.size());
  body.append(data, std::min(length, room));
  // Taking less than offered ends the transfer: the cap is reached.
  return length <= room ? length : 0;
}

// A redirect or an interim answer starts a new block with its status line, so only
// the final answer's headers remain. A block beyond the cap ends the transfer: a
// server sending headers without end would otherwise fill memory.
std::size_t CollectHeader(char* data, std::size_t size, std::size_t count, void* user) {
  auto* collector = static_cast<ResponseCollector*>(user);
  const std::size_t length = size * count;
  const std::string_view line(data, length);
  std::string& headers = collector->result.responseHeaders;
  if (line.starts_with("HTTP/")) {
    headers.clear();
  }
  if (headers.size() + length > kHeaderCap) {
    return 0;
  }
  headers.append(line);
  return length;
}

bool NamesHeader(std::string_view line, std::string_view name) {
  return line.size() > name.size() && line[name.size()] == ':' &&
         FindText(line.substr(0, name.size()), name, 1, true) == 1;
}

void RemoveHeaderLines(std::vector<std::string>& lines, std::initializer_list<std::string_view> names) {
  std::erase_if(lines, [names](const std::string& line) {
    return std::any_of(names.begin(), names.end(), [&line](std::string_view name) { return NamesHeader(line, name); });
  });
}

void RemoveNames(std::vector<std::string>& names, std::initializer_list<std::string_view> removed) {
  std::erase_if(names, [removed](const std::string& name) {
    return std::any_of(removed.begin(), removed.end(),
                       [&name](std::string_view other) { return LowerCaseText(name) == LowerCaseText(other); });
  });
}

struct UrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

// Scheme, host and port of an absolute URL (`port` replacing its own when not 0), as
// one comparable text; empty when it cannot be read.
std::string OriginOf(const std::string& address, long port) {
  const std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
  if (!url || curl_url_set(url.get(), CURLUPART_URL, address.c_str(), 0) != CURLUE_OK) {
    return {};
  }
  if (port != 0) {
    curl_url_set(url.get(), CURLUPART_PORT, std::to_string(port).c_str(), 0);
  }
  std::string origin;
  for (const CURLUPart part : {CURLUPART_SCHEME, CURLUPART_HOST, CURLUPART_PORT}) {
    char* value = nullptr;
    if (curl_url_get(url.get(), part, &value, CURLU_DEFAULT_PORT) != CURLUE_OK) {
      return {};
    }
    origin += LowerCaseText(value);
    origin += '|';
    curl_free(value);
  }
  return origin;
}

bool IsFollowedRedirect(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

int CheckGuard(void* user, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded) {
  auto* guard = static_cast<TransferGuard*>(user);
  if (guard->abort != nullptr && guard->abort->load()) {
    return 1;
  }
  const auto now = std::chrono::steady_clock::now();
  if (downloaded + uploaded != guard->bytesMoved) {
    guard->bytesMoved = downloaded + uploaded;
    guard->lastMove = now;
  }
  return (guard->stallLimit.count() > 0 && now - guard->lastMove >= guard->stallLimit) ? 1 : 0;
}

}  // namespace

EasyHandle NewEasyHandle() {
  EnsureCurlReady();
  EasyHandle easy(curl_easy_init());
  if (easy) {
    CURL* handle = easy.get();
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_PROXY, "");
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 30L);
    curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  }
  return easy;
}

void Guard(CURL* handle, TransferGuard& guard) {
  guard.lastMove = std::chrono::steady_clock::now();
  curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, CheckGuard);
  curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &guard);
  curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
}

void CollectResponse(CURL* handle, ResponseCollector& collector) {
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, CollectBody);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &collector);
  curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, CollectHeader);
  curl_easy_setopt(handle, CURLOPT_HEADERDATA, &collector);
  Guard(handle, collector.guard);
}

std::vector<std::string> HeaderLines(std::string_view headerText) {
  std::vector<std::string> lines = SplitText(headerText, "\r\n");
  lines.erase(std::remove(lines.begin(), lines.end(), std::string()), lines.end());
  return lines;
}

bool HasHeaderLine(const std::vector<std::string>& lines, std::string_view name) {
  return std::any_of(lines.begin(), lines.end(), [name](const std::string& line) { return NamesHeader(line, name); });
}

void SetMethodAndBody(CURL* handle, const std::string& method, const std::string& body, bool sendsBody) {
  // A method spelled otherwise from an earlier hop must not stay on the handle.
  curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, static_cast<const char*>(nullptr));
  if (method == "GET") {
    curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
    return;
  }
  curl_easy_setopt(handle, CURLOPT_POST, 1L);
  curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(sendsBody ? body.size() : 0));
  curl_easy_setopt(handle, CURLOPT_POSTFIELDS, sendsBody ? body.data() : "");
  if (method != "POST") {
    curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, method.c_str());
  }
}

HeaderList MakeHeaderList(const std::vector<std::string>& lines, const std::vector<std::string>& suppressed) {
  curl_slist* list = nullptr;
  auto add = [&list](const std::string& line) {
    if (curl_slist* grown = curl_slist_append(list, line.c_str()); grown != nullptr) {
      list = grown;
    }
  };
  for (const std::string& line : lines) {
    add(line);
  }
  for (const std::string& name : suppressed) {
    add(name + ":");
  }
  return HeaderList(list);
}

CURLcode PerformRequest(CURL* handle, WireRequest request, bool follow, const char* redirectProtocols,
                        ResponseCollector& collector) {
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
  for (int hop = 0;; ++hop) {
    const long port = hop == 0 ? request.port : 0L;
    curl_easy_setopt(handle, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(handle, CURLOPT_PORT, port);
    const HeaderList headers = MakeHeaderList(request.headerLines, request.suppressed);
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
    SetMethodAndBody(handle, request.method, request.body, request.sendsBody);
    collector.result.body.clear();  // a redirect's own body is not the answer

    const CURLcode result = curl_easy_perform(handle);
    long status = 0;
    char* location = nullptr;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_getinfo(handle, CURLINFO_REDIRECT_URL, &location);
    if (result != CURLE_OK || !follow || !IsFollowedRedirect(status) || location == nullptr) {
      return result;
    }
    if (hop == kMaxRedirects) {
      collector.result.body.clear();
      return CURLE_TOO_MANY_REDIRECTS;
    }
    const std::string next = location;
    if (OriginOf(next, 0) != OriginOf(request.url, port)) {
      RemoveHeaderLines(request.headerLines, {"Cookie", "Authorization"});
    }
    if (status == 303 || ((status == 301 || status == 302) && LowerCaseText(request.method) == "post")) {
      request.method = "GET";
      request.body.clear();
      request.sendsBody = false;
      RemoveHeaderLines(request.headerLines, {"Content-Type", "Content-Length"});
      RemoveNames(request.suppressed, {"Content-Type", "Content-Length"});
    }
    request.url = next;
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, redirectProtocols);
  }
}

std::string UrlHostOf(const char* address) {
  const std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
  char* host = nullptr;
  if (address == nullptr || !url || curl_url_set(url.get(), CURLUPART_URL, address, 0) != CURLUE_OK ||
      curl_url_get(url.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK) {
    return {};
  }
  std::string lower = LowerCaseText(host);
  curl_free(host);
  return lower;
}

}  // namespace quorvane::curl_support
