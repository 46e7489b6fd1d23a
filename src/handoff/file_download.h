#pragma once

#include "handoff/download_texts.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace quorvane {

// The same User-Agent as the size probe: download servers of net-disk services often
// refuse a request whose headers differ from the one that asked for the size.
inline constexpr const char* kDownloadUserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)";

struct DownloadProgress {
  std::string fileName;                 // UTF-8, once known
  std::uint64_t received = 0;
  std::optional<std::uint64_t> total;   // when the server said
  double bytesPerSecond = 0;            // the whole download's, over all connections
  int connections = 0;                  // connections that brought bytes in the last second
  std::optional<double> secondsLeft;    // when the size and a speed are known
};

enum class DownloadOutcome { Finished, Failed, Cancelled };

struct DownloadResult {
  DownloadOutcome outcome = DownloadOutcome::Failed;
  std::filesystem::path file;  // the finished file
  DownloadFailureFacts facts;  // why it did not finish (None when it did), what arrived of how much
  std::string error;           // that reason in words for the user, GBK
};

struct DownloadSettings {
  std::filesystem::path folder;
  int attempts = 5;                                  // a broken connection is resumed this often
  std::chrono::milliseconds stallLimit{30000};       // no byte for this long ends the download
  std::chrono::milliseconds progressInterval{100};
  int connections = 8;                               // at most this many at once, 1 … 16
  std::uint64_t minimumSplit = 1u << 20;             // no connection is given less than this
  bool addOnlyWhatHelps = true;                      // else every connection at once once ranges work
};

inline constexpr int kMaxConnections = 16;

// One file downloaded over libcurl into `settings.folder`: the name from
// Content-Disposition, else `suggestedName` (UTF-8), else from the address, cleaned,
// never replacing a file; written to "<name>.part" and renamed when complete.
// When the server answers ranges with 206 and a steady length, the file is fetched over
// several connections at once, each writing its segment in place; otherwise over one,
// resumed with a Range request after a break, or started again. A server that stops
// sending ends the download after one stall limit. Ending the object while it runs
// (the program closing) keeps "<name>.part" and "<name>.part.state", and the next
// download of the same address continues there; Cancel() removes them.
class FileDownload {
 public:
  using ProgressHandler = std::function<void(const DownloadProgress&)>;
  using DoneHandler = std::function<void(const DownloadResult&)>;

  FileDownload(std::string address, std::string suggestedName, DownloadSettings settings, ProgressHandler onProgress,
               DoneHandler onDone);
  // Cancels a download still running and waits for its thread.
  ~FileDownload();
  FileDownload(const FileDownload&) = delete;
  FileDownload& operator=(const FileDownload&) = delete;

  // Stops the download and removes what it wrote.
  void Cancel() { cancel_.store(true); }
  // How many connections it may use from now on, 1 … kMaxConnections.
  void SetConnections(int connections) { connections_.store(connections); }

 private:
  void Run();

  std::string address_;
  std::string suggestedName_;
  DownloadSettings settings_;
  ProgressHandler onProgress_;
  DoneHandler onDone_;
  std::atomic<bool> cancel_{false};
  std::atomic<bool> keepForResume_{false};
  std::atomic<int> connections_;
  std::thread thread_;
};

}  // namespace quorvane
