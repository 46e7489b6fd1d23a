#include "handoff/file_download.h"

#include "handoff/download_io.h"
#include "handoff/download_state.h"
#include "handoff/file_names.h"
#include "web/curl_support.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <system_error>
#include <vector>

namespace quorvane {
namespace {

using download_io::HeaderValue;
using download_io::OpenPart;
using download_io::ParseContentRange;
using download_io::Preallocate;
using download_io::SpeedMeter;
using download_io::WriteAt;

using SteadyClock = std::chrono::steady_clock;

constexpr std::string_view kPartSuffix = ".part";
constexpr std::string_view kStateSuffix = ".part.state";
constexpr std::uint64_t kNoEnd = std::numeric_limits<std::uint64_t>::max();

// Single: one connection, as any server allows. Probing: the length is known and one
// range request tests the server. Segmented: ranges proved to work, every connection on.
enum class Mode { Single, Probing, Segmented };

// A piece of the file one connection fetches: [start, end), written up to `done`,
// handed to writes up to `claimed` (writes run outside the lock).
struct Span {
  std::uint64_t start = 0;
  std::uint64_t claimed = 0;
  std::uint64_t done = 0;
  std::uint64_t end = kNoEnd;
  int owner = -1;       // the worker fetching it, -1 when free
  int releasedBy = -1;  // a stalled worker does not take its own span back first
};

struct Shared;

// One connection: a thread, an easy handle, and what the current answer said.
struct Worker {
  Shared* shared = nullptr;
  int index = 0;
  std::thread thread;
  std::atomic<bool> abandon{false};  // its connection stalled: its span goes to another
  std::atomic<bool> ended{false};
  std::atomic<std::int64_t> lastMove{0};  // steady nanoseconds of the last byte

  // The current request; touched only by the worker's thread, under the lock for Accept.
  std::string headers;
  long status = 0;
  bool fresh = false;
  bool ranged = false;
  std::uint64_t askedFrom = 0;
  int span = -1;
  unsigned generation = 0;
  std::uint64_t wrote = 0;
  bool selfEnded = false;  // the transfer was ended on purpose (segment done, answer refused)
};

std::int64_t Now() { return SteadyClock::now().time_since_epoch().count(); }

// Everything the workers share; the mutex guards the fields below it.
struct Shared {
  const DownloadSettings* settings = nullptr;
  const std::string* address = nullptr;
  const std::string* suggestedName = nullptr;
  const std::atomic<bool>* cancel = nullptr;
  const std::atomic<int>* connections = nullptr;
  std::atomic<bool> stop{false};
  std::atomic<std::uint64_t> received{0};
  std::atomic<std::int64_t> lastMove{0};

  std::mutex mutex;
  Mode mode = Mode::Single;
  unsigned generation = 0;  // counts restarts from byte 0; older writes are refused
  int restarts = 0;
  std::vector<Span> spans{Span{}};
  std::optional<std::uint64_t> total;
  std::string etag;
  std::string lastModified;
  bool named = false;
  bool resumable = false;  // the answers told the length: a record can be written
  int fd = -1;
  std::filesystem::path final;
  std::filesystem::path part;
  std::filesystem::path state;
  bool wholeDone = false;  // one connection ended cleanly where no length was said
  bool writeFailed = false;
  bool stalled = false;
  bool changing = false;   // the file kept changing under the download
  bool exhausted = false;  // a connection found nothing left to split: no new ones
  int limit = kMaxConnections;  // lowered when more connections bring no more speed
  int active = 0;               // workers inside their loop
  long errorStatus = 0;
  long lastStatus = 0;
  CURLcode lastCode = CURLE_OK;
  std::optional<std::uint64_t> announced;  // the length an answer gave, for the failure text
  std::string lastHeaders;                 // of the answer that ended the download cleanly
  std::condition_variable wake;            // a worker ended
  int inflight = 0;                        // writes claimed and not yet done
  std::condition_variable drained;         // inflight fell to 0

  int Connections() const { return std::clamp(connections->load(), 1, kMaxConnections); }

  std::uint64_t Finished() const {
    std::uint64_t sum = 0;
    for (const Span& span : spans) {
      sum += span.done - span.start;
    }
    return sum;
  }

  std::vector<ByteRange> FinishedRanges() const {
    std::vector<ByteRange> ranges;
    for (const Span& span : spans) {
      ranges.emplace_back(span.start, span.done);
    }
    return MergedRanges(std::move(ranges));
  }

  bool Complete() const {
    if (!total) {
      return wholeDone;
    }
    const auto finished = FinishedRanges();
    return *total == 0 || (finished.size() == 1 && finished[0] == ByteRange{0, *total});
  }

  // The file starts again from byte 0 over one connection, owned by `worker`, once
  // the writes of the old answers are through (else one could land over new bytes).
  void RestartWhole(Worker& worker, std::unique_lock<std::mutex>& lock) {
    ++generation;
    if (++restarts > std::max(1, settings->attempts)) {
      changing = true;
      stop.store(true);
    }
    mode = Mode::Single;
    spans.assign(1, Span{});
    spans[0].owner = worker.index;
    worker.span = 0;
    worker.generation = generation;
    total.reset();
    etag.clear();
    lastModified.clear();
    received.store(0);
    drained.wait(lock, [this] { return inflight == 0; });
  }
};

// Settles the file on the first answer: a part file left by an interrupted download of
// the same address is taken up (continued when the file is unchanged, else started
// over); otherwise the next free pair of names is reserved.
bool NameFile(Shared& shared, const std::string& headers, std::optional<std::uint64_t> length) {
  std::string name = NameFromContentDisposition(headers);
  if (name.empty()) {
    name = *shared.suggestedName;
  }
  if (name.empty()) {
    name = NameFromAddress(*shared.address);
  }
  const std::filesystem::path clean(CleanFileName(name));
  const std::string stem = clean.stem().string();
  const std::string extension = clean.extension().string();
  const std::filesystem::path& folder = shared.settings->folder;
  for (int attempt = 0; attempt < 10000; ++attempt) {
    const std::string candidate =
        attempt == 0 ? clean.string() : stem + " (" + std::to_string(attempt) + ")" + extension;
    const std::filesystem::path final = folder / candidate;
    const std::filesystem::path part = folder / (candidate + std::string(kPartSuffix));
    std::error_code error;
    if (!std::filesystem::exists(part, error)) {
      break;  // past the names in use: nothing left to take up
    }
    const std::filesystem::path state = folder / (candidate + std::string(kStateSuffix));
    const auto record = ReadResumeRecord(state);
    if (!record || record->address != *shared.address) {
      continue;
    }
    // The final name must be this download's empty placeholder, or free.
    const bool placeholder = std::filesystem::is_regular_file(final, error) &&
                             std::filesystem::file_size(final, error) == 0 && !error;
    if (!placeholder) {
      const int made = ::open(final.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
      if (made < 0) {
        continue;
      }
      ::close(made);
    }
    const int fd = OpenPart(part);
    if (fd < 0) {
      continue;
    }
    shared.fd = fd;
    shared.final = final;
    shared.part = part;
    shared.state = state;
    shared.named = true;
    if (length && record->Matches(*length, HeaderValue(headers, "ETag"), HeaderValue(headers, "Last-Modified"))) {
      // Unchanged on the server: only the missing ranges are fetched.
      shared.spans.clear();
      for (const ByteRange& range : record->finished) {
        shared.spans.push_back(Span{range.first, range.second, range.second, range.second, -1, -1});
      }
      for (const ByteRange& range : MissingRanges(record->finished, record->length)) {
        shared.spans.push_back(Span{range.first, range.first, range.first, range.second, -1, -1});
      }
      if (shared.spans.empty()) {
        shared.spans.push_back(Span{0, 0, 0, 0, -1, -1});
      }
      ++shared.generation;  // the first answer's pieces are gone: it only ends
      shared.received.store(shared.Finished());
    } else if (::ftruncate(fd, 0) != 0) {
      shared.writeFailed = true;
    }
    return true;
  }
  shared.final = ReserveFreePath(folder, name, kPartSuffix);
  if (shared.final.empty()) {
    return false;
  }
  shared.part = shared.final;
  shared.part += kPartSuffix;
  shared.state = shared.final;
  shared.state += kStateSuffix;
  shared.fd = OpenPart(shared.part);  // reserved above: this download's own empty file
  shared.named = true;
  return shared.fd >= 0;
}

// Decides, at an answer's first body byte, whether its bytes go into the file and
// where. Called under the lock. False ends the transfer without writing.
bool Accept(Worker& worker, CURL* handle, std::unique_lock<std::mutex>& lock) {
  Shared& shared = *worker.shared;
  if (worker.generation != shared.generation) {
    return false;  // the file started over since this request went out
  }
  curl_off_t announced = -1;
  curl_easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
  const std::string etag = HeaderValue(worker.headers, "ETag");
  const std::string lastModified = HeaderValue(worker.headers, "Last-Modified");
  if (worker.status == 206) {
    // A part of the file is written only where it belongs, and only from the same file.
    const auto range = ParseContentRange(HeaderValue(worker.headers, "Content-Range"));
    const bool sameFile = range && (!shared.total || range->total == *shared.total) &&
                          (shared.etag.empty() || etag == shared.etag) &&
                          (shared.lastModified.empty() || lastModified == shared.lastModified);
    if (range && sameFile && range->first == worker.askedFrom && (worker.ranged || range->first == 0)) {
      if (!worker.ranged && !shared.named && !NameFile(shared, worker.headers, range->total)) {
        shared.writeFailed = true;
        return false;
      }
      if (!shared.total) {
        shared.total = range->total;
        shared.spans[static_cast<std::size_t>(worker.span)].end = range->total;
      }
      if (shared.mode == Mode::Probing) {
        shared.mode = Mode::Segmented;
      }
      return true;
    }
    // Bytes from elsewhere in the file, or from another file: never written here.
    // The whole file is fetched again without ranges.
    shared.RestartWhole(worker, lock);
    return false;
  }
  if (worker.ranged) {
    // The range was ignored: the answer is the whole file, from byte 0.
    shared.RestartWhole(worker, lock);
  }
  const std::optional<std::uint64_t> length =
      announced >= 0 ? std::optional<std::uint64_t>(static_cast<std::uint64_t>(announced)) : std::nullopt;
  if (!shared.named) {
    if (!NameFile(shared, worker.headers, length)) {
      shared.writeFailed = true;
      return false;
    }
  }
  if (!shared.total && length) {
    shared.total = length;
    shared.etag = etag;
    shared.lastModified = lastModified;
    if (shared.spans.size() == 1 && shared.spans[0].start == 0 && shared.spans[0].end == kNoEnd) {
      shared.spans[0].end = *length;
    }
    Preallocate(shared.fd, *length);
    if (shared.mode == Mode::Single && shared.restarts == 0 && shared.Connections() > 1 &&
        *length >= 2 * shared.settings->minimumSplit) {
      shared.mode = Mode::Probing;
    }
  }
  shared.resumable = shared.total.has_value();
  // A download taken up from an earlier run may have byte 0 already: this answer, from
  // byte 0, then only ends, and ranged requests fetch what is missing.
  const Span& span = shared.spans[static_cast<std::size_t>(worker.span < 0 ? 0 : worker.span)];
  if (worker.span < 0 || span.owner != worker.index || span.claimed != 0) {
    if (shared.mode == Mode::Single && shared.total) {
      shared.mode = Mode::Probing;
    }
    return false;
  }
  return true;
}

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
  auto* worker = static_cast<Worker*>(user);
  const std::string_view line(data, size * count);
  if (line.starts_with("HTTP/")) {
    worker->headers.clear();
    const std::size_t space = line.find(' ');
    worker->status = space == std::string_view::npos
                         ? 0
                         : std::strtol(std::string(line.substr(space + 1, 3)).c_str(), nullptr, 10);
    worker->fresh = true;
  }
  if (worker->headers.size() < curl_support::kHeaderCap) {
    worker->headers.append(line);
  }
  return size * count;
}

struct BodyContext {
  Worker* worker;
  CURL* handle;
};

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* context = static_cast<BodyContext*>(user);
  Worker& worker = *context->worker;
  Shared& shared = *worker.shared;
  const std::size_t length = size * count;
  if (worker.status < 200 || worker.status >= 300) {
    return 0;  // an error page is not the file
  }
  std::uint64_t offset = 0;
  std::size_t take = 0;
  int fd = -1;
  {
    std::unique_lock lock(shared.mutex);
    if (worker.fresh) {
      worker.fresh = false;
      if (!Accept(worker, context->handle, lock)) {
        worker.selfEnded = true;
        return 0;
      }
    }
    if (worker.generation != shared.generation || worker.span < 0 || worker.abandon.load()) {
      worker.selfEnded = true;
      return 0;
    }
    Span& span = shared.spans[static_cast<std::size_t>(worker.span)];
    offset = span.claimed;
    take = static_cast<std::size_t>(std::min<std::uint64_t>(length, span.end - span.claimed));
    span.claimed += take;
    fd = shared.fd;
    ++shared.inflight;
  }
  const bool wrote = WriteAt(fd, data, take, offset);
  {
    std::lock_guard lock(shared.mutex);
    if (--shared.inflight == 0) {
      shared.drained.notify_all();
    }
    if (!wrote) {
      shared.writeFailed = true;
      shared.stop.store(true);
      return 0;
    }
    if (worker.generation == shared.generation) {
      shared.spans[static_cast<std::size_t>(worker.span)].done = offset + take;
    }
  }
  worker.wrote += take;
  shared.received.fetch_add(take);
  const std::int64_t now = Now();
  worker.lastMove.store(now);
  shared.lastMove.store(now);
  if (take < length) {
    worker.selfEnded = true;  // the segment is complete; another connection has the rest
    return 0;
  }
  return length;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto* worker = static_cast<Worker*>(user);
  return worker->shared->stop.load() || worker->shared->cancel->load() || worker->abandon.load() ? 1 : 0;
}

// Picks the worker's next piece under the lock: its own unfinished span, a free one,
// half of the largest remaining one, in that order. False: nothing left for it.
bool Choose(Shared& shared, Worker& worker) {
  worker.generation = shared.generation;
  const auto unfinished = [](const Span& span) { return span.claimed < span.end; };
  if (worker.span >= 0 && static_cast<std::size_t>(worker.span) < shared.spans.size() &&
      shared.spans[static_cast<std::size_t>(worker.span)].owner == worker.index &&
      unfinished(shared.spans[static_cast<std::size_t>(worker.span)])) {
    return true;
  }
  if (worker.span >= 0 && static_cast<std::size_t>(worker.span) < shared.spans.size() &&
      shared.spans[static_cast<std::size_t>(worker.span)].owner == worker.index) {
    shared.spans[static_cast<std::size_t>(worker.span)].owner = -1;
  }
  worker.span = -1;
  const auto takeFree = [&](bool ownToo) {
    for (std::size_t i = 0; i < shared.spans.size(); ++i) {
      Span& span = shared.spans[i];
      if (span.owner < 0 && unfinished(span) && (ownToo || span.releasedBy != worker.index)) {
        span.owner = worker.index;
        worker.span = static_cast<int>(i);
        return true;
      }
    }
    return false;
  };
  if (shared.mode == Mode::Single) {
    // One connection: take the rest only when nobody else is on it.
    const bool busy = std::any_of(shared.spans.begin(), shared.spans.end(),
                                  [](const Span& span) { return span.owner >= 0; });
    return !busy && takeFree(true);
  }
  if (shared.active > std::min(shared.limit, shared.Connections())) {
    return false;  // more connections than help: this one ends
  }
  if (takeFree(false)) {
    return true;
  }
  // Dynamic splitting: the upper half of the largest remaining span.
  std::size_t largest = shared.spans.size();
  std::uint64_t most = 0;
  for (std::size_t i = 0; i < shared.spans.size(); ++i) {
    const Span& span = shared.spans[i];
    if (span.end != kNoEnd && unfinished(span) && span.end - span.claimed > most) {
      most = span.end - span.claimed;
      largest = i;
    }
  }
  if (largest < shared.spans.size() && most >= 2 * shared.settings->minimumSplit) {
    Span& victim = shared.spans[largest];
    const std::uint64_t middle = victim.claimed + most / 2;
    Span taken{middle, middle, middle, victim.end, worker.index, -1};
    victim.end = middle;
    shared.spans.push_back(taken);
    worker.span = static_cast<int>(shared.spans.size() - 1);
    return true;
  }
  return takeFree(true);
}

// A connection's life: requests for its pieces until none is left, the download stops,
// or its requests keep bringing nothing.
void WorkerMain(Worker& worker) {
  Shared& shared = *worker.shared;
  const curl_support::EasyHandle easy = curl_support::NewEasyHandle();
  CURL* handle = easy.get();
  const curl_support::HeaderList headers = curl_support::MakeHeaderList({"Accept-Language: zh-cn"}, {});
  BodyContext context{&worker, handle};
  if (handle != nullptr) {
    curl_easy_setopt(handle, CURLOPT_URL, shared.address->c_str());
    curl_easy_setopt(handle, CURLOPT_USERAGENT, kDownloadUserAgent);
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, 15000L);
    curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, 256L * 1024L);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &worker);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &context);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &worker);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
  } else {
    std::lock_guard lock(shared.mutex);
    shared.lastCode = CURLE_FAILED_INIT;
  }
  const int attempts = std::max(1, shared.settings->attempts);
  {
    std::lock_guard lock(shared.mutex);
    ++shared.active;
  }
  int fruitless = 0;  // requests in a row that brought nothing (several connections)
  int performs = 0;   // requests over one connection
  std::string range;
  while (handle != nullptr && !shared.stop.load() && !shared.cancel->load()) {
    {
      std::lock_guard lock(shared.mutex);
      if (!Choose(shared, worker)) {
        if (shared.mode != Mode::Single && shared.active <= std::min(shared.limit, shared.Connections())) {
          shared.exhausted = true;
        }
        break;
      }
      const Span& span = shared.spans[static_cast<std::size_t>(worker.span)];
      worker.askedFrom = span.claimed;
      worker.ranged = span.claimed > 0 || span.start > 0 || (shared.mode != Mode::Single && span.end != kNoEnd &&
                                                             shared.total && span.end < *shared.total);
      // One connection asks for the rest as a resumed download does; several ask for
      // exactly their piece.
      range = std::to_string(span.claimed) + "-" +
              (shared.mode == Mode::Single || span.end == kNoEnd ? std::string() : std::to_string(span.end - 1));
    }
    curl_easy_setopt(handle, CURLOPT_RANGE, worker.ranged ? range.c_str() : nullptr);
    worker.headers.clear();
    worker.status = 0;
    worker.fresh = false;
    worker.wrote = 0;
    worker.selfEnded = false;
    worker.lastMove.store(Now());
    const CURLcode code = curl_easy_perform(handle);
    std::unique_lock lock(shared.mutex);
    if (worker.status != 0) {
      shared.lastStatus = worker.status;
    }
    if (worker.status != 0 && (worker.status < 200 || worker.status >= 300) && !shared.cancel->load() &&
        !(worker.ranged && worker.status == 416)) {
      shared.errorStatus = worker.status;
      shared.stop.store(true);
      break;
    }
    if (worker.ranged && worker.status == 416 && worker.generation == shared.generation) {
      shared.RestartWhole(worker, lock);  // the server cannot send a part
      continue;
    }
    if (worker.abandon.exchange(false)) {
      // Stalled: the rest of its span becomes a span of its own for another connection.
      if (worker.generation == shared.generation && worker.span >= 0) {
        Span& span = shared.spans[static_cast<std::size_t>(worker.span)];
        if (span.owner == worker.index && span.claimed < span.end) {
          Span rest{span.claimed, span.claimed, span.claimed, span.end, -1, worker.index};
          span.end = span.claimed;
          span.owner = -1;
          shared.spans.push_back(rest);
        }
      }
      worker.span = -1;
      curl_easy_setopt(handle, CURLOPT_FRESH_CONNECT, 1L);
      continue;
    }
    curl_easy_setopt(handle, CURLOPT_FRESH_CONNECT, 0L);
    if (!worker.selfEnded) {
      shared.lastCode = code;
    }
    curl_off_t length = -1;
    curl_easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    if (!shared.total && length >= 0 && worker.status >= 200 && worker.status < 300) {
      shared.announced = static_cast<std::uint64_t>(length) + (worker.status == 206 ? worker.askedFrom : 0);
    }
    if (shared.mode == Mode::Single && code == CURLE_OK && worker.generation == shared.generation &&
        (!shared.total || shared.Finished() == *shared.total)) {
      if (!shared.total && worker.span >= 0) {
        Span& span = shared.spans[static_cast<std::size_t>(worker.span)];
        span.end = span.claimed;
      }
      shared.wholeDone = true;
      shared.lastHeaders = worker.headers;
      break;
    }
    const bool giveUp = shared.mode == Mode::Single ? ++performs >= attempts
                                                    : (fruitless = worker.wrote > 0 ? 0 : fruitless + 1) >= attempts;
    if (giveUp) {
      if (worker.span >= 0 && static_cast<std::size_t>(worker.span) < shared.spans.size() &&
          shared.spans[static_cast<std::size_t>(worker.span)].owner == worker.index) {
        shared.spans[static_cast<std::size_t>(worker.span)].owner = -1;
      }
      break;
    }
  }
  std::lock_guard lock(shared.mutex);
  --shared.active;
  worker.ended.store(true);
  shared.wake.notify_all();
}

// What a transfer that ended with `code` (no stall, no error status) tells the user.
DownloadFailure FailureOf(CURLcode code) {
  switch (code) {
    case CURLE_OK:  // ended before the length the server announced
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_WRITE_ERROR:
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

// Connections are added only while they bring speed: one alone for a moment, then a
// second; all of them when the second raised the whole speed clearly (a server that
// caps each connection), else back to one (a fast server where more connections only
// share the same line and processor).
struct Ramp {
  static constexpr auto kAlone = std::chrono::milliseconds(150);
  static constexpr auto kSample = std::chrono::milliseconds(200);
  SteadyClock::time_point phaseStart{};
  std::uint64_t phaseBytes = 0;
  double alone = 0;  // bytes per second over one connection
  int phase = 0;     // 0 before the length is known, 1 one connection, 2 two, 3 decided
};

int Wanted(Shared& shared, Ramp& ramp, std::uint64_t received) {
  const auto now = SteadyClock::now();
  const auto rate = [&] {
    const double seconds = std::chrono::duration<double>(now - ramp.phaseStart).count();
    return seconds > 0 ? static_cast<double>(received - std::min(received, ramp.phaseBytes)) / seconds : 0.0;
  };
  if (shared.mode == Mode::Single) {
    return 0;
  }
  if (ramp.phase == 0) {
    ramp = {now, received, 0, shared.settings->addOnlyWhatHelps ? 1 : 3};
  }
  if (ramp.phase == 1) {
    if (now - ramp.phaseStart < Ramp::kAlone && received > 0) {
      return 1;
    }
    ramp = {now, received, rate(), 2};
  }
  if (ramp.phase == 2) {
    if (shared.mode != Mode::Segmented) {
      ramp.phaseStart = now;
      ramp.phaseBytes = received;
      return 2;
    }
    if (now - ramp.phaseStart < Ramp::kSample) {
      return 2;
    }
    ramp.phase = 3;
    if (rate() < 1.25 * ramp.alone) {
      shared.limit = 1;
    }
  }
  // Until a range answer proves the server, one connection tests it.
  return std::min(shared.mode == Mode::Probing ? 2 : shared.limit, shared.Connections());
}

}  // namespace

FileDownload::FileDownload(std::string address, std::string suggestedName, DownloadSettings settings,
                           ProgressHandler onProgress, DoneHandler onDone)
    : address_(std::move(address)), suggestedName_(std::move(suggestedName)), settings_(std::move(settings)),
      onProgress_(std::move(onProgress)), onDone_(std::move(onDone)), connections_(settings_.connections) {
  thread_ = std::thread([this] { Run(); });
}

FileDownload::~FileDownload() {
  keepForResume_.store(true);
  cancel_.store(true);
  thread_.join();
}

void FileDownload::Run() {
  Shared shared;
  shared.settings = &settings_;
  shared.address = &address_;
  shared.suggestedName = &suggestedName_;
  shared.cancel = &cancel_;
  shared.connections = &connections_;
  shared.lastMove.store(Now());

  std::vector<std::unique_ptr<Worker>> workers;
  const auto start = [&] {
    auto worker = std::make_unique<Worker>();
    worker->shared = &shared;
    worker->index = static_cast<int>(workers.size());
    worker->lastMove.store(Now());
    Worker* raw = worker.get();
    workers.push_back(std::move(worker));
    raw->thread = std::thread([raw] { WorkerMain(*raw); });
  };
  {
    std::lock_guard lock(shared.mutex);
    shared.spans[0].owner = 0;
  }
  workers.push_back(std::make_unique<Worker>());
  workers[0]->shared = &shared;
  workers[0]->span = 0;
  workers[0]->lastMove.store(Now());
  workers[0]->thread = std::thread([raw = workers[0].get()] { WorkerMain(*raw); });

  const auto tick = std::min(settings_.progressInterval, std::chrono::milliseconds(50));
  const auto stallLimit = std::chrono::duration_cast<SteadyClock::duration>(settings_.stallLimit).count();
  // A connection silent this long while others bring bytes gives its segment away.
  const auto handOver = stallLimit / 2;
  SpeedMeter meter;
  Ramp ramp;
  auto lastReport = SteadyClock::now() - settings_.progressInterval;
  auto lastRecord = SteadyClock::now();
  const auto report = [&](bool force) {
    const auto now = SteadyClock::now();
    if (!force && now - lastReport < settings_.progressInterval) {
      return;
    }
    lastReport = now;
    DownloadProgress progress;
    {
      std::lock_guard lock(shared.mutex);
      progress.fileName = shared.final.filename().string();
      progress.total = shared.total;
    }
    progress.received = shared.received.load();
    progress.bytesPerSecond = meter.Sample(progress.received);
    for (const auto& worker : workers) {
      if (!worker->ended.load() && Now() - worker->lastMove.load() < std::chrono::nanoseconds(std::chrono::seconds(1)).count()) {
        ++progress.connections;
      }
    }
    if (progress.total && progress.bytesPerSecond > 0 && *progress.total >= progress.received) {
      progress.secondsLeft = static_cast<double>(*progress.total - progress.received) / progress.bytesPerSecond;
    }
    if (onProgress_) {
      onProgress_(progress);
    }
  };
  const auto writeRecord = [&] {
    // Called under the lock.
    if (shared.named && shared.resumable && shared.total && shared.fd >= 0) {
      WriteResumeRecord(shared.state, {address_, *shared.total, shared.etag, shared.lastModified,
                                       shared.FinishedRanges()});
    }
  };

  while (true) {
    {
      std::unique_lock lock(shared.mutex);
      shared.wake.wait_for(lock, tick, [&] {
        return std::all_of(workers.begin(), workers.end(), [](const auto& w) { return w->ended.load(); });
      });
    }
    if (cancel_.load()) {
      shared.stop.store(true);
    }
    const bool allEnded = std::all_of(workers.begin(), workers.end(), [](const auto& w) { return w->ended.load(); });
    if (allEnded) {
      break;
    }
    const std::int64_t now = Now();
    if (!shared.stop.load() && now - shared.lastMove.load() >= stallLimit) {
      std::lock_guard lock(shared.mutex);
      shared.stalled = true;
      shared.stop.store(true);
    }
    {
      std::lock_guard lock(shared.mutex);
      if (!shared.stop.load() && !shared.exhausted) {
        const int wanted = Wanted(shared, ramp, shared.received.load());
        int running = 0;
        for (const auto& worker : workers) {
          running += worker->ended.load() ? 0 : 1;
        }
        for (; running < wanted && workers.size() < 4 * static_cast<std::size_t>(kMaxConnections); ++running) {
          start();
        }
        if (running > wanted && wanted == 1) {
          // The extra connection gives its piece back; the first one takes it up.
          for (std::size_t i = 1; i < workers.size(); ++i) {
            workers[i]->abandon.store(true);
          }
        }
      }
      if (!shared.stop.load()) {
        if (shared.mode == Mode::Segmented && now - shared.lastMove.load() < handOver) {
          for (const auto& worker : workers) {
            if (!worker->ended.load() && now - worker->lastMove.load() >= handOver) {
              worker->abandon.store(true);
              worker->lastMove.store(now);
            }
          }
        }
      }
      if (SteadyClock::now() - lastRecord >= std::chrono::seconds(1)) {
        lastRecord = SteadyClock::now();
        writeRecord();
      }
    }
    report(false);
  }
  for (const auto& worker : workers) {
    worker->thread.join();
  }

  DownloadResult result;
  const bool cancelled = cancel_.load();
  bool complete = false;
  {
    std::lock_guard lock(shared.mutex);
    complete = !cancelled && !shared.writeFailed && !shared.stalled && !shared.changing && shared.errorStatus == 0 &&
               shared.Complete();
    if (complete && !shared.named) {
      // An empty file: no body byte ever named one.
      if (!NameFile(shared, shared.lastHeaders, std::uint64_t{0})) {
        shared.writeFailed = true;
        complete = false;
      }
    }
    if (complete && shared.fd >= 0 &&
        ::ftruncate(shared.fd, static_cast<off_t>(shared.total.value_or(shared.Finished()))) != 0) {
      shared.writeFailed = true;
      complete = false;
    }
    const bool keep = !complete && keepForResume_.load() && shared.resumable && shared.named;
    if (keep) {
      writeRecord();
    }
    if (shared.fd >= 0 && ::close(shared.fd) != 0) {
      shared.writeFailed = true;
      complete = false;
    }
    shared.fd = -1;
    DownloadFailureFacts& facts = result.facts;
    facts.received = shared.received.load();
    facts.total = shared.total ? shared.total : shared.announced;
    facts.status = shared.errorStatus != 0 ? shared.errorStatus : shared.lastStatus;
    facts.stallLimit = settings_.stallLimit;
    std::error_code ignored;
    if (complete) {
      // Over this download's own empty placeholder; the record goes with it.
      std::filesystem::rename(shared.part, shared.final, ignored);
      result.outcome = ignored ? DownloadOutcome::Failed : DownloadOutcome::Finished;
      result.file = shared.final;
      facts.failure = ignored ? DownloadFailure::CannotRename : DownloadFailure::None;
      std::filesystem::remove(shared.state, ignored);
    } else {
      result.outcome = cancelled ? DownloadOutcome::Cancelled : DownloadOutcome::Failed;
      if (cancelled) {
        facts.failure = DownloadFailure::Cancelled;
      } else if (shared.errorStatus != 0) {
        facts.failure = DownloadFailure::ServerAnswer;
      } else if (shared.writeFailed) {
        facts.failure = DownloadFailure::CannotWrite;
      } else if (shared.stalled) {
        facts.failure = DownloadFailure::Stalled;
      } else if (shared.changing) {
        facts.failure = DownloadFailure::FileChanging;
      } else {
        facts.failure = FailureOf(shared.lastCode);
        facts.networkCode = static_cast<int>(shared.lastCode);
      }
      // Nothing half-done is left behind, unless kept to continue on the next start;
      // the names were reserved by this download.
      if (shared.named && !keep) {
        std::filesystem::remove(shared.part, ignored);
        std::filesystem::remove(shared.final, ignored);
        std::filesystem::remove(shared.state, ignored);
      }
    }
  }
  result.error = DownloadFailureText(result.facts);
  report(true);
  if (onDone_) {
    onDone_(result);
  }
}

}  // namespace quorvane
