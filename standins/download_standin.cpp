#include "standins/download_standin.h"

#include <httplib.h>

#include <algorithm>
#include <array>

namespace quorvane::standins {

char DownloadStandin::ByteAt(std::uint64_t offset) {
  // A pattern whose period (251, a prime) does not divide a block size, so a block
  // delivered at the wrong offset shows.
  return static_cast<char>('A' + static_cast<char>(offset % 251 % 26));
}

DownloadStandin::DownloadStandin(std::vector<File> files) {
  for (const File& file : files) {
    const std::uint64_t size = file.size;
    runner_.Server().Get(file.path, [size](const httplib::Request&, httplib::Response& response) {
      response.set_content_provider(
          static_cast<std::size_t>(size), "application/octet-stream",
          [](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            std::array<char, 65536> block{};
            const std::size_t count = std::min(length, block.size());
            for (std::size_t i = 0; i < count; ++i) {
              block[i] = ByteAt(offset + i);
            }
            return sink.write(block.data(), count);
          });
    });
  }
  runner_.Start();
}

std::string DownloadStandin::Url(const std::string& path) const { return runner_.Url(path); }

}  // namespace quorvane::standins
