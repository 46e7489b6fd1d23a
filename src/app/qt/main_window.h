#pragma once

#include "form/control_table.h"
#include "form/form.h"

#include <QWidget>

#include <array>
#include <functional>

class QTimer;

namespace quorvane {

// The main window: every control built from the control table, the three timers, and
// the Form the program's routines work through. Form calls from other threads are
// carried out on the window's thread while the caller waits.
class MainWindow final : public QWidget, public Form {
 public:
  // `sampleLink` (GBK) is the link box's initial text.
  explicit MainWindow(std::string_view sampleLink);
  ~MainWindow() override;

  // What the program does on a click, on a key in the link box, on a timer's tick.
  std::function<void(Control)> onClick;
  std::function<void(Control, int keyCode)> onKeyDown;
  std::function<void(Timer)> onTick;

  QWidget* Widget(Control control) const { return widgets_[static_cast<std::size_t>(control)]; }
  QTimer* TimerObject(Timer timer) const { return timers_[static_cast<std::size_t>(timer)]; }

  // Shows the window centred on its screen.
  void ShowCentred();

  std::string Caption(Control control) override;
  void SetCaption(Control control, std::string_view text) override;
  bool Disabled(Control control) override;
  void SetDisabled(Control control, bool disabled) override;
  bool Visible(Control control) override;
  void SetVisible(Control control, bool visible) override;
  void SetWidth(Control control, int width) override;
  void SetHeight(Control control, int height) override;
  int TimerPeriod(Timer timer) override;
  void SetTimerPeriod(Timer timer, int milliseconds) override;
  MessageAnswer ShowMessage(std::string_view text, std::string_view caption, MessageButtons buttons,
                            MessageIcon icon) override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* CreateControl(const ControlSpec& spec);
  template <typename Work>
  auto OnWindowThread(Work work);

  std::array<QWidget*, kControlCount> widgets_{};
  std::array<ControlKind, kControlCount> kinds_{};
  std::array<QTimer*, kTimerCount> timers_{};
  std::array<int, kTimerCount> periods_{};
  // The control that had the focus when a command disabled it; it gets the focus back
  // when it is enabled again, unless the user has moved the focus meanwhile.
  QWidget* parkedFocus_ = nullptr;
};

}  // namespace quorvane
