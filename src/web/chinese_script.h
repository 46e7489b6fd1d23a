#pragma once

#include <string>
#include <string_view>

namespace quorvane {

// Traditional Chinese characters replaced by their simplified forms, character by
// character, as the platform maps them; the text comes back unchanged when the platform
// cannot map it.
std::u16string TraditionalToSimplified(std::u16string_view units);

}  // namespace quorvane
