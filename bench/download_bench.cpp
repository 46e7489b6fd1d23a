// Download throughput of the built-in download component beside curl -o and aria2c,
// all fetching the same file from one loopback stand-in, one after the other, and the
// memory the component's process grows by meanwhile.
//   (a) every connection capped at 4 MB/s: the component with 8 connections,
//       aria2c -x8 -s8 -k1M, curl -o;
//   (b) uncapped: the component, curl -o, aria2c.
// Arguments: the sizes of (a) and (b) in MiB (256 and 1024 unless given).
#include "handoff/file_download.h"
#include "standins/download_standin.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
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

long PeakResidentKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void Print(const std::string& who, double seconds, std::uint64_t size) {
  std::printf("  %-34s %7.2f s  %8.1f MB/s\n", who.c_str(), seconds, static_cast<double>(size) / seconds / 1e6);
}

double RunTool(const std::string& who, const std::string& command, std::uint64_t size) {
  const auto start = Clock::now();
  const int status = std::system(command.c_str());
  const double seconds = Seconds(start);
  Print(status == 0 ? who : who + " (failed)", seconds, size);
  return seconds;
}

double RunOurs(const std::string& url, const std::filesystem::path& folder, int connections, std::uint64_t size) {
  const long before = PeakResidentKiB();
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
  DownloadResult result;
  DownloadSettings settings{folder};
  settings.connections = connections;
  const auto began = Clock::now();
  {
    FileDownload download(url, "", settings, {}, [&](const DownloadResult& finished) {
      std::lock_guard lock(mutex);
      result = finished;
      done = true;
      ended.notify_all();
    });
    std::unique_lock lock(mutex);
    ended.wait(lock, [&] { return done; });
  }
  const double seconds = Seconds(began);
  Print("quorvane, " + std::to_string(connections) + " connections", seconds, size);
  std::printf("  %-34s %s, peak resident grew by %ld KiB\n", "",
              result.outcome == DownloadOutcome::Finished ? "complete" : result.error.c_str(),
              PeakResidentKiB() - before);
  std::filesystem::remove(result.file);
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint64_t cappedSize = (argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 256) << 20;
  const std::uint64_t fullSize = (argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1024) << 20;
  const auto folder = std::filesystem::temp_directory_path() / ("quorvane-download-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const std::string tools = folder.string();
  const auto curl = [&](const std::string& url) {
    return "curl -s --noproxy '*' -o '" + tools + "/curl.bin' '" + url + "'";
  };
  const auto aria = [&](const std::string& url, const std::string& split) {
    return "aria2c -q --no-conf --allow-overwrite=true --file-allocation=none " + split + " -d '" + tools +
           "' -o aria2.bin '" + url + "'";
  };
  const auto clean = [&] {
    std::filesystem::remove(folder / "curl.bin");
    std::filesystem::remove(folder / "aria2.bin");
  };

  {
    standins::DownloadStandin::Options capped;
    capped.bytesPerSecondPerConnection = 4'000'000;
    standins::DownloadStandin server({{"/files/capped.bin", cappedSize}}, capped);
    const std::string url = server.Url("/files/capped.bin");
    std::printf("(a) %llu MiB, each connection capped at 4 MB/s\n",
                static_cast<unsigned long long>(cappedSize >> 20));
    const double ours = RunOurs(url, folder, 8, cappedSize);
    const double aria8 = RunTool("aria2c -x8 -s8 -k1M", aria(url, "-x8 -s8 -k1M"), cappedSize);
    const double plain = RunTool("curl -o", curl(url), cappedSize);
    clean();
    std::printf("  quorvane: %.2fx aria2c, %.2fx curl\n", aria8 / ours, plain / ours);
  }
  {
    standins::DownloadStandin server({{"/files/full.bin", fullSize}}, standins::DownloadStandin::Options{});
    const std::string url = server.Url("/files/full.bin");
    std::printf("(b) %llu MiB, uncapped\n", static_cast<unsigned long long>(fullSize >> 20));
    // The component runs first and again last, so neither the page cache nor the
    // stand-in warming up favours the tools.
    const double first = RunOurs(url, folder, 8, fullSize);
    const double plain = RunTool("curl -o", curl(url), fullSize);
    clean();
    const double ariaPlain = RunTool("aria2c", aria(url, ""), fullSize);
    clean();
    const double ariaEight = RunTool("aria2c -x8 -s8 -k1M", aria(url, "-x8 -s8 -k1M"), fullSize);
    clean();
    const double single = RunOurs(url, folder, 1, fullSize);
    const double ours = std::min(first, RunOurs(url, folder, 8, fullSize));
    std::printf("  quorvane: %.2fx the faster of curl and aria2c (one connection: %.2fx)\n",
                std::min({plain, ariaPlain, ariaEight}) / ours, std::min({plain, ariaPlain, ariaEight}) / single);
  }
  std::filesystem::remove_all(folder);
  return 0;
}
