#include "handoff/file_download.h"

#include "handoff/file_names.h"
#include "web/curl_support.h"

#include <cstdio>
#include <system_error>

namespace quorvane {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr std::string_view kPartSuffix = ".part";

// Everything one download keeps while libcurl calls back.
struct Transfer {
  const DownloadSettings* settings = nullptr;
  const std::string* address = nullptr;
  const std::string* suggestedName = nullptr;
  const FileDownload::ProgressHandler* onProgress = nullptr;
  const std::atomic<bool>* cancel = nullptr;

  std::string headers;               // the current answer's header block
  long status = 0;
  std::optional<std::uint64_t> total;
  std::uint64_t received = 0;        // bytes in the part file
  std::uint64_t answerOffset = 0;    // where the current answer's bytes start in the file
  bool freshAnswer = false;          // no body byte of the current answer seen yet
  std::filesystem::path final;       // reserved name
  std::filesystem::path part;
  std::FILE* file = nullptr;
  bool writeFailed = false;
  bool stalled = false;

  SteadyClock::time_point lastReport;
  SteadyClock::time_point lastMove;
  std::uint64_t bytesAtLastReport = 0;
  double bytesPerSecond = 0;

  void Report(bool force) {
    const auto now = SteadyClock::now();
    if (!force && now - lastReport < settings->progressInterval) {
      return;
    }
    const double seconds = std::chrono::duration<double>(now - lastReport).count();
    if (seconds > 0) {
      bytesPerSecond = static_cast<double>(received - bytesAtLastReport) / seconds;
    }
    lastReport = now;
    bytesAtLastReport = received;
    if (*onProgress) {
      (*onProgress)({final.filename().string(), received, total, bytesPerSecond});
    }
  }

  // The first body byte of a fresh answer settles the file: name, part file, offset.
  bool OpenFileForAnswer() {
    if (freshAnswer && status == 200 && received > 0) {
      // The server ignored the range and sends the whole file: start it again.
      std::fclose(file);
      file = std::fopen(part.c_str(), "wb");
      received = 0;
    }
    freshAnswer = false;
    if (file != nullptr) {
      return true;
    }
    // The server's name first, then the one the resolver gave, then the address's.
    std::string name = NameFromContentDisposition(headers);
    if (name.empty()) {
      name = *suggestedName;
    }
    if (name.empty()) {
      name = NameFromAddress(*address);
    }
    final = ReserveFreePath(settings->folder, name, kPartSuffix);
    if (final.empty()) {
      return false;
    }
    part = final;
    part += kPartSuffix;
    file = std::fopen(part.c_str(), "wb");  // reserved above: this download's own empty file
    if (file != nullptr) {
      std::setvbuf(file, nullptr, _IONBF, 0);  // libcurl hands over large blocks: no second copy
    }
    return file != nullptr;
  }
};

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const std::string_view line(data, size * count);
  if (line.starts_with("HTTP/")) {
    transfer->headers.clear();
    const std::size_t space = line.find(' ');
    transfer->status = space == std::string_view::npos
                           ? 0
                           : std::strtol(std::string(line.substr(space + 1, 3)).c_str(), nullptr, 10);
    transfer->answerOffset = transfer->status == 206 ? transfer->received : 0;
    transfer->total.reset();  // a size said by an earlier answer is not this one's
    transfer->freshAnswer = true;
  }
  if (transfer->headers.size() < curl_support::kHeaderCap) {
    transfer->headers.append(line);
  }
  return size * count;
}

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const std::size_t length = size * count;
  if (transfer->status < 200 || transfer->status >= 300) {
    return 0;  // an error page is not the file
  }
  if (!transfer->OpenFileForAnswer() || std::fwrite(data, 1, length, transfer->file) != length) {
    transfer->writeFailed = true;
    return 0;
  }
  transfer->received += length;
  transfer->lastMove = SteadyClock::now();
  transfer->Report(false);
  return length;
}

int OnProgress(void* user, curl_off_t total, curl_off_t, curl_off_t, curl_off_t) {
  auto* transfer = static_cast<Transfer*>(user);
  if (transfer->cancel->load()) {
    return 1;
  }
  if (total > 0 && transfer->status >= 200 && transfer->status < 300) {
    // A resumed answer counts only what is left; the whole is what came before plus that.
    transfer->total = static_cast<std::uint64_t>(total) + transfer->answerOffset;
  }
  if (SteadyClock::now() - transfer->lastMove >= transfer->settings->stallLimit) {
    transfer->stalled = true;
    return 1;
  }
  return 0;
}

// What a transfer that ended with `code` (no stall, no error status) tells the user.
DownloadFailure FailureOf(CURLcode code) {
  switch (code) {
    case CURLE_OK:  // ended before the length the server announced
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
      return DownloadFailure::ConnectionBroke;
    case CURLE_COULDNT_RESOLVE_HOST:
      return DownloadFailure::HostUnknown;
    case CURLE_COULDNT_CONNECT:
      return DownloadFailure::CannotConnect;
    case CURLE_OPERATION_TIMEDOUT:
      return DownloadFailure::ConnectTimeout;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
      return DownloadFailure::SecureConnection;
    case CURLE_TOO_MANY_REDIRECTS:
      return DownloadFailure::TooManyRedirects;
    case CURLE_UNSUPPORTED_PROTOCOL:
      return DownloadFailure::RedirectElsewhere;
    default:
      return DownloadFailure::NetworkError;
  }
}

}  // namespace

FileDownload::FileDownload(std::string address, std::string suggestedName, DownloadSettings settings,
                           ProgressHandler onProgress, DoneHandler onDone)
    : address_(std::move(address)), suggestedName_(std::move(suggestedName)), settings_(std::move(settings)),
      onProgress_(std::move(onProgress)), onDone_(std::move(onDone)) {
  thread_ = std::thread([this] { Run(); });
}

FileDownload::~FileDownload() {
  cancel_.store(true);
  thread_.join();
}

void FileDownload::Run() {
  DownloadResult result;
  Transfer transfer;
  transfer.settings = &settings_;
  transfer.address = &address_;
  transfer.suggestedName = &suggestedName_;
  transfer.onProgress = &onProgress_;
  transfer.cancel = &cancel_;
  transfer.lastReport = transfer.lastMove = SteadyClock::now();

  const curl_support::EasyHandle easy = curl_support::NewEasyHandle();
  CURL* handle = easy.get();
  const curl_support::HeaderList headers = curl_support::MakeHeaderList({"Accept-Language: zh-cn"}, {});
  if (handle != nullptr) {
    curl_easy_setopt(handle, CURLOPT_URL, address_.c_str());
    curl_easy_setopt(handle, CURLOPT_USERAGENT, kDownloadUserAgent);
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, 15000L);
    curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, 512L * 1024L);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
  }

  CURLcode code = CURLE_FAILED_INIT;
  for (int attempt = 0; handle != nullptr && attempt < std::max(1, settings_.attempts); ++attempt) {
    // After a break, ask only for what is missing; a server that answers with the
    // whole file again (200) gets the file started over.
    curl_easy_setopt(handle, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(transfer.received));
    transfer.lastMove = SteadyClock::now();
    code = curl_easy_perform(handle);
    if (code == CURLE_RANGE_ERROR && transfer.file != nullptr) {
      // The server cannot send a part: the next attempt fetches the whole file again.
      std::fclose(transfer.file);
      transfer.file = std::fopen(transfer.part.c_str(), "wb");
      transfer.received = 0;
      continue;
    }
    const bool complete = code == CURLE_OK && (!transfer.total || transfer.received == *transfer.total);
    // A stalled server gets no second stall limit: the user hears why after one.
    if (complete || cancel_.load() || transfer.writeFailed || transfer.stalled ||
        (transfer.status != 0 && (transfer.status < 200 || transfer.status >= 300))) {
      break;
    }
  }

  if (transfer.file != nullptr) {
    if (std::fclose(transfer.file) != 0) {
      transfer.writeFailed = true;
    }
    transfer.file = nullptr;
  }
  const bool complete = code == CURLE_OK && !transfer.writeFailed && transfer.status >= 200 &&
                        transfer.status < 300 && (!transfer.total || transfer.received == *transfer.total);
  if (complete && transfer.final.empty()) {
    // An empty file: no body byte ever opened one.
    transfer.OpenFileForAnswer();
    if (transfer.file != nullptr) {
      std::fclose(transfer.file);
      transfer.file = nullptr;
    }
  }
  DownloadFailureFacts& facts = result.facts;
  facts.received = transfer.received;
  facts.total = transfer.total;
  facts.status = transfer.status;
  facts.stallLimit = settings_.stallLimit;
  std::error_code ignored;
  if (complete && !transfer.final.empty()) {
    std::filesystem::rename(transfer.part, transfer.final, ignored);
    result.outcome = ignored ? DownloadOutcome::Failed : DownloadOutcome::Finished;
    result.file = transfer.final;
    facts.failure = ignored ? DownloadFailure::CannotRename : DownloadFailure::None;
  } else {
    result.outcome = cancel_.load() ? DownloadOutcome::Cancelled : DownloadOutcome::Failed;
    if (cancel_.load()) {
      facts.failure = DownloadFailure::Cancelled;
    } else if (transfer.status != 0 && (transfer.status < 200 || transfer.status >= 300)) {
      facts.failure = DownloadFailure::ServerAnswer;
    } else if (transfer.writeFailed || (complete && transfer.final.empty())) {
      facts.failure = DownloadFailure::CannotWrite;
    } else if (transfer.stalled) {
      facts.failure = DownloadFailure::Stalled;
    } else {
      facts.failure = FailureOf(code);
      facts.networkCode = static_cast<int>(code);
    }
    // Nothing half-done is left behind; both names were reserved by this download.
    if (!transfer.final.empty()) {
      std::filesystem::remove(transfer.part, ignored);
      std::filesystem::remove(transfer.final, ignored);
    }
  }
  result.error = DownloadFailureText(facts);
  transfer.Report(true);
  if (onDone_) {
    onDone_(result);
  }
}

}  // namespace quorvane
