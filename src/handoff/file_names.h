#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Names for downloaded files come from servers and resolvers: nothing they say may
// reach outside the download folder or replace a file already there.
namespace quorvane {

// A UTF-8 file name safe to create in a folder: no path separators, no "..", no
// control characters, no reserved device names, no trailing dots or spaces, at most
// 200 bytes; "download" when nothing is left.
std::string CleanFileName(std::string_view name);

// The name a Content-Disposition header gives (filename*=UTF-8'' preferred), as
// UTF-8; empty when it gives none.
std::string NameFromContentDisposition(std::string_view rawHeaders);

// The last path segment of an address, percent-decoded, as UTF-8.
std::string NameFromAddress(std::string_view address);

// Bytes that are valid UTF-8 as they are; anything else read as GBK.
std::string AsUtf8Name(std::string_view bytes);

// `folder`/`name`, or "name (1).ext", "name (2).ext" … for the first that does not
// exist yet, and with a `companion` suffix (".part") the first for which neither the
// name nor name + companion exists. The files are created (empty) so no other download
// takes the same names; empty when no name is free.
std::filesystem::path ReserveFreePath(const std::filesystem::path& folder, const std::string& name,
                                      std::string_view companion = {});

}  // namespace quorvane
