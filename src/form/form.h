#pragma once

#include "form/controls.h"

#include <string>
#include <string_view>

namespace quorvane {

enum class MessageButtons { Ok, YesNo };
enum class MessageIcon { None, Information, Question, Warning, Error };
enum class MessageAnswer { Ok, Yes, No };

// The window as the program's routines use it. Captions and texts are GBK. Any
// thread may call; the window carries the call out on its own thread and the caller
// waits for the result.
class Form {
 public:
  virtual ~Form() = default;

  // The caption of a label or button, the text of an edit box.
  virtual std::string Caption(Control control) = 0;
  virtual void SetCaption(Control control, std::string_view text) = 0;
  // The same, under the name the edit boxes use for it.
  std::string Text(Control control) { return Caption(control); }
  void SetText(Control control, std::string_view text) { SetCaption(control, text); }

  virtual bool Disabled(Control control) = 0;
  virtual void SetDisabled(Control control, bool disabled) = 0;
  virtual bool Visible(Control control) = 0;
  virtual void SetVisible(Control control, bool visible) = 0;
  virtual void SetWidth(Control control, int width) = 0;
  virtual void SetHeight(Control control, int height) = 0;

  // 0 stops the timer; the period it already has leaves it running undisturbed.
  virtual int TimerPeriod(Timer timer) = 0;
  virtual void SetTimerPeriod(Timer timer, int milliseconds) = 0;

  // A modal message box; returns the button chosen.
  virtual MessageAnswer ShowMessage(std::string_view text, std::string_view caption, MessageButtons buttons,
                                    MessageIcon icon) = 0;
};

}  // namespace quorvane
