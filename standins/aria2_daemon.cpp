#include "standins/aria2_daemon.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace quorvane::standins {

int FreeLoopbackPort() {
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

Aria2Daemon::Aria2Daemon(std::filesystem::path folder, const std::string& secret)
    : port_(FreeLoopbackPort()), folder_(std::move(folder)) {
  std::vector<std::string> arguments = {"aria2c", "--enable-rpc", "--rpc-listen-all=false",
                                        "--rpc-listen-port=" + std::to_string(port_), "--dir=" + folder_.string(),
                                        "--no-conf", "--quiet",
                                        // never outlives the program that started it, even one that crashed
                                        "--stop-with-process=" + std::to_string(getpid())};
  if (!secret.empty()) {
    arguments.push_back("--rpc-secret=" + secret);
  }
  std::vector<char*> argv;
  for (std::string& argument : arguments) {
    argv.push_back(argument.data());
  }
  argv.push_back(nullptr);
  // Its output goes nowhere: a daemon holding a test runner's pipes would keep it waiting.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  started_ = posix_spawnp(&pid_, "aria2c", &actions, nullptr, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
}

Aria2Daemon::~Aria2Daemon() {
  if (started_) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

}  // namespace quorvane::standins
