#include "form/control_table.h"

#include <array>

namespace quorvane {

std::span<const ControlSpec> MainWindowControls() {
  using enum ControlKind;
  static constexpr std::array<ControlSpec, kControlCount> table = {{
      {Control::标签1, Label, 8, 8, 88, 24, "百度网盘地址：", true, false},
      {Control::编辑框1, LineEdit, 96, 8, 384, 24, "", true, false},
      {Control::按钮1, Button, 496, 8, 80, 24, "获取真实地址", true, false},
      {Control::按钮2, Button, 144, 32, 80, 24, "复制地址", true, true},
      {Control::按钮6, Button, 240, 32, 80, 24, "启动迅雷下载", true, true},
      {Control::按钮7, Button, 336, 32, 80, 24, "HTTP下载", true, true},
      {Control::标签11, Label, 496, 32, 80, 24, "", true, false},
      {Control::编辑框2, TextBox, 0, 56, 576, 104, "", true, true},
      {Control::标签2, Label, 0, 160, 48, 24, "文件名：", true, false},
      {Control::标签3, Label, 48, 160, 232, 24, "", true, false},
      {Control::标签4, Label, 368, 160, 64, 24, "文件大小：", true, false},
      {Control::标签6, Label, 440, 160, 144, 24, "", true, false},
      {Control::标签7, Label, 0, 192, 56, 24, "当前版本：", true, false},
      {Control::当前版本号, Label, 56, 192, 80, 24, "v15.10.13", true, false},
      {Control::标签12, Label, 136, 192, 192, 24, "支持以下网盘获取", true, false},
      {Control::按钮5, Button, 136, 192, 200, 24, "有新版本，点击我去下载！！", false, false},
      {Control::标签9, Label, 336, 192, 240, 24, "", true, false},
      {Control::图片框1, Picture, 0, 216, 576, 32, "", true, false},
      {Control::图片框2, Picture, 0, 248, 576, 32, "", true, false},
      {Control::标签8, Label, 0, 0, 8, 24, "请下载新版本使用！！！", false, false},
      // Outside the visible area: they hold the resolve command's state, or nothing.
      {Control::标签10, Label, 592, 32, 80, 24, "", true, false},
      {Control::编辑框3, LineEdit, 488, 328, 80, 20, "0", true, false},
      {Control::标签5, Label, 304, 368, 56, 24, "", true, false},
      {Control::编辑框4, ScrollingTextBox, 600, 248, 416, 96, "", true, false},
      {Control::按钮4, Button, 472, 360, 80, 40, "播放音乐", true, false},
      {Control::超文本浏览框1, Browser, 944, 144, 32, 32, "", true, false},
  }};
  return table;
}

}  // namespace quorvane
