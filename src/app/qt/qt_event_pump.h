#pragma once

#include "web/event_pump.h"

namespace quorvane {

// Waits in a nested event loop, so timers, clicks and repaints go on while a worker
// runs. The wait ends when the worker signals, once the clock has reached the
// deadline, or when the application quits.
class QtEventPump final : public EventPump {
 public:
  void Wait(CompletionSignal& signal, Clock::time_point deadline) override;
};

}  // namespace quorvane
