#pragma once

#include <string>
#include <string_view>

namespace quorvane {

// Traditional Chinese characters replaced by their simplified forms; the text comes back
// unchanged when the platform cannot map it.
std::u16string TraditionalToSimplified(std::u16string_view units);

}  // namespace quorvane
