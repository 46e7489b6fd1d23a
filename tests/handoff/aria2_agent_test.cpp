#include "handoff/aria2_agent.h"

#include "standins/aria2_daemon.h"
#include "standins/raw_http_server.h"
#include "support/gbk_literal.h"
#include "web/event_pump.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <optional>
#include <thread>

namespace quorvane {
namespace {

using namespace std::chrono_literals;

Aria2Settings Loopback(int port, std::string secret = {}) {
  Aria2Settings settings;
  settings.port = port;
  settings.secret = std::move(secret);
  return settings;
}

// The daemon saves into a folder of its own, removed afterwards.
class TestDaemon {
 public:
  explicit TestDaemon(const std::string& secret = {})
      : folder_(std::filesystem::temp_directory_path() / ("aria2-" + std::to_string(::getpid()))),
        daemon_(std::in_place, folder_, secret) {
    for (int i = 0; daemon_->Started() && i < 100 && Aria2Agent::Connect(Settings(secret)) == nullptr; ++i) {
      std::this_thread::sleep_for(50ms);
    }
  }
  // The daemon ends first: while it lives it may still be writing into the folder.
  ~TestDaemon() {
    daemon_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  const standins::Aria2Daemon& Daemon() const { return *daemon_; }
  Aria2Settings Settings(const std::string& secret) const { return Loopback(daemon_->Port(), secret); }

 private:
  std::filesystem::path folder_;
  std::optional<standins::Aria2Daemon> daemon_;
};

TEST(Aria2Agent, HandsTheTaskToTheDaemonWithNameAndAgent) {
  standins::RawHttpServer server(standins::Reply(standins::HttpResponse(200, "file content")));
  TestDaemon test;
  const standins::Aria2Daemon& daemon = test.Daemon();
  ASSERT_TRUE(daemon.Started()) << "aria2c is installed by scripts/install-deps.sh";
  std::unique_ptr<DownloadAgent> agent = Aria2Agent::Connect(test.Settings(""));
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

TEST(Aria2Agent, NoDaemonMeansNoAgent) { EXPECT_EQ(Aria2Agent::Connect(Loopback(standins::FreeLoopbackPort())), nullptr); }

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
  Aria2Settings settings = Loopback(silent.Port());
  settings.timeout = 300ms;
  EXPECT_EQ(Aria2Agent::Connect(settings), nullptr);
  InstallEventPump(nullptr);
  EXPECT_GE(dispatched, 3);
  EXPECT_EQ(silent.RequestCount(), 1u);
}

// A listener that answers with more than any aria2 answer holds is no download manager.
TEST(Aria2Agent, AnOversizedAnswerIsRefused) {
  const std::string version = R"({"id":"quorvane","jsonrpc":"2.0","result":{"version":"1.36.0","padding":")";
  standins::RawHttpServer huge(standins::Reply(standins::HttpResponse(200, version + std::string(8u << 20, 'x') + "\"}}")));
  EXPECT_EQ(Aria2Agent::Connect(Loopback(huge.Port())), nullptr);
}

TEST(Aria2Agent, ADaemonWithASecretTakesTasksGivenThatSecret) {
  standins::RawHttpServer server(standins::Reply(standins::HttpResponse(200, "file content")));
  TestDaemon test("s3cr\"et");
  ASSERT_TRUE(test.Daemon().Started());
  std::unique_ptr<DownloadAgent> agent = Aria2Agent::Connect(test.Settings("s3cr\"et"));
  ASSERT_NE(agent, nullptr);
  agent->AddTask(server.Url("/files/b.zip"), "b.zip", "");
  agent->CommitTasks2(1);
  ASSERT_TRUE(server.WaitForRequests(1, 10s));
  EXPECT_EQ(server.Requests()[0].Target(), "/files/b.zip");
}

TEST(Aria2Agent, ADaemonWithASecretIsNoAgentWithoutIt) {
  TestDaemon test("s3cret");
  ASSERT_TRUE(test.Daemon().Started());
  ASSERT_NE(Aria2Agent::Connect(test.Settings("s3cret")), nullptr);  // it is up
  for (const char* secret : {"", "wrong", "s3cre"}) {
    EXPECT_EQ(Aria2Agent::Connect(test.Settings(secret)), nullptr) << secret;
  }
}

// Every call names the secret as its first parameter, the task's own after it.
TEST(Aria2Agent, EveryCallCarriesTheToken) {
  standins::RawHttpServer daemon(standins::Reply(standins::HttpResponse(
      200, R"({"id":"quorvane","jsonrpc":"2.0","result":{"enabledFeatures":[],"version":"1.36.0"}})")));
  std::unique_ptr<DownloadAgent> agent = Aria2Agent::Connect(Loopback(daemon.Port(), "k"));
  ASSERT_NE(agent, nullptr);
  agent->AddTask("http://h.test/a.zip", "a.zip", "");
  agent->CommitTasks2(1);
  ASSERT_TRUE(daemon.WaitForRequests(2, 5s));
  const std::vector<standins::RecordedRequest> requests = daemon.Requests();
  EXPECT_EQ(requests[0].requestLine, "POST /jsonrpc HTTP/1.1");
  EXPECT_EQ(requests[0].body, R"({"jsonrpc":"2.0","id":"quorvane","method":"aria2.getVersion","params":["token:k"]})");
  EXPECT_EQ(requests[1].body,
            R"j({"jsonrpc":"2.0","id":"quorvane","method":"aria2.addUri","params":["token:k",["http://h.test/a.zip"],)j"
            R"j({"user-agent":"Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)","out":"a.zip"}]})j");
}

// Only an answer with a result shows the daemon took the secret.
TEST(Aria2Agent, AnErrorAnswerIsNoAgent) {
  standins::RawHttpServer daemon(standins::Reply(standins::HttpResponse(
      200, R"({"id":"quorvane","jsonrpc":"2.0","error":{"code":1,"message":"Unauthorized","data":{"version":"1"}}})")));
  EXPECT_EQ(Aria2Agent::Connect(Loopback(daemon.Port(), "k")), nullptr);
}

}  // namespace
}  // namespace quorvane
