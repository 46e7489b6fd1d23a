#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace quorvane {

using Clock = std::chrono::steady_clock;

// Set once by a worker when it is done; a waiter can block on it or ask to be woken.
class CompletionSignal {
 public:
  void Notify();
  bool IsSet() const;
  // True when set before the deadline.
  bool WaitUntil(Clock::time_point deadline) const;
  // `wake` runs (on the worker's thread) when the signal is set; an empty function
  // stops it. Runs at once when the signal is already set.
  void SetWaker(std::function<void()> wake);

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool set_ = false;
  std::function<void()> wake_;
};

// "Wait for this worker while the window keeps working": the window's implementation
// runs a nested event loop, the plain one blocks.
class EventPump {
 public:
  virtual ~EventPump() = default;
  // Returns when `signal` is set or the clock has reached `deadline`, never sooner; a
  // window's pump also returns when the application quits.
  virtual void Wait(CompletionSignal& signal, Clock::time_point deadline) = 0;
};

// Blocks the calling thread; for code with no window.
class BlockingEventPump final : public EventPump {
 public:
  void Wait(CompletionSignal& signal, Clock::time_point deadline) override;
};

// Calls `dispatch` every `interval` while it waits: a stand-in for a window's event
// loop where no window exists.
class PollingEventPump final : public EventPump {
 public:
  PollingEventPump(std::function<void()> dispatch, std::chrono::milliseconds interval)
      : dispatch_(std::move(dispatch)), interval_(interval) {}
  void Wait(CompletionSignal& signal, Clock::time_point deadline) override;

 private:
  std::function<void()> dispatch_;
  std::chrono::milliseconds interval_;
};

// The pump the program's waits go through: the window installs its own at start-up.
EventPump& CurrentEventPump();
void InstallEventPump(EventPump* pump);  // nullptr restores the blocking pump

}  // namespace quorvane
