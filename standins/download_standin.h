#pragma once

#include "standins/httplib_runner.h"
#include "standins/raw_http_server.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quorvane::standins {

// A download server on 127.0.0.1 for files that exist only as sizes: HEAD gives the
// true Content-Length, GET the bytes (generated, the same on every request), and
// Range requests are honoured, so sizes of many gigabytes cost no memory.
class DownloadStandin {
 public:
  struct File {
    std::string path;  // "/files/demo.zip"
    std::uint64_t size;
  };

  // How the server built with Options behaves; the defaults are an honest server.
  enum class Misbehaviour {
    None,
    IgnoresRanges,      // answers every Range request with the whole file (200)
    WrongContentRange,  // answers a range with a Content-Range for other bytes than it sends
    ChangesFile,        // after `changeAfter` bytes sent, a new ETag and other content
    ClosesAtRandom,     // cuts about every other answer at a random point
  };
  struct Options {
    std::uint64_t bytesPerSecondPerConnection = 0;  // 0: as fast as it goes; else a token bucket per connection
    Misbehaviour misbehaviour = Misbehaviour::None;
    std::uint64_t changeAfter = 0;
    unsigned seed = 1;
    int stallsAnswer = 0;  // this answer (counted from 1) sends its head, then nothing
  };

  explicit DownloadStandin(std::vector<File> files);
  // On raw sockets, one request per connection, with ETag and Last-Modified, the
  // options' pace and faults.
  DownloadStandin(std::vector<File> files, Options options);
  DownloadStandin(const DownloadStandin&) = delete;
  DownloadStandin& operator=(const DownloadStandin&) = delete;

  // "http://127.0.0.1:<port>" followed by `path`.
  std::string Url(const std::string& path = "") const;

  // The byte at `offset` of every file; `version` 2 is the content after a change.
  static char ByteAt(std::uint64_t offset, int version = 1);

  // Requests that reached the raw server (Options only), and their Range headers.
  std::vector<std::string> RangesAsked() const;
  // Body bytes the raw server has sent so far.
  std::uint64_t BytesSent() const { return sent_->load(); }

 private:
  std::unique_ptr<HttplibRunner> runner_;
  std::unique_ptr<RawHttpServer> raw_;
  std::shared_ptr<std::atomic<std::uint64_t>> sent_ = std::make_shared<std::atomic<std::uint64_t>>(0);
};

}  // namespace quorvane::standins
