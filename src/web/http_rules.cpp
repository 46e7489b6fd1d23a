#include "web/http_rules.h"

#include "util/text_pieces.h"
#include "util/text_search.h"

#include <algorithm>
#include <initializer_list>

namespace quorvane {
namespace {

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

struct UrlParts {
  std::string scheme;
  std::string host;
  std::string port;
};

// Scheme, host and port of an absolute URL, in lower case; no host when it names none.
UrlParts SplitUrl(std::string_view address) {
  UrlParts parts;
  const std::size_t separator = address.find("://");
  if (separator == std::string_view::npos || separator == 0) {
    return parts;
  }
  std::string_view authority = address.substr(separator + 3);
  authority = authority.substr(0, std::min(authority.find_first_of("/?#"), authority.size()));
  if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
    authority = authority.substr(at + 1);
  }
  // An IPv6 address keeps its brackets; the port follows the last colon after them.
  const std::size_t bracket = authority.starts_with('[') ? authority.find(']') : 0;
  if (bracket == std::string_view::npos) {
    return parts;
  }
  const std::size_t colon = authority.find(':', bracket);
  parts.host = LowerCaseText(authority.substr(0, colon));
  parts.port = colon == std::string_view::npos ? std::string() : std::string(authority.substr(colon + 1));
  parts.scheme = LowerCaseText(address.substr(0, separator));
  return parts;
}

}  // namespace

std::vector<std::string> HeaderLines(std::string_view headerText) {
  std::vector<std::string> lines = SplitText(headerText, "\r\n");
  std::erase(lines, std::string());
  return lines;
}

bool HasHeaderLine(const std::vector<std::string>& lines, std::string_view name) {
  return std::any_of(lines.begin(), lines.end(), [name](const std::string& line) { return NamesHeader(line, name); });
}

bool IsFollowedRedirect(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

void RedirectRequest(WireRequest& request, long status, const std::string& location, long port) {
  if (UrlOrigin(location) != UrlOrigin(request.url, port)) {
    RemoveHeaderLines(request.headerLines, {"Cookie", "Authorization"});
  }
  if (status == 303 || ((status == 301 || status == 302) && LowerCaseText(request.method) == "post")) {
    request.method = "GET";
    request.body.clear();
    request.sendsBody = false;
    RemoveHeaderLines(request.headerLines, {"Content-Type", "Content-Length"});
    RemoveNames(request.suppressed, {"Content-Type", "Content-Length"});
  }
  request.url = location;
}

std::string UrlOrigin(std::string_view address, long port) {
  UrlParts parts = SplitUrl(address);
  if (parts.host.empty()) {
    return {};
  }
  if (port != 0) {
    parts.port = std::to_string(port);
  } else if (parts.port.empty()) {
    parts.port = parts.scheme == "https" ? "443" : parts.scheme == "http" ? "80" : "";
  }
  return parts.scheme + '|' + parts.host + '|' + parts.port + '|';
}

std::string UrlHostOf(std::string_view address) { return SplitUrl(address).host; }

bool AppendHeaderLine(std::string& headers, std::string_view line) {
  if (line.starts_with("HTTP/")) {
    headers.clear();
  }
  if (headers.size() + line.size() > kHeaderCap) {
    return false;
  }
  headers.append(line);
  return true;
}

bool AppendBody(std::string& body, std::string_view data, std::size_t cap) {
  const std::size_t room = cap - std::min(cap, body.size());
  body.append(data.substr(0, std::min(data.size(), room)));
  return data.size() <= room;
}

}  // namespace quorvane
