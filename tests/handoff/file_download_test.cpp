#include "handoff/file_download.h"

#include "standins/download_standin.h"
#include "standins/aria2_daemon.h"
#include "standins/raw_http_server.h"
#include "handoff/download_state.h"
#include "support/gbk_literal.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <map>
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
  DownloadResult Download(const std::string& address, std::function<void(FileDownload&)> during = {},
                          const std::string& suggestedName = "", std::chrono::milliseconds stallLimit = 3s) {
    std::mutex mutex;
    std::condition_variable ended;
    std::optional<DownloadResult> result;
    DownloadSettings settings{folder_};
    settings.attempts = 3;
    settings.stallLimit = stallLimit;
    settings.connections = connections_;
    settings.minimumSplit = minimumSplit_;
    settings.addOnlyWhatHelps = false;  // the pieces, not the heuristic, are under test
    FileDownload download(address, suggestedName, settings, onProgress_, [&](const DownloadResult& done) {
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
    if (!std::filesystem::exists(path)) {
      return "<missing>";
    }
    std::string bytes(std::filesystem::file_size(path), '\0');
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file != nullptr) {
      bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
      std::fclose(file);
    }
    return bytes;
  }

  // Whether `path` holds exactly the stand-in's file of that version and size.
  static bool HoldsStandinFile(const std::filesystem::path& path, std::uint64_t size, int version = 1) {
    const std::string bytes = Read(path);
    if (bytes.size() != size) {
      return false;
    }
    for (std::uint64_t i = 0; i < size; ++i) {
      if (bytes[i] != standins::DownloadStandin::ByteAt(i, version)) {
        return false;
      }
    }
    return true;
  }

  std::filesystem::path folder_;
  int connections_ = 8;
  std::uint64_t minimumSplit_ = 1u << 20;
  FileDownload::ProgressHandler onProgress_;
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

TEST_F(FileDownloadTest, BrokenDownloadsSayWhyInChineseAndLeaveNothing) {
  const auto stalling = [](const RecordedRequest&, Connection& connection) {
    connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 3000\r\n\r\n" + std::string(1536, 'x'));
    while (connection.Pause(20ms)) {
    }
  };
  const struct {
    standins::Handler server;
    DownloadFailure failure;
    std::string error;
    std::size_t requests;
  } cases[] = {
      {standins::Reply("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nonly ten!!"), DownloadFailure::ConnectionBroke,
       "连接中断，文件不完整（已收到 10 B / 1000 B）", 3},
      {standins::Reply("HTTP/1.1 200 OK\r\nContent-Length: 3000000\r\n\r\n"), DownloadFailure::ConnectionBroke,
       "连接中断，文件不完整（已收到 0 B / 2.9 MB）", 3},
      {standins::Reply(HttpResponse(404, "not here")), DownloadFailure::ServerAnswer,
       "服务器上没有这个文件（HTTP 404）", 1},
      {standins::Reply(HttpResponse(403, "expired")), DownloadFailure::ServerAnswer,
       "服务器拒绝了下载（HTTP 403），下载地址可能已经失效，请重新解析", 1},
      {stalling, DownloadFailure::Stalled, "服务器 1 秒没有发送数据，下载已停止（已收到 1.5 KB / 2.9 KB）", 1},
  };
  for (const auto& c : cases) {
    RawHttpServer server(c.server);
    const DownloadResult result = Download(server.Url("/file.zip"), {}, "", 300ms);
    EXPECT_EQ(result.outcome, DownloadOutcome::Failed);
    EXPECT_EQ(result.facts.failure, c.failure);
    EXPECT_EQ(result.error, G(c.error));
    EXPECT_EQ(server.RequestCount(), c.requests) << c.error;  // one stall limit, not one per attempt
    EXPECT_TRUE(FilesInFolder().empty());
  }
  const DownloadResult refused = Download("http://127.0.0.1:" + std::to_string(standins::FreeLoopbackPort()) + "/f");
  EXPECT_EQ(refused.facts.failure, DownloadFailure::CannotConnect);
  EXPECT_EQ(refused.error, G("无法连接到服务器"));
}

// The server's name first, then the name the resolver gave, then the address's last
// piece; each cleaned so it stays in the folder.
TEST_F(FileDownloadTest, TheResolvedNameIsUsedWhenTheServerNamesNone) {
  const struct {
    std::vector<std::string> headers;
    std::string suggested;
    std::string saved;
  } cases[] = {
      {{}, "示例文件.zip", "示例文件.zip"},
      {{"Content-Disposition: attachment; filename=\"server.zip\""}, "示例文件.zip", "server.zip"},
      {{}, "", "12345678"},
      {{}, "../../evil.sh", "_.._evil.sh"},
      {{}, "a/b\x01.txt", "a_b.txt"},
  };
  for (const auto& c : cases) {
    RawHttpServer server(standins::Reply(HttpResponse(200, "data", c.headers)));
    const DownloadResult result = Download(server.Url("/share/12345678?sign=1"), {}, c.suggested);
    ASSERT_EQ(result.outcome, DownloadOutcome::Finished) << result.error;
    EXPECT_EQ(result.file, folder_ / c.saved);
    EXPECT_EQ(FilesInFolder(), std::vector<std::string>{c.saved});
    std::filesystem::remove(result.file);
  }
}

// Files already in the folder under the download's names, the user's own or what a
// download left when its process died: none is touched, the download takes the next
// free pair of names, and a failed download removes only its own files.
TEST_F(FileDownloadTest, FilesAlreadyThereAreNeverTouched) {
  const struct {
    std::map<std::string, std::string> before;
    std::string answer;
    std::string saved;  // empty: the download fails
  } cases[] = {
      {{{"file.zip.part", "mine"}}, HttpResponse(200, "content"), "file (1).zip"},
      {{{"file.zip", ""}, {"file.zip.part", "half of it"}}, HttpResponse(200, "content"), "file (1).zip"},
      {{{"file.zip.part", "mine"}, {"file (1).zip", "mine too"}}, HttpResponse(200, "content"), "file (2).zip"},
      {{{"file.zip.part", "mine"}}, "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nonly ten!!", ""},
  };
  for (const auto& c : cases) {
    for (const auto& [name, content] : c.before) {
      std::ofstream(folder_ / name) << content;
    }
    RawHttpServer server(standins::Reply(c.answer));
    const DownloadResult result = Download(server.Url("/file.zip"));
    std::vector<std::string> expected;
    for (const auto& [name, content] : c.before) {
      EXPECT_EQ(Read(folder_ / name), content) << name;
      expected.push_back(name);
    }
    if (c.saved.empty()) {
      EXPECT_EQ(result.outcome, DownloadOutcome::Failed);
    } else {
      ASSERT_EQ(result.outcome, DownloadOutcome::Finished) << result.error;
      EXPECT_EQ(result.file, folder_ / c.saved);
      EXPECT_EQ(Read(result.file), "content");
      expected.push_back(c.saved);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FilesInFolder(), expected);
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
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

using Misbehaviour = standins::DownloadStandin::Misbehaviour;

// Servers that answer ranges get several connections, each with its own piece; every
// misbehaving one still ends with the right bytes: an ignored range or a Content-Range
// for other bytes than asked sends the download back to one plain request, and a file
// that changed on the server is fetched again whole.
TEST_F(FileDownloadTest, SeveralConnectionsGiveTheRightBytesFromAnyServer) {
  constexpr std::uint64_t size = 3u << 20;
  constexpr std::uint64_t kPace = 4u << 20;  // per connection: slow enough for the others to join
  minimumSplit_ = 128u << 10;
  const struct {
    standins::DownloadStandin::Options options;
    int version;         // of the file that must arrive; 0: either, but one of them whole
    int severalRanges;   // the download went over several connections: 1 yes, 0 no, -1 either
  } cases[] = {
      {{kPace}, 1, 1},
      {{kPace, Misbehaviour::IgnoresRanges}, 1, 0},
      {{kPace, Misbehaviour::WrongContentRange}, 1, 0},
      {{kPace, Misbehaviour::ChangesFile, 256u << 10}, 0, -1},  // before or after the pieces began
      {{kPace, Misbehaviour::ClosesAtRandom, 0, 7}, 1, 1},
      {{kPace, Misbehaviour::ClosesAtRandom, 0, 8}, 1, 1},
      {{kPace, Misbehaviour::None, 0, 1, 2}, 1, 1},  // one connection stalls: its piece is handed over
  };
  for (const auto& c : cases) {
    const int which = static_cast<int>(&c - cases);
    standins::DownloadStandin server({{"/files/big.bin", size}}, c.options);
    const DownloadResult result = Download(server.Url("/files/big.bin"), {}, "", 1s);
    ASSERT_EQ(result.outcome, DownloadOutcome::Finished) << which << " " << result.error;
    EXPECT_EQ(result.file, folder_ / "big.bin");
    EXPECT_TRUE(c.version == 0 ? HoldsStandinFile(result.file, size, 1) || HoldsStandinFile(result.file, size, 2)
                               : HoldsStandinFile(result.file, size, c.version))
        << which;
    EXPECT_EQ(FilesInFolder(), std::vector<std::string>{"big.bin"}) << which;
    const auto ranges = server.RangesAsked();
    const auto closed = std::count_if(ranges.begin(), ranges.end(), [](const std::string& range) {
      return range.starts_with("bytes=") && range.back() != '-';
    });
    if (c.severalRanges >= 0) {
      EXPECT_EQ(closed >= 2, c.severalRanges == 1) << which << ": " << closed;
    }
    std::filesystem::remove(result.file);
  }
}

// A download ended with the program keeps its part file and a record of what
// arrived; the next download of the same address continues there when the server's
// file is unchanged, starts over in the same place when it changed, and a record for
// another address is left alone.
TEST_F(FileDownloadTest, AnInterruptedDownloadContinuesOnTheNextStart) {
  constexpr std::uint64_t size = 4u << 20;
  minimumSplit_ = 128u << 10;
  const struct {
    std::string recordAddress;  // empty: the download's own
    std::string recordEtag;     // empty: the one the server gave
    std::string saved;
    bool continues;
  } cases[] = {
      {"", "", "big.bin", true},
      {"", "\"changed\"", "big.bin", false},
      {"http://elsewhere/big.bin", "", "big (1).bin", false},
  };
  for (const auto& c : cases) {
    standins::DownloadStandin server({{"/files/big.bin", size}}, {size / 4});  // about 4 s over one connection
    const std::string address = server.Url("/files/big.bin");
    std::atomic<std::uint64_t> received{0};
    onProgress_ = [&received](const DownloadProgress& progress) { received.store(progress.received); };
    {
      DownloadSettings settings{folder_};
      settings.minimumSplit = minimumSplit_;
      FileDownload interrupted(address, "", settings, onProgress_, {});
      for (int i = 0; i < 500 && received.load() < size / 4; ++i) {
        std::this_thread::sleep_for(10ms);
      }
    }
    onProgress_ = {};
    const auto state = folder_ / "big.bin.part.state";
    auto record = ReadResumeRecord(state);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->address, address);
    EXPECT_EQ(record->length, size);
    ASSERT_FALSE(record->finished.empty());
    if (!c.recordAddress.empty() || !c.recordEtag.empty()) {
      record->address = c.recordAddress.empty() ? record->address : c.recordAddress;
      record->etag = c.recordEtag.empty() ? record->etag : c.recordEtag;
      ASSERT_TRUE(WriteResumeRecord(state, *record));
    }
    const std::string leftPart = Read(folder_ / "big.bin.part");
    const std::uint64_t sentBefore = server.BytesSent();

    const DownloadResult result = Download(address);
    ASSERT_EQ(result.outcome, DownloadOutcome::Finished) << result.error;
    EXPECT_EQ(result.file, folder_ / c.saved);
    EXPECT_TRUE(HoldsStandinFile(result.file, size));
    const std::uint64_t sentAgain = server.BytesSent() - sentBefore;
    EXPECT_EQ(sentAgain < size - size / 8, c.continues) << sentAgain;
    if (c.recordAddress.empty()) {
      EXPECT_EQ(FilesInFolder(), std::vector<std::string>{c.saved});
    } else {
      // Another download's part file, placeholder and record stay as they were.
      EXPECT_EQ(Read(folder_ / "big.bin.part"), leftPart);
      EXPECT_EQ(FilesInFolder(), (std::vector<std::string>{"big (1).bin", "big.bin", "big.bin.part",
                                                           "big.bin.part.state"}));
    }
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
}

}  // namespace
}  // namespace quorvane
