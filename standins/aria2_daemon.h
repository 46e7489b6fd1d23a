#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace quorvane::standins {

// A free TCP port on 127.0.0.1 at the moment of asking.
int FreeLoopbackPort();

// A real aria2 daemon with its JSON-RPC interface on a free loopback port, saving into
// `folder`, asking for `secret` when it is not empty; ended with this object.
// Started() is false where aria2c is missing.
class Aria2Daemon {
 public:
  explicit Aria2Daemon(std::filesystem::path folder, const std::string& secret = {});
  ~Aria2Daemon();
  Aria2Daemon(const Aria2Daemon&) = delete;
  Aria2Daemon& operator=(const Aria2Daemon&) = delete;

  bool Started() const { return started_; }
  int Port() const { return port_; }
  const std::filesystem::path& Folder() const { return folder_; }

 private:
  int port_;
  std::filesystem::path folder_;
  pid_t pid_ = 0;
  bool started_ = false;
};

}  // namespace quorvane::standins
