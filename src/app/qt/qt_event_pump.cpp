#include "app/qt/qt_event_pump.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace quorvane {

void QtEventPump::Wait(CompletionSignal& signal, Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  if (signal.IsSet() || left.count() <= 0) {
    return;
  }
  QEventLoop loop;
  QTimer deadlineTimer;
  deadlineTimer.setSingleShot(true);
  QObject::connect(&deadlineTimer, &QTimer::timeout, &loop, &QEventLoop::quit);
  deadlineTimer.start(static_cast<int>(std::min<long long>(left.count(), 24LL * 3600 * 1000)));
  // The worker's thread only posts the quit; the loop runs it on this thread.
  signal.SetWaker([&loop] { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); });
  loop.exec();
  signal.SetWaker({});
}

}  // namespace quorvane
