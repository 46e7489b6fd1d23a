#include "handoff/aria2_agent.h"

#include "standins/raw_http_server.h"
#include "support/gbk_literal.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

extern char** environ;

namespace quorvane {
namespace {

using namespace std::chrono_literals;

int FreePort() {
  const int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
  close(probe);
  return ntohs(address.sin_port);
}

// A real aria2 daemon on a free loopback port, saving into a folder of its own.
class Aria2Daemon {
 public:
  Aria2Daemon() : port_(FreePort()), folder_(std::filesystem::temp_directory_path() / ("aria2-" + std::to_string(port_))) {
    std::filesystem::create_directories(folder_);
    const std::string portOption = "--rpc-listen-port=" + std::to_string(port_);
    const std::string dirOption = "--dir=" + folder_.string();
    std::vector<std::string> arguments = {"aria2c", "--enable-rpc", portOption, "--rpc-listen-all=false",
                                          dirOption, "--no-conf", "--quiet"};
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
      argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    started_ = posix_spawnp(&pid_, "aria2c", nullptr, nullptr, argv.data(), environ) == 0;
    for (int i = 0; started_ && i < 100 && Aria2Agent::Connect(port_) == nullptr; ++i) {
      std::this_thread::sleep_for(50ms);
    }
  }
  ~Aria2Daemon() {
    if (started_) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    std::filesystem::remove_all(folder_);
  }
  bool Started() const { return started_; }
  int Port() const { return port_; }
  const std::filesystem::path& Folder() const { return folder_; }

 private:
  int port_;
  std::filesystem::path folder_;
  pid_t pid_ = 0;
  bool started_ = false;
};

TEST(Aria2Agent, HandsTheTaskToTheDaemonWithNameAndAgent) {
  standins::RawHttpServer server(standins::Reply(standins::HttpResponse(200, "file content")));
  Aria2Daemon daemon;
  ASSERT_TRUE(daemon.Started()) << "aria2c is installed by scripts/install-deps.sh";
  std::unique_ptr<DownloadAgent> agent = Aria2Agent::Connect(daemon.Port());
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

TEST(Aria2Agent, NoDaemonMeansNoAgent) { EXPECT_EQ(Aria2Agent::Connect(FreePort()), nullptr); }

}  // namespace
}  // namespace quorvane
