#include "standins/download_standin.h"

#include <httplib.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <random>

namespace quorvane::standins {
namespace {

// The pattern repeats every 251 bytes: one block of it serves any offset.
constexpr std::size_t kPeriod = 251;
constexpr std::size_t kBlock = 64 * 1024;

const std::string& PatternBlock(int version) {
  static const std::array<std::string, 2> table = [] {
    std::array<std::string, 2> made;
    for (int v = 0; v < 2; ++v) {
      made[static_cast<std::size_t>(v)].resize(kBlock + kPeriod);
      for (std::size_t i = 0; i < kBlock + kPeriod; ++i) {
        made[static_cast<std::size_t>(v)][i] = DownloadStandin::ByteAt(i, v + 1);
      }
    }
    return made;
  }();
  return table[static_cast<std::size_t>(version - 1)];
}

}  // namespace

char DownloadStandin::ByteAt(std::uint64_t offset, int version) {
  // A pattern whose period (251, a prime) does not divide a block size, so a block
  // delivered at the wrong offset shows.
  const std::uint64_t shifted = offset + (version == 1 ? 0 : 100);
  return static_cast<char>('A' + static_cast<char>(shifted % kPeriod % 26));
}

DownloadStandin::DownloadStandin(std::vector<File> files) : runner_(std::make_unique<HttplibRunner>()) {
  for (const File& file : files) {
    const std::uint64_t size = file.size;
    runner_->Server().Get(file.path, [size](const httplib::Request&, httplib::Response& response) {
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
  runner_->Start();
}

DownloadStandin::DownloadStandin(std::vector<File> files, Options options) {
  auto random = std::make_shared<std::pair<std::mutex, std::mt19937>>();
  random->second.seed(options.seed);
  auto sent = sent_;
  auto answers = std::make_shared<std::atomic<int>>(0);
  raw_ = std::make_unique<RawHttpServer>([files, options, random, sent, answers](const RecordedRequest& request,
                                                                                 Connection& connection) {
    const int answer = ++*answers;
    std::string target = request.Target();
    target = target.substr(0, target.find('?'));
    const auto file = std::find_if(files.begin(), files.end(), [&](const File& f) { return f.path == target; });
    if (file == files.end()) {
      connection.Send(HttpResponse(404, "no such file"));
      return;
    }
    const std::uint64_t size = file->size;
    const bool changed = options.misbehaviour == Misbehaviour::ChangesFile && sent->load() >= options.changeAfter;
    const int version = changed ? 2 : 1;
    std::uint64_t first = 0;
    std::uint64_t last = size == 0 ? 0 : size - 1;
    bool partial = false;
    const std::string range = request.Header("Range");
    unsigned long long a = 0;
    unsigned long long b = 0;
    if (options.misbehaviour != Misbehaviour::IgnoresRanges && range.starts_with("bytes=") && size > 0) {
      const int parsed = std::sscanf(range.c_str(), "bytes=%llu-%llu", &a, &b);
      if (parsed >= 1) {
        if (a >= size) {
          connection.Send("HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */" + std::to_string(size) +
                          "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
          return;
        }
        first = a;
        last = parsed == 2 ? std::min<std::uint64_t>(b, size - 1) : size - 1;
        partial = last >= first;
      }
    }
    const std::uint64_t length = size == 0 ? 0 : last - first + 1;
    std::string head = partial ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n";
    head += "Content-Type: application/octet-stream\r\nAccept-Ranges: bytes\r\n";
    head += "ETag: \"v" + std::to_string(version) + "\"\r\nLast-Modified: " +
            std::string(version == 1 ? "Tue, 01 Dec 2026 08:00:00 GMT" : "Wed, 02 Dec 2026 08:00:00 GMT") + "\r\n";
    if (partial) {
      std::uint64_t said = first;
      if (options.misbehaviour == Misbehaviour::WrongContentRange) {
        said = first == 0 ? std::min<std::uint64_t>(1, size - length) : first - 1;  // one byte off
      }
      head += "Content-Range: bytes " + std::to_string(said) + "-" + std::to_string(said + length - 1) + "/" +
              std::to_string(size) + "\r\n";
    }
    head += "Content-Length: " + std::to_string(length) + "\r\nConnection: close\r\n\r\n";
    if (!connection.Send(head) || request.Method() == "HEAD") {
      return;
    }
    if (answer == options.stallsAnswer) {
      while (connection.Pause(std::chrono::milliseconds(20))) {
      }
      return;
    }
    std::uint64_t cut = length;
    if (options.misbehaviour == Misbehaviour::ClosesAtRandom && length > 0) {
      std::lock_guard lock(random->first);
      if (random->second() % 2 == 0) {
        cut = random->second() % length;
      }
    }
    // A token bucket: the connection may have sent rate × elapsed plus one chunk (1/100 s).
    const std::uint64_t rate = options.bytesPerSecondPerConnection;
    const std::uint64_t chunk = rate == 0 ? kBlock : std::clamp<std::uint64_t>(rate / 100, 1024, kBlock);
    const auto began = std::chrono::steady_clock::now();
    const std::string& pattern = PatternBlock(version);
    std::uint64_t done = 0;
    while (done < cut) {
      if (rate != 0) {
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        const double allowed = static_cast<double>(rate) * elapsed + static_cast<double>(chunk);
        if (static_cast<double>(done + chunk) > allowed) {
          const double wait = (static_cast<double>(done + chunk) - allowed) / static_cast<double>(rate);
          if (!connection.Pause(std::chrono::milliseconds(static_cast<long>(wait * 1000) + 1))) {
            return;
          }
          continue;
        }
      }
      const std::uint64_t offset = first + done;
      const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(chunk, cut - done));
      if (!connection.Send(std::string_view(pattern).substr(offset % kPeriod, count))) {
        return;
      }
      done += count;
      sent->fetch_add(count);
    }
  });
}

std::string DownloadStandin::Url(const std::string& path) const {
  return raw_ ? raw_->Url(path) : runner_->Url(path);
}

std::vector<std::string> DownloadStandin::RangesAsked() const {
  std::vector<std::string> ranges;
  if (raw_) {
    for (const RecordedRequest& request : raw_->Requests()) {
      ranges.push_back(request.Header("Range"));
    }
  }
  return ranges;
}

}  // namespace quorvane::standins
