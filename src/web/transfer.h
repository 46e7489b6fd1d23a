#pragma once

#include "web/request_composition.h"
#include "web/request_record.h"

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

namespace quorvane {

// Bodies stop growing here, so a hostile server cannot exhaust memory.
inline constexpr std::size_t kBodyCap = 64u << 20;

// Carries out a composed request over the platform's HTTP library: the request line,
// the header text line by line in its order, the body of a POST. Reads the whole body
// (up to `bodyCap`) and the raw headers of the final answer. A failure gives an empty body;
// a connection that breaks mid-body gives what arrived. Stops early once `abort` is
// set.
TransferResult TransferRequest(const ComposedRequest& request, const std::atomic<bool>& abort,
                               std::size_t bodyCap = kBodyCap);

// Whether libcurl reads `host` as this host and nothing else: letters, digits, "-",
// "." and "_" (and bytes beyond ASCII). "@", "?", "#" and the like would make it read
// user info, a query or a fragment out of what was taken for the host.
bool IsPlainHost(std::string_view host);

// The composed request's address as libcurl takes it: scheme, host and path; bytes
// a URL cannot carry (controls, spaces, "#", non-ASCII) written as %XX.
std::string TransferUrl(const ComposedRequest& request);

// Bytes a URL cannot carry as they are (controls, space, DEL, non-ASCII, and "#" when
// asked) written as %XX; everything else kept.
std::string EscapeUrlBytes(std::string_view bytes, bool escapeHash);

}  // namespace quorvane
