// Download throughput of the built-in download component beside curl -o and aria2c,
// all fetching the same 1 GiB file from one loopback stand-in, one after the other,
// and the memory the component's process grows by meanwhile.
#include "handoff/file_download.h"
#include "standins/download_standin.h"

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>

namespace {

using namespace quorvane;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kSize = 1ull << 30;

long PeakResidentKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void Print(const char* who, double seconds) {
  std::printf("%-26s %7.2f s  %8.1f MB/s\n", who, seconds, static_cast<double>(kSize) / seconds / 1e6);
}

}  // namespace

int main() {
  const auto folder = std::filesystem::temp_directory_path() / ("quorvane-download-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  standins::DownloadStandin server({{"/files/one-gib.bin", kSize}});
  const std::string url = server.Url("/files/one-gib.bin");

  // The component runs first and again last, so neither the page cache nor the
  // stand-in warming up favours the tools.
  auto runOurs = [&] {
    const long before = PeakResidentKiB();
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    DownloadResult result;
    const auto began = Clock::now();
    {
      FileDownload download(url, "", DownloadSettings{folder}, {}, [&](const DownloadResult& finished) {
        std::lock_guard lock(mutex);
        result = finished;
        done = true;
        ended.notify_all();
      });
      std::unique_lock lock(mutex);
      ended.wait(lock, [&] { return done; });
    }
    const double seconds = Seconds(began);
    Print("quorvane download", seconds);
    std::printf("%-26s %s, peak resident grew by %ld KiB\n", "",
                result.outcome == DownloadOutcome::Finished ? "complete" : result.error.c_str(),
                PeakResidentKiB() - before);
    std::filesystem::remove(result.file);
    return seconds;
  };
  const double first = runOurs();

  const std::string curlFile = (folder / "curl.bin").string();
  auto start = Clock::now();
  const int curlStatus = std::system(("curl -s --noproxy '*' -o '" + curlFile + "' '" + url + "'").c_str());
  const double curl = Seconds(start);
  Print(curlStatus == 0 ? "curl -o" : "curl -o (failed)", curl);

  start = Clock::now();
  const int ariaStatus = std::system(("aria2c -q --no-conf --allow-overwrite=true --file-allocation=none -d '" +
                                      folder.string() + "' -o aria2.bin '" + url + "'")
                                         .c_str());
  const double aria = Seconds(start);
  Print(ariaStatus == 0 ? "aria2c" : "aria2c (failed)", aria);

  std::filesystem::remove(curlFile);
  std::filesystem::remove(folder / "aria2.bin");
  const double ours = std::min(first, runOurs());
  std::printf("%-26s %.2fx the faster of curl and aria2c\n", "quorvane download speed:", std::min(curl, aria) / ours);
  std::filesystem::remove_all(folder);
  return 0;
}
