#include "standins/aria2_daemon.h"

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
                                        "--no-conf", "--quiet"};
  if (!secret.empty()) {
    arguments.push_back("--rpc-secret=" + secret);
  }
  std::vector<char*> argv;
  for (std::string& argument : arguments) {
    argv.push_back(argument.data());
  }
  argv.push_back(nullptr);
  started_ = posix_spawnp(&pid_, "aria2c", nullptr, nullptr, argv.data(), environ) == 0;
}

Aria2Daemon::~Aria2Daemon() {
  if (started_) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

}  // namespace quorvane::standins
