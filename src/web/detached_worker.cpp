#include "web/detached_worker.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

namespace quorvane {
namespace {

struct WorkerState {
  std::atomic<bool> abort{false};
  CompletionSignal done;
};

// The workers still running, so exit can stop them and wait for them.
struct LiveWorkers {
  std::mutex mutex;
  std::condition_variable changed;
  std::set<WorkerState*> running;
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
  {
    std::lock_guard lock(live.mutex);
    live.running.insert(state.get());
  }
  std::thread([state, work = std::move(work), &live] {
    work(state->abort);
    state->done.Notify();
    std::lock_guard lock(live.mutex);
    live.running.erase(state.get());
    live.changed.notify_all();
  }).detach();

  pump.Wait(state->done, deadline);
  // A worker that ends after the deadline counts as late even when it has ended; one
  // not done before it means the pump gave up waiting (the program is quitting).
  if (Clock::now() >= deadline || !state->done.IsSet()) {
    state->abort.store(true);
    return false;
  }
  return true;
}

void StopDetachedWork(std::chrono::milliseconds patience) {
  LiveWorkers& live = Live();
  std::unique_lock lock(live.mutex);
  for (WorkerState* state : live.running) {
    state->abort.store(true);
  }
  live.changed.wait_for(lock, patience, [&live] { return live.running.empty(); });
}

}  // namespace quorvane
