#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The small pieces a download over several connections stands on: reading an answer's
// header fields, writing bytes in place in the part file, measuring the whole speed.
namespace quorvane::download_io {

// The value of the first header line of that name (letter case ignored) in a raw header
// block; empty when there is none.
std::string HeaderValue(const std::string& headers, std::string_view name);

// "bytes a-b/T" as a, b and T; nothing for any other text or a range outside T.
struct ContentRange {
  std::uint64_t first = 0;
  std::uint64_t last = 0;
  std::uint64_t total = 0;
};
std::optional<ContentRange> ParseContentRange(const std::string& value);

// All `length` bytes at `offset` of the open file, whatever the position of others.
bool WriteAt(int fd, const char* data, std::size_t length, std::uint64_t offset);

// Room for the whole file at once, so pieces written far apart never fail late on a full disk.
void Preallocate(int fd, std::uint64_t length);

// The part file opened for writing and locked against a second download of it; -1
// when it cannot be opened or another download holds it.
int OpenPart(const std::filesystem::path& part);

// The whole speed over the last two seconds or so, from samples of the bytes received.
class SpeedMeter {
 public:
  double Sample(std::uint64_t received);

 private:
  std::vector<std::pair<std::chrono::steady_clock::time_point, std::uint64_t>> samples_;
};

}  // namespace quorvane::download_io
