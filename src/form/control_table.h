#pragma once

#include "form/controls.h"

#include <span>
#include <string_view>

namespace quorvane {

enum class ControlKind { Label, LineEdit, TextBox, ScrollingTextBox, Button, Picture, Browser };

// Where a control sits, how big it is and how it starts. Texts are UTF-8 here; the
// window holds them as GBK like every other text.
struct ControlSpec {
  Control id;
  ControlKind kind;
  int x, y, width, height;
  std::string_view initialText;
  bool visible;
  bool disabled;
};

// The visible layout fills this much of the client area.
inline constexpr int kClientWidth = 576;
inline constexpr int kClientHeight = 280;

// Every control of the main window in creation order, which is also the Tab order.
// The link box's initial text is the sample share link, given apart.
std::span<const ControlSpec> MainWindowControls();

}  // namespace quorvane
