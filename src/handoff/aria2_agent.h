#pragma once

#include "handoff/aria2_settings.h"
#include "handoff/handoff_seams.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace quorvane {

// No answer of aria2 comes near this; a listener that sends more is no download manager.
inline constexpr std::size_t kAria2AnswerCap = 64u << 10;

// The download manager on Linux: the user's aria2 daemon reached over its JSON-RPC
// interface, every call carrying the daemon's secret. Tasks are added with aria2.addUri,
// the file name as its "out" option and the size probe's User-Agent, which net-disk
// servers expect.
class Aria2Agent final : public DownloadAgent {
 public:
  // An agent when aria2 answers there and accepts the secret, else none: the address
  // goes to no program that cannot show it is the user's daemon.
  static std::unique_ptr<DownloadAgent> Connect(const Aria2Settings& settings);

  void AddTask(std::string_view address, std::string_view fileName, std::string_view comment) override;
  void CommitTasks2(int value) override;

 private:
  explicit Aria2Agent(Aria2Settings settings) : settings_(std::move(settings)) {}

  Aria2Settings settings_;
  std::vector<std::string> pending_;  // addUri parameters, JSON, waiting for the commit
};

// One JSON-RPC call to the daemon of `settings`; `method` with the secret as its first
// parameter ("token:<secret>", left out when there is none), then `params`, the rest of
// the parameter list as JSON. It runs on a worker while the current event pump keeps
// the window working; the answer's body, empty on failure, on time-out and beyond
// kAria2AnswerCap.
std::string Aria2Call(const Aria2Settings& settings, std::string_view method, std::string_view params = {});

}  // namespace quorvane
