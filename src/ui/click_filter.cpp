#include "ui/click_filter.h"

#include <string>

#include "platform/text.h"
#include "startup/product_config.h"

namespace ui {
namespace {

// Decimal texts; anything else reads as 0 (the region is then empty).
int ConfigInt(const char* key) { return platform::SmallDecimal(startup::Config().Get(key)); }

bool Inside(POINT p, LONG left, LONG top, LONG right, LONG bottom) {
  return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
}

}  // namespace

ClickRegions ClickRegionsFromConfig() {
  return {ConfigInt("InterceptWebEventX"), ConfigInt("InterceptWebEventY"), ConfigInt("InterceptWebEventCloseX"),
          ConfigInt("InterceptWebEventCloseY")};
}

ClickAction ClassifyClick(const ClickRegions& regions, POINT window_origin, POINT point) {
  const LONG left = window_origin.x;
  const LONG top = window_origin.y;
  if (Inside(point, left, top, left + regions.drag_width, top + regions.drag_height)) {
    return ClickAction::Drag;
  }
  const LONG second = left + regions.drag_width;
  if (Inside(point, second, top, second + regions.minimize_width, top + regions.minimize_height)) {
    return ClickAction::Minimize;
  }
  return ClickAction::None;
}

}  // namespace ui
