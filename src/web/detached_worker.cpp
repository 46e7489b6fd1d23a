#include "web/detached_worker.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace quorvane {
namespace {

struct WorkerState {
  std::atomic<bool> abort{false};
  CompletionSignal done;
};

// Counts the workers still running, so exit can wait for them.
struct LiveWorkers {
  std::mutex mutex;
  std::condition_variable changed;
  int count = 0;
  std::atomic<bool> stopping{false};
};

LiveWorkers& Live() {
  // Never destroyed: detached workers may end after static destruction has begun.
  static LiveWorkers* live = new LiveWorkers;
  return *live;
}

}  // namespace

bool RunDetached(AbortableWork work, EventPump& pump, Clock::time_point deadline) {
  auto state = std::make_shared<WorkerState>();
  LiveWorkers& live = Live();
  if (live.stopping.load()) {
    state->abort.store(true);
  }
  {
    std::lock_guard lock(live.mutex);
    ++live.count;
  }
  std::thread([state, work = std::move(work), &live] {
    work(state->abort);
    state->done.Notify();
    std::lock_guard lock(live.mutex);
    --live.count;
    live.changed.notify_all();
  }).detach();

  pump.Wait(state->done, deadline);
  // A worker that ends after the deadline counts as late even when it has ended.
  if (Clock::now() >= deadline || !state->done.IsSet()) {
    state->abort.store(true);
    return false;
  }
  return true;
}

void StopDetachedWork(std::chrono::milliseconds patience) {
  LiveWorkers& live = Live();
  live.stopping.store(true);
  std::unique_lock lock(live.mutex);
  live.changed.wait_for(lock, patience, [&live] { return live.count == 0; });
}

bool DetachedWorkStopping() { return Live().stopping.load(); }

}  // namespace quorvane
