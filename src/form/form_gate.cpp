#include "form/form_gate.h"

namespace quorvane {

template <typename Result, typename Call>
Result FormGate::Pass(Result refused, Call call) {
  std::lock_guard lock(inUse_);
  if (closed_ || closing_.load()) {
    return refused;
  }
  return call();
}

void FormGate::Close(EventPump& pump) {
  closing_.store(true);
  // A call in progress holds the lock while the window thread carries it out, so
  // this thread keeps its events flowing until the call has ended.
  CompletionSignal never;
  while (!inUse_.try_lock()) {
    pump.Wait(never, Clock::now() + std::chrono::milliseconds(10));
  }
  closed_ = true;
  inUse_.unlock();
}

std::string FormGate::Caption(Control control) {
  return Pass(std::string(), [&] { return form_.Caption(control); });
}
void FormGate::SetCaption(Control control, std::string_view text) {
  Pass(0, [&] { return form_.SetCaption(control, text), 0; });
}
bool FormGate::Disabled(Control control) {
  return Pass(false, [&] { return form_.Disabled(control); });
}
void FormGate::SetDisabled(Control control, bool disabled) {
  Pass(0, [&] { return form_.SetDisabled(control, disabled), 0; });
}
bool FormGate::Visible(Control control) {
  return Pass(false, [&] { return form_.Visible(control); });
}
void FormGate::SetVisible(Control control, bool visible) {
  Pass(0, [&] { return form_.SetVisible(control, visible), 0; });
}
void FormGate::SetWidth(Control control, int width) {
  Pass(0, [&] { return form_.SetWidth(control, width), 0; });
}
void FormGate::SetHeight(Control control, int height) {
  Pass(0, [&] { return form_.SetHeight(control, height), 0; });
}
int FormGate::TimerPeriod(Timer timer) {
  return Pass(0, [&] { return form_.TimerPeriod(timer); });
}
void FormGate::SetTimerPeriod(Timer timer, int milliseconds) {
  Pass(0, [&] { return form_.SetTimerPeriod(timer, milliseconds), 0; });
}
MessageAnswer FormGate::ShowMessage(std::string_view text, std::string_view caption, MessageButtons buttons,
                                    MessageIcon icon) {
  return Pass(MessageAnswer::No, [&] { return form_.ShowMessage(text, caption, buttons, icon); });
}

}  // namespace quorvane
