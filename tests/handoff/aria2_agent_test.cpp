#include "handoff/aria2_agent.h"

#include "standins/aria2_daemon.h"
#include "standins/raw_http_server.h"
#include "support/gbk_literal.h"
#include "web/event_pump.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <thread>

namespace quorvane {
namespace {

using namespace std::chrono_literals;

// The daemon saves into a folder of its own, removed afterwards.
class TestDaemon {
 public:
  TestDaemon() : folder_(std::filesystem::temp_directory_path() / ("aria2-" + std::to_string(::getpid()))), daemon_(folder_) {
    for (int i = 0; daemon_.Started() && i < 100 && Aria2Agent::Connect({daemon_.Port()}) == nullptr; ++i) {
      std::this_thread::sleep_for(50ms);
    }
  }
  ~TestDaemon() { std::filesystem::remove_all(folder_); }
  const standins::Aria2Daemon& Daemon() const { return daemon_; }

 private:
  std::filesystem::path folder_;
  standins::Aria2Daemon daemon_;
};

TEST(Aria2Agent, HandsTheTaskToTheDaemonWithNameAndAgent) {
  standins::RawHttpServer server(standins::Reply(standins::HttpResponse(200, "file content")));
  TestDaemon test;
  const standins::Aria2Daemon& daemon = test.Daemon();
  ASSERT_TRUE(daemon.Started()) << "aria2c is installed by scripts/install-deps.sh";
  std::unique_ptr<DownloadAgent> agent = Aria2Agent::Connect({daemon.Port()});
  ASSERT_NE(agent, nullptr);
  agent->AddTask(server.Url("/files/a.zip?x=1&y=2"), G("演示 \"文件\".zip"), "");
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(server.RequestCount(), 0u);  // nothing goes before the commit
  agent->CommitTasks2(1);

  ASSERT_TRUE(server.WaitForRequests(1, 10s));
  const standins::RecordedRequest request = server.Requests()[0];
  EXPECT_EQ(request.Target(), "/files/a.zip?x=1&y=2");
  EXPECT_EQ(request.Header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)");
  // Saved under the name given, cleaned of what a file name cannot hold.
  const auto saved = daemon.Folder() / "演示 _文件_.zip";
  for (int i = 0; i < 100 && !std::filesystem::exists(saved); ++i) {
    std::this_thread::sleep_for(50ms);
  }
  EXPECT_TRUE(std::filesystem::exists(saved));
}

TEST(Aria2Agent, NoDaemonMeansNoAgent) { EXPECT_EQ(Aria2Agent::Connect({standins::FreeLoopbackPort()}), nullptr); }

// A listener that never answers is waited for through the program's event pump, which
// keeps dispatching, and only until the limit.
TEST(Aria2Agent, ASilentListenerIsWaitedForThroughTheEventPump) {
  standins::RawHttpServer silent([](const standins::RecordedRequest&, standins::Connection& connection) {
    while (connection.Pause(20ms)) {
    }
  });
  int dispatched = 0;
  PollingEventPump pump([&dispatched] { ++dispatched; }, 10ms);
  InstallEventPump(&pump);
  EXPECT_EQ(Aria2Agent::Connect({silent.Port(), 300ms}), nullptr);
  InstallEventPump(nullptr);
  EXPECT_GE(dispatched, 3);
  EXPECT_EQ(silent.RequestCount(), 1u);
}

// A listener that answers with more than any aria2 answer holds is no download manager.
TEST(Aria2Agent, AnOversizedAnswerIsRefused) {
  const std::string version = R"({"id":"quorvane","jsonrpc":"2.0","result":{"version":"1.36.0","padding":")";
  standins::RawHttpServer huge(standins::Reply(standins::HttpResponse(200, version + std::string(8u << 20, 'x') + "\"}}")));
  EXPECT_EQ(Aria2Agent::Connect({huge.Port()}), nullptr);
}

}  // namespace
}  // namespace quorvane
