#include "form/controls.h"

#include <array>

namespace quorvane {

std::string_view ControlName(Control control) {
  static constexpr std::array<std::string_view, kControlCount> names = {
      "标签1", "编辑框1", "按钮1", "按钮2", "按钮6", "按钮7", "标签11", "编辑框2", "标签2",
      "标签3", "标签4", "标签6", "标签7", "当前版本号", "标签12", "按钮5", "标签9", "图片框1",
      "图片框2", "标签8", "标签10", "编辑框3", "标签5", "编辑框4", "按钮4", "超文本浏览框1",
  };
  return names[static_cast<std::size_t>(control)];
}

std::string_view TimerName(Timer timer) {
  static constexpr std::array<std::string_view, kTimerCount> names = {"时钟1", "时钟2", "时钟3"};
  return names[static_cast<std::size_t>(timer)];
}

}  // namespace quorvane
