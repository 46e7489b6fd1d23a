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

DownloadStandin::DownloadStandin(std::vector<File> files) : server_(std::make_unique<httplib::Server>()) {
  for (const File& file : files) {
    const std::uint64_t size = file.size;
    server_->Get(file.path, [size](const httplib::Request&, httplib::Response& response) {
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
  port_ = server_->bind_to_any_port("127.0.0.1");
  thread_ = std::make_unique<std::thread>([this] { server_->listen_after_bind(); });
  while (!server_->is_running()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

DownloadStandin::~DownloadStandin() {
  server_->stop();
  thread_->join();
}

std::string DownloadStandin::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

}  // namespace quorvane::standins
