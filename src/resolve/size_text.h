#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvane {

// The two captions the size display ends with: the size in megabytes (the hidden
// working caption) and the text shown, "<n> MB" or "<n> GB".
struct SizeTexts {
  std::string megabytes;
  std::string shown;
};

// From the working caption holding a byte count as text. Whether to show gigabytes
// depends on the length of the megabyte text: seven bytes and more.
SizeTexts SizeTextsFromCaption(std::string_view byteCountCaption);

// The same for a byte count; sizes are 64-bit, so files of 2 GiB and more show right.
SizeTexts SizeTextsFromBytes(std::int64_t bytes);

}  // namespace quorvane
