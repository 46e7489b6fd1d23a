#include "app/qt/qt_event_pump.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace quorvane {
namespace {

// Whole milliseconds, rounded up so the timer never aims before the deadline.
int MillisecondsUntil(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  return static_cast<int>(std::clamp<long long>(left.count(), 0, 24LL * 3600 * 1000));
}

}  // namespace

void QtEventPump::Wait(CompletionSignal& signal, Clock::time_point deadline) {
  if (signal.IsSet() || Clock::now() >= deadline) {
    return;
  }
  // Set when our timer or the worker ended the loop; a loop that ended otherwise was
  // told to by the application, which is quitting.
  bool endedByUs = false;
  QEventLoop loop;
  QTimer deadlineTimer;
  deadlineTimer.setSingleShot(true);
  // A coarse timer may fire a few percent early, which would cut a wait short.
  deadlineTimer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&deadlineTimer, &QTimer::timeout, &loop, [&loop, &endedByUs] {
    endedByUs = true;
    loop.quit();
  });
  // The worker's thread only posts the quit; the loop runs it on this thread, and a
  // quit still queued when the loop is gone is dropped with it.
  signal.SetWaker([&loop, &endedByUs] {
    QMetaObject::invokeMethod(
        &loop,
        [&loop, &endedByUs] {
          endedByUs = true;
          loop.quit();
        },
        Qt::QueuedConnection);
  });
  // Timers round and wake-ups come late or early: only the clock says when the
  // deadline has passed.
  while (!signal.IsSet() && Clock::now() < deadline) {
    endedByUs = false;
    deadlineTimer.start(std::max(1, MillisecondsUntil(deadline)));
    loop.exec();
    if (!endedByUs) {
      break;
    }
  }
  signal.SetWaker({});
}

}  // namespace quorvane
