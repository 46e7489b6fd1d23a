#pragma once

#include <string_view>

namespace quorvane {

// The main window's controls and timers, by the names the rest of the program uses
// for them: every routine reads and writes its state through these.
enum class Control {
  标签1, 编辑框1, 按钮1, 按钮2, 按钮6, 按钮7, 标签11, 编辑框2, 标签2, 标签3, 标签4, 标签6, 标签7,
  当前版本号, 标签12, 按钮5, 标签9, 图片框1, 图片框2, 标签8,
  标签10, 编辑框3, 标签5, 编辑框4, 按钮4, 超文本浏览框1,
};

enum class Timer { 时钟1, 时钟2, 时钟3 };

inline constexpr int kControlCount = 26;
inline constexpr int kTimerCount = 3;

// The control's object name in UTF-8 ("按钮1"), as tests and the window find it.
std::string_view ControlName(Control control);
std::string_view TimerName(Timer timer);

}  // namespace quorvane
