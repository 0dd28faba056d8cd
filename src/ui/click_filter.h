// Clicks on the web ads panel's top strip: the configured drag region moves
// the window, the region beside it minimises it (the web content draws its
// own title bar there).
#pragma once

#include "platform/windows_api.h"

namespace ui {

// InterceptWebEventX/Y and InterceptWebEventCloseX/Y, in pixels.
struct ClickRegions {
  int drag_width = 0;
  int drag_height = 0;
  int minimize_width = 0;
  int minimize_height = 0;
};

[[nodiscard]] ClickRegions ClickRegionsFromConfig();

enum class ClickAction { None, Drag, Minimize };

// `window_origin` is the window's top-left corner and `point` the click, both
// in screen coordinates.
[[nodiscard]] ClickAction ClassifyClick(const ClickRegions& regions, POINT window_origin, POINT point);

}  // namespace ui
