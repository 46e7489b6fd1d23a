#pragma once

#include <filesystem>

namespace quorvane {

// Creates `path` as a new empty file, only if nothing by that name exists yet, in one
// step no other process can come between. False when the name is taken or the file
// cannot be made.
bool CreateNewFile(const std::filesystem::path& path);

}  // namespace quorvane
