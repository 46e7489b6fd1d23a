#pragma once

#include "form/form.h"
#include "web/event_pump.h"

#include <atomic>
#include <mutex>

namespace quorvane {

// The window as background threads reach it: every call is passed on until the
// window closes. Closing waits for a call in progress (the window thread keeps
// serving it meanwhile) and refuses every later one, so no thread touches a window
// that is gone. Refused calls do nothing and read as empty, false or No.
class FormGate final : public Form {
 public:
  explicit FormGate(Form& form) : form_(form) {}

  // On the window's thread, before the window goes.
  void Close(EventPump& pump);

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

 private:
  template <typename Result, typename Call>
  Result Pass(Result refused, Call call);

  Form& form_;
  std::mutex inUse_;
  std::atomic<bool> closing_{false};
  bool closed_ = false;
};

}  // namespace quorvane
