#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

// One received cookie ("name=value; attributes") from `host` as a Netscape cookie-file
// line; nothing for a cookie that names a domain the host does not belong to. Expiry
// 0 is a session cookie, 1 one already gone.
std::optional<std::string> CookieFileLine(std::string_view host, std::string_view cookie);

}  // namespace quorvane
