#pragma once

#include "handoff/qt/gbk_qstring.h"
#include "app/qt/main_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>

#include <functional>
#include <memory>
#include <ostream>

// Failures show a QString as its text, not as a list of code units.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace quorvane::testing {

// Runs events until `done` holds or `patience` runs out; whether it holds.
inline bool WaitUntil(const std::function<bool()>& done, int patienceMilliseconds = 5000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > patienceMilliseconds) {
      return false;
    }
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

// What a message box said, as the test saw it before answering.
struct SeenMessage {
  bool shown = false;
  QString text;
  QString title;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Answers the next modal message box with `button`, whenever it appears.
inline std::shared_ptr<SeenMessage> AnswerNextMessageBox(QMessageBox::StandardButton button) {
  auto seen = std::make_shared<SeenMessage>();
  auto poll = std::make_shared<std::function<void()>>();
  *poll = [seen, button, poll] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      QTimer::singleShot(20, *poll);
      return;
    }
    seen->shown = true;
    seen->text = box->text();
    seen->title = box->windowTitle();
    seen->icon = box->icon();
    box->button(button)->click();
    *poll = nullptr;  // breaks the cycle
  };
  QTimer::singleShot(20, *poll);
  return seen;
}

// A control's caption or text as UTF-8-backed QString, for comparing with literals.
inline QString Shown(MainWindow& window, Control control) { return ToQString(window.Caption(control)); }

}  // namespace quorvane::testing
