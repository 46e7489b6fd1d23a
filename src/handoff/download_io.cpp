#include "handoff/download_io.h"

#include "web/curl_support.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>

namespace quorvane::download_io {

std::string HeaderValue(const std::string& headers, std::string_view name) {
  for (const std::string& line : curl_support::HeaderLines(headers)) {
    if (line.size() > name.size() && line[name.size()] == ':' &&
        std::equal(name.begin(), name.end(), line.begin(),
                   [](char a, char b) { return std::tolower(a) == std::tolower(b); })) {
      const std::size_t from = line.find_first_not_of(' ', name.size() + 1);
      return from == std::string::npos ? std::string() : line.substr(from);
    }
  }
  return {};
}

std::optional<ContentRange> ParseContentRange(const std::string& value) {
  unsigned long long first = 0;
  unsigned long long last = 0;
  unsigned long long total = 0;
  char tail = 0;
  if (std::sscanf(value.c_str(), "bytes %llu-%llu/%llu%c", &first, &last, &total, &tail) != 3 || last < first ||
      last >= total) {
    return std::nullopt;
  }
  return ContentRange{first, last, total};
}

bool WriteAt(int fd, const char* data, std::size_t length, std::uint64_t offset) {
  while (length > 0) {
    const ssize_t wrote = ::pwrite(fd, data, length, static_cast<off_t>(offset));
    if (wrote < 0 && errno == EINTR) {
      continue;
    }
    if (wrote <= 0) {
      return false;
    }
    data += wrote;
    length -= static_cast<std::size_t>(wrote);
    offset += static_cast<std::uint64_t>(wrote);
  }
  return true;
}

void Preallocate(int fd, std::uint64_t length) {
  if (length == 0 || ::fallocate(fd, 0, 0, static_cast<off_t>(length)) == 0) {
    return;
  }
  if (::ftruncate(fd, static_cast<off_t>(length)) != 0) {
    // Writing will tell.
  }
}

int OpenPart(const std::filesystem::path& part) {
  const int fd = ::open(part.c_str(), O_RDWR | O_CLOEXEC);
  if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

double SpeedMeter::Sample(std::uint64_t received) {
  const auto now = std::chrono::steady_clock::now();
  samples_.push_back({now, received});
  while (samples_.size() > 2 && now - samples_.front().first > std::chrono::seconds(2)) {
    samples_.erase(samples_.begin());
  }
  const double seconds = std::chrono::duration<double>(now - samples_.front().first).count();
  if (seconds <= 0 || received < samples_.front().second) {
    samples_.assign(1, samples_.back());
    return 0;
  }
  return static_cast<double>(received - samples_.front().second) / seconds;
}

}  // namespace quorvane::download_io
