#include "web/event_pump.h"

#include <algorithm>
#include <atomic>

namespace quorvane {

void CompletionSignal::Notify() {
  std::function<void()> wake;
  {
    std::lock_guard lock(mutex_);
    set_ = true;
    changed_.notify_all();
    // Called under the lock so a waiter that clears the waker cannot lose it mid-call.
    if (wake_) {
      wake_();
    }
  }
}

bool CompletionSignal::IsSet() const {
  std::lock_guard lock(mutex_);
  return set_;
}

bool CompletionSignal::WaitUntil(Clock::time_point deadline) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_until(lock, deadline, [this] { return set_; });
}

void CompletionSignal::SetWaker(std::function<void()> wake) {
  std::lock_guard lock(mutex_);
  wake_ = std::move(wake);
  if (set_ && wake_) {
    wake_();
  }
}

void BlockingEventPump::Wait(CompletionSignal& signal, Clock::time_point deadline) {
  signal.WaitUntil(deadline);
}

void PollingEventPump::Wait(CompletionSignal& signal, Clock::time_point deadline) {
  while (!signal.IsSet() && Clock::now() < deadline) {
    if (signal.WaitUntil(std::min(deadline, Clock::now() + interval_))) {
      break;
    }
    dispatch_();
  }
}

namespace {
BlockingEventPump blockingPump;
std::atomic<EventPump*> installedPump{nullptr};
}  // namespace

EventPump& CurrentEventPump() {
  EventPump* pump = installedPump.load();
  return pump != nullptr ? *pump : blockingPump;
}

void InstallEventPump(EventPump* pump) { installedPump.store(pump); }

}  // namespace quorvane
