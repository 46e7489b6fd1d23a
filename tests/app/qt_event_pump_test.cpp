#include "app/qt/qt_event_pump.h"
#include "web/detached_worker.h"

#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <thread>

namespace quorvane {
namespace {

using namespace std::chrono_literals;

// Odd lengths, so a timer that rounds to coarse steps or whole milliseconds shows it.
const std::chrono::milliseconds kWaits[] = {3ms, 47ms, 131ms, 389ms, 2003ms};

long long MicrosecondsLeft(Clock::time_point deadline) {
  return std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
}

TEST(QtEventPump, AWaitWithoutSignalLastsAtLeastUntilTheDeadline) {
  QtEventPump pump;
  for (const auto wait : kWaits) {
    CompletionSignal never;
    const Clock::time_point deadline = Clock::now() + wait;
    pump.Wait(never, deadline);
    EXPECT_LE(MicrosecondsLeft(deadline), 0) << "a wait of " << wait.count() << " ms";
  }
}

TEST(QtEventPump, WorkIsCountedLateOnlyOnceItsDeadlineHasPassed) {
  QtEventPump pump;
  for (const auto wait : kWaits) {
    const Clock::time_point deadline = Clock::now() + wait;
    const bool inTime = RunDetached(
        [](const std::atomic<bool>& abort) {
          while (!abort.load()) {
            std::this_thread::sleep_for(1ms);
          }
        },
        pump, deadline);
    EXPECT_FALSE(inTime);
    EXPECT_LE(MicrosecondsLeft(deadline), 0) << "a time-out of " << wait.count() << " ms";
  }
  StopDetachedWork(5s);
}

TEST(QtEventPump, EventsRunAndTheSignalEndsTheWaitEarly) {
  QtEventPump pump;
  CompletionSignal signal;
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
  ticker.start(10);
  std::thread worker([&signal] {
    std::this_thread::sleep_for(300ms);
    signal.Notify();
  });
  const Clock::time_point deadline = Clock::now() + 60s;
  pump.Wait(signal, deadline);
  worker.join();
  EXPECT_TRUE(signal.IsSet());
  EXPECT_LT(Clock::now(), deadline);
  EXPECT_GE(ticks, 1);  // the window's timers ran during the wait
}

TEST(QtEventPump, TheApplicationQuittingEndsTheWait) {
  // A handler waits for a worker that never ends while the user closes the program.
  QtEventPump pump;
  CompletionSignal never;
  const Clock::time_point deadline = Clock::now() + 60s;
  Clock::time_point ended;
  QTimer::singleShot(0, qApp, [&] {
    QTimer::singleShot(50, qApp, &QCoreApplication::quit);
    pump.Wait(never, deadline);
    ended = Clock::now();
  });
  QApplication::exec();
  EXPECT_LT(ended, deadline - 30s);
}

}  // namespace
}  // namespace quorvane
