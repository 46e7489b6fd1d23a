#pragma once

#include "web/event_pump.h"

#include <atomic>
#include <chrono>
#include <functional>

namespace quorvane {

// Work that checks `abort` now and then and stops early when it is set.
using AbortableWork = std::function<void(const std::atomic<bool>& abort)>;

// Runs `work` on a thread of its own and waits for it through `pump` until `deadline`.
// True when it finished before the deadline. Otherwise the work is told to abort and
// left to end by itself: nothing it does afterwards reaches the caller, so it must
// keep whatever it writes in state it shares by ownership (a shared_ptr), never by
// reference to the caller's frame.
bool RunDetached(AbortableWork work, EventPump& pump, Clock::time_point deadline);

// Tells every detached work still running to abort and waits up to `patience` for
// them to end: called at exit, so no worker outlives what it uses.
void StopDetachedWork(std::chrono::milliseconds patience);

}  // namespace quorvane
