#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

// What the download window tells the user, in the program's GBK.
namespace quorvane {

// Why a download ended without its file.
enum class DownloadFailure {
  None,
  Cancelled,
  ServerAnswer,      // an error status instead of the file
  Stalled,           // no byte for the stall limit
  ConnectionBroke,   // the answers ended before the file was complete
  HostUnknown,
  CannotConnect,
  ConnectTimeout,
  SecureConnection,  // TLS handshake or certificate
  TooManyRedirects,
  RedirectElsewhere, // a redirect to a scheme other than http or https
  NetworkError,      // any other transfer failure
  FileChanging,      // the server's file changed again and again during the download
  CannotWrite,
  CannotRename,
};

// What is known of a failed download when it ends.
struct DownloadFailureFacts {
  DownloadFailure failure = DownloadFailure::None;
  long status = 0;                      // the server's last answer
  std::uint64_t received = 0;
  std::optional<std::uint64_t> total;
  std::chrono::milliseconds stallLimit{0};
  int networkCode = 0;                  // the transfer library's code, for NetworkError
};

// The whole reason, one sentence or two; empty for None.
std::string DownloadFailureText(const DownloadFailureFacts& facts);

// "512 B", "1.5 KB", "2.0 MB", "3.4 GB".
std::string ByteCountText(double bytes);

}  // namespace quorvane
