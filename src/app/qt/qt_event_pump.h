#pragma once

#include "web/event_pump.h"

namespace quorvane {

// Waits in a nested event loop, so timers, clicks and repaints go on while a worker
// runs. The loop ends when the worker signals, at the deadline, or when the
// application quits.
class QtEventPump final : public EventPump {
 public:
  void Wait(CompletionSignal& signal, Clock::time_point deadline) override;
};

}  // namespace quorvane
