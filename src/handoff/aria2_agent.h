#pragma once

#include "handoff/handoff_seams.h"

#include <memory>
#include <string>
#include <vector>

namespace quorvane {

inline constexpr int kAria2DefaultPort = 6800;

// The download manager on Linux: a local aria2 daemon reached over its JSON-RPC
// interface on 127.0.0.1. Tasks are added with aria2.addUri, the file name as its
// "out" option and the size probe's User-Agent, which net-disk servers expect.
class Aria2Agent final : public DownloadAgent {
 public:
  // An agent when aria2 answers on `port`, else none.
  static std::unique_ptr<DownloadAgent> Connect(int port = kAria2DefaultPort);

  void AddTask(std::string_view address, std::string_view fileName, std::string_view comment) override;
  void CommitTasks2(int value) override;

 private:
  explicit Aria2Agent(int port) : port_(port) {}

  int port_;
  std::vector<std::string> pending_;  // addUri calls, JSON, waiting for the commit
};

// One JSON-RPC call to aria2 on 127.0.0.1:`port`; the answer's body, empty on failure.
std::string Aria2Call(int port, const std::string& request);

}  // namespace quorvane
