#include "web/request_composition.h"

#include "resolve/number_rules.h"
#include "util/text_pieces.h"
#include "util/text_search.h"

namespace quorvane {
namespace {

bool ContainsIgnoringCase(std::string_view text, std::string_view word) { return ContainsText(text, word, true); }

std::string RemoveFirst(std::string_view text, std::string_view word) {
  const std::size_t found = FindTextOffset(text, word);
  if (found == std::string_view::npos) {
    return std::string(text);
  }
  return std::string(text.substr(0, found)).append(text.substr(found + word.size()));
}

}  // namespace

std::string NormalizeAddress(std::string_view address) {
  if (address.starts_with("http://") || address.starts_with("https://")) {
    return std::string(address);
  }
  return "http://" + std::string(address);
}

bool IsHttpsAddress(std::string_view normalizedAddress) {
  return ContainsIgnoringCase(normalizedAddress, "https://");
}

std::string UrlHost(std::string_view normalizedAddress) {
  const std::string withoutSchemes = RemoveTexts(normalizedAddress, "https://", "http://");
  return LowerCaseText(TextBefore(TextBefore(withoutSchemes, "/"), ":"));
}

std::string UrlPath(std::string_view normalizedAddress) {
  const std::int64_t hostPosition = FindText(normalizedAddress, UrlHost(normalizedAddress), 1, true);
  const std::int64_t slash = FindText(normalizedAddress, "/", hostPosition);
  if (slash == kNotFound) {
    return "/";
  }
  return std::string(normalizedAddress.substr(static_cast<std::size_t>(slash - 1)));
}

int UrlPort(std::string_view normalizedAddress) {
  const std::string_view afterScheme =
      normalizedAddress.size() > 7 ? normalizedAddress.substr(7) : std::string_view();
  const std::string_view hostPart = TextBefore(afterScheme, "/");
  const std::size_t colon = FindTextOffset(hostPart, ":");
  if (colon == std::string_view::npos) {
    return 80;
  }
  return TextToInt(hostPart.substr(colon + 1));
}

ComposedRequest ComposeRequest(const RequestRecord& record) {
  ComposedRequest request;
  request.address = NormalizeAddress(record.address);
  request.https = IsHttpsAddress(request.address);
  request.host = UrlHost(request.address);
  request.path = UrlPath(request.address);
  request.port = request.https ? 443 : UrlPort(request.address);
  request.method = record.method;
  request.proxy = record.proxy;

  std::string headers = record.headers;
  if (ContainsIgnoringCase(headers, "User-Agent:")) {
    request.userAgent = TrimText(TextBetween(headers, "User-Agent:", "\r\n"));
  } else {
    request.userAgent = kDefaultUserAgent;
  }

  using namespace request_flag;
  request.flags = kReload | kNeedFile;
  if (!TrimText(record.cookies).empty()) {
    request.flags |= kNoCookies;
  }
  if (!record.followRedirects) {
    request.flags |= kNoAutoRedirect;
  }
  if (request.https) {
    request.flags = kSecure;
  } else {
    request.flags |= kIgnoreRedirectToHttps;
  }

  if (!ContainsIgnoringCase(headers, "Accept")) {
    headers += kDefaultAcceptHeader;
  }
  if (ContainsIgnoringCase(headers, "RefererNo")) {
    headers = RemoveFirst(headers, "RefererNo");
  } else if (!ContainsIgnoringCase(headers, "Referer")) {
    headers += "Referer: " + request.address + "\r\n";
  }
  if (!ContainsIgnoringCase(headers, "Accept-Language")) {
    headers += "Accept-Language: zh-cn\r\n";
  }

  if (request.method == "GET") {
    request.sendsBody = false;
  } else if (request.method == "POST") {
    if (!record.body.empty()) {
      if (!ContainsIgnoringCase(headers, "Content-Type")) {
        headers += "Content-Type: application/x-www-form-urlencoded\r\n";
      }
      if (!ContainsIgnoringCase(headers, "Content-Length")) {
        headers += "Content-Length: " + std::to_string(record.body.size()) + "\r\n";
      }
      if (!record.cookies.empty()) {
        // A single line end: a blank line here would end the header block early.
        headers += "Cookie: " + record.cookies + "\r\n";
      }
      request.body = record.body;
      request.sendsBody = true;
    }
  } else {
    request.sendsRequest = false;
  }
  request.headerText = std::move(headers);
  return request;
}

}  // namespace quorvane
