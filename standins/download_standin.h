#pragma once

#include <cstdint>
#include "standins/httplib_runner.h"

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

  explicit DownloadStandin(std::vector<File> files);
  DownloadStandin(const DownloadStandin&) = delete;
  DownloadStandin& operator=(const DownloadStandin&) = delete;

  // "http://127.0.0.1:<port>" followed by `path`.
  std::string Url(const std::string& path = "") const;

  // The byte at `offset` of every file.
  static char ByteAt(std::uint64_t offset);

 private:
  HttplibRunner runner_;
};

}  // namespace quorvane::standins
