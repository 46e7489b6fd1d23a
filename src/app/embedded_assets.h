#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace quorvane {

// The bytes of a file of assets/ ("icon.jpg"), compiled into the program; empty when
// there is no such file.
std::span<const std::uint8_t> EmbeddedAsset(std::string_view name);

}  // namespace quorvane
