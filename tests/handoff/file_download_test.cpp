#include "handoff/file_download.h"

#include "standins/download_standin.h"
#include "standins/raw_http_server.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <unistd.h>

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using standins::Connection;
using standins::HttpResponse;
using standins::RawHttpServer;
using standins::RecordedRequest;

class FileDownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("quorvane-downloads-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  // Downloads `address` and waits for the end.
  DownloadResult Download(const std::string& address, std::function<void(FileDownload&)> during = {}) {
    std::mutex mutex;
    std::condition_variable ended;
    std::optional<DownloadResult> result;
    DownloadSettings settings{folder_};
    settings.attempts = 3;
    settings.stallLimit = 3s;
    FileDownload download(address, settings, {}, [&](const DownloadResult& done) {
      std::lock_guard lock(mutex);
      result = done;
      ended.notify_all();
    });
    if (during) {
      during(download);
    }
    std::unique_lock lock(mutex);
    ended.wait_for(lock, 60s, [&] { return result.has_value(); });
    return result.value_or(DownloadResult{});
  }

  std::vector<std::string> FilesInFolder() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  static std::string Read(const std::filesystem::path& path) {
    std::string bytes(std::filesystem::file_size(path), '\0');
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file != nullptr) {
      bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
      std::fclose(file);
    }
    return bytes;
  }

  std::filesystem::path folder_;
};

TEST_F(FileDownloadTest, FiftyMegabytesArriveByteForByte) {
  constexpr std::uint64_t size = 50u << 20;
  standins::DownloadStandin server({{"/files/big.bin", size}});
  const DownloadResult result = Download(server.Url("/files/big.bin"));
  ASSERT_EQ(result.outcome, DownloadOutcome::Finished) << result.error;
  EXPECT_EQ(result.file, folder_ / "big.bin");
  const std::string bytes = Read(result.file);
  ASSERT_EQ(bytes.size(), size);
  for (std::uint64_t i = 0; i < size; i += 4093) {
    ASSERT_EQ(bytes[i], standins::DownloadStandin::ByteAt(i)) << i;
  }
  EXPECT_EQ(FilesInFolder(), std::vector<std::string>{"big.bin"});  // no part file left
}

// A file whose first answer breaks off half way; later answers honour Range when
// `ranges` is set, else send the whole file again.
standins::Handler CuttingServer(const std::string& content, bool ranges, std::vector<std::string>* rangesAsked) {
  auto answered = std::make_shared<int>(0);
  return [content, ranges, rangesAsked, answered](const RecordedRequest& request, Connection& connection) {
    const std::string range = request.Header("Range");
    rangesAsked->push_back(range);
    if ((*answered)++ == 0) {
      connection.Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(content.size()) +
                      "\r\nAccept-Ranges: bytes\r\n\r\n" + content.substr(0, content.size() / 2));
      return;
    }
    if (ranges && range.starts_with("bytes=")) {
      const std::size_t from = std::stoul(range.substr(6));
      connection.Send("HTTP/1.1 206 Partial Content\r\nContent-Length: " + std::to_string(content.size() - from) +
                      "\r\nContent-Range: bytes " + std::to_string(from) + "-" + std::to_string(content.size() - 1) +
                      "/" + std::to_string(content.size()) + "\r\n\r\n" + content.substr(from));
    } else {
      connection.Send(HttpResponse(200, content));
    }
  };
}

TEST_F(FileDownloadTest, ABrokenConnectionIsResumedWithARange) {
  std::string content;
  for (int i = 0; i < 300000; ++i) {
    content += static_cast<char>('a' + i % 23);
  }
  for (const bool ranges : {true, false}) {
    std::vector<std::string> asked;
    RawHttpServer server(CuttingServer(content, ranges, &asked));
    const DownloadResult result = Download(server.Url("/f/data.txt"));
    ASSERT_EQ(result.outcome, DownloadOutcome::Finished) << result.error;
    EXPECT_TRUE(Read(result.file) == content) << ranges;
    ASSERT_GE(asked.size(), 2u);
    EXPECT_EQ(asked[0], "");
    EXPECT_EQ(asked[1], "bytes=" + std::to_string(content.size() / 2) + "-");
    std::filesystem::remove(result.file);
  }
}

TEST_F(FileDownloadTest, NamesComeFromTheServerButStayInTheFolder) {
  RawHttpServer server(standins::Reply(
      HttpResponse(200, "#!/bin/sh\n", {"Content-Disposition: attachment; filename=\"../../evil.sh\""})));
  std::ofstream(folder_ / "_.._evil.sh") << "mine";
  const DownloadResult result = Download(server.Url("/x"));
  ASSERT_EQ(result.outcome, DownloadOutcome::Finished) << result.error;
  EXPECT_EQ(result.file, folder_ / "_.._evil (1).sh");
  EXPECT_EQ(Read(folder_ / "_.._evil.sh"), "mine");
}

TEST_F(FileDownloadTest, BrokenDownloadsSayWhyAndLeaveNothing) {
  const struct {
    std::string answer;
    std::string error;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nonly ten!!", "the connection broke after 10 of 1000 bytes"},
      {"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n", "the connection broke after 0 of 1000 bytes"},
      {HttpResponse(404, "not here"), "the server answered 404"},
  };
  for (const auto& c : cases) {
    RawHttpServer server(standins::Reply(c.answer));
    const DownloadResult result = Download(server.Url("/file.zip"));
    EXPECT_EQ(result.outcome, DownloadOutcome::Failed);
    EXPECT_EQ(result.error, c.error);
    EXPECT_TRUE(FilesInFolder().empty());
  }
}

TEST_F(FileDownloadTest, EmptyFilesAndCancelling) {
  RawHttpServer empty(standins::Reply(HttpResponse(200, "")));
  const DownloadResult result = Download(empty.Url("/empty.txt"));
  ASSERT_EQ(result.outcome, DownloadOutcome::Finished) << result.error;
  EXPECT_EQ(std::filesystem::file_size(result.file), 0u);
  std::filesystem::remove(result.file);

  RawHttpServer slow([](const RecordedRequest&, Connection& connection) {
    connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
    while (connection.Send(std::string(100, 'x')) && connection.Pause(20ms)) {
    }
  });
  const DownloadResult cancelled = Download(slow.Url("/slow.bin"), [](FileDownload& download) {
    std::this_thread::sleep_for(200ms);
    download.Cancel();
  });
  EXPECT_EQ(cancelled.outcome, DownloadOutcome::Cancelled);
  EXPECT_TRUE(FilesInFolder().empty());
}

}  // namespace
}  // namespace quorvane
