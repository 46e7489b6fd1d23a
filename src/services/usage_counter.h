#pragma once

#include <string>
#include <string_view>

namespace quorvane {

// The usage line made from the page-hit counter page: the total and today's count cut
// out between the page's markers, each empty when its markers are missing.
std::string UsageLine(std::string_view counterPage);

}  // namespace quorvane
