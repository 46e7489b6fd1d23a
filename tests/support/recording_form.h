#pragma once

#include "form/form.h"

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace quorvane::testing {

// A Form that remembers what was done to it and answers message boxes as told; for
// the logic that reaches the window from background threads.
class RecordingForm final : public Form {
 public:
  struct Message {
    std::string text, caption;
    MessageButtons buttons;
    MessageIcon icon;
  };

  MessageAnswer answer = MessageAnswer::No;

  std::string Caption(Control control) override {
    std::lock_guard lock(mutex_);
    return captions_[control];
  }
  void SetCaption(Control control, std::string_view text) override {
    std::lock_guard lock(mutex_);
    captions_[control] = std::string(text);
  }
  bool Disabled(Control control) override {
    std::lock_guard lock(mutex_);
    return disabled_[control];
  }
  void SetDisabled(Control control, bool disabled) override {
    std::lock_guard lock(mutex_);
    disabled_[control] = disabled;
  }
  bool Visible(Control control) override {
    std::lock_guard lock(mutex_);
    return visible_[control];
  }
  void SetVisible(Control control, bool visible) override {
    std::lock_guard lock(mutex_);
    visible_[control] = visible;
    changes_.push_back("visible " + std::string(ControlName(control)));
  }
  void SetWidth(Control control, int width) override {
    std::lock_guard lock(mutex_);
    changes_.push_back("width " + std::string(ControlName(control)) + " " + std::to_string(width));
  }
  void SetHeight(Control control, int height) override {
    std::lock_guard lock(mutex_);
    changes_.push_back("height " + std::string(ControlName(control)) + " " + std::to_string(height));
  }
  int TimerPeriod(Timer timer) override {
    std::lock_guard lock(mutex_);
    return periods_[timer];
  }
  void SetTimerPeriod(Timer timer, int milliseconds) override {
    std::lock_guard lock(mutex_);
    periods_[timer] = milliseconds;
  }
  MessageAnswer ShowMessage(std::string_view text, std::string_view caption, MessageButtons buttons,
                            MessageIcon icon) override {
    std::lock_guard lock(mutex_);
    messages_.push_back({std::string(text), std::string(caption), buttons, icon});
    return answer;
  }

  std::vector<Message> Messages() {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  // Visibility and size changes, in order: "visible 按钮5", "width 标签8 576".
  std::vector<std::string> Changes() {
    std::lock_guard lock(mutex_);
    return changes_;
  }

 private:
  std::mutex mutex_;
  std::map<Control, std::string> captions_;
  std::map<Control, bool> disabled_;
  std::map<Control, bool> visible_;
  std::map<Timer, int> periods_;
  std::vector<Message> messages_;
  std::vector<std::string> changes_;
};

}  // namespace quorvane::testing
