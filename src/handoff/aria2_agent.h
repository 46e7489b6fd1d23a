#pragma once

#include "handoff/handoff_seams.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace quorvane {

inline constexpr int kAria2DefaultPort = 6800;

// Where and how the download manager is reached.
struct Aria2Settings {
  int port = kAria2DefaultPort;                    // on 127.0.0.1
  std::chrono::milliseconds timeout{5000};         // each call, from connecting to the whole answer
};

// No answer of aria2 comes near this; a listener that sends more is no download manager.
inline constexpr std::size_t kAria2AnswerCap = 64u << 10;

// The download manager on Linux: a local aria2 daemon reached over its JSON-RPC
// interface on 127.0.0.1. Tasks are added with aria2.addUri, the file name as its
// "out" option and the size probe's User-Agent, which net-disk servers expect.
class Aria2Agent final : public DownloadAgent {
 public:
  // An agent when aria2 answers, else none.
  static std::unique_ptr<DownloadAgent> Connect(const Aria2Settings& settings = {});

  void AddTask(std::string_view address, std::string_view fileName, std::string_view comment) override;
  void CommitTasks2(int value) override;

 private:
  explicit Aria2Agent(Aria2Settings settings) : settings_(std::move(settings)) {}

  Aria2Settings settings_;
  std::vector<std::string> pending_;  // addUri calls, JSON, waiting for the commit
};

// One JSON-RPC call of `method` with `params` (a JSON array's inside, may be empty).
// It runs on a worker while the current event pump keeps the window working; the
// answer's body, empty on failure, on time-out and beyond kAria2AnswerCap.
std::string Aria2Call(const Aria2Settings& settings, std::string_view method, std::string_view params);

}  // namespace quorvane
