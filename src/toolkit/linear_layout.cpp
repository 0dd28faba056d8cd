#include "toolkit/linear_layout.h"

namespace toolkit {

LinearLayout::LinearLayout(std::wstring class_name, Axis axis) : Container(std::move(class_name)), axis_(axis) {}

// Written for a column: the axis view turns a row into one and the slots
// back into the row's.
int LinearLayout::ArrangeChildren(const Rect& area) {
  const AxisView view(axis_);
  const Rect inner = view(area);
  const int dpi = host() ? host()->dpi() : 96;
  struct Item {
    Control* control;
    Edges margin;
    Size preferred;
  };
  std::vector<Item> items;
  for (auto& child : children_) {
    if (!child->visible() || child->is_float()) continue;
    items.push_back({child.get(), view(ScaleBy(child->padding(), dpi)), {}});
  }
  if (items.empty()) return 0;
  // A length down the column, clamped to the child's limits on that axis.
  auto clamp = [&view](const Control& control, int length) {
    return view.swapped() ? control.ClampWidth(length) : control.ClampHeight(length);
  };
  const int gaps = child_padding() * static_cast<int>(items.size() - 1);
  const int room = inner.height() - gaps;
  int fixed_total = 0;
  int stretch_count = 0;
  for (Item& item : items) {
    const int width = inner.width() - item.margin.left - item.margin.right;
    item.preferred = view(item.control->Measure(view(Size{width, room})));
    fixed_total += item.margin.top + item.margin.bottom;
    if (item.preferred.cy > 0) {
      fixed_total += clamp(*item.control, item.preferred.cy);
    } else {
      ++stretch_count;
    }
  }
  int remaining = std::max(0, room - fixed_total);
  int cursor = inner.top;
  int width_used = 0;  // the widest child with its margins, for a row's extent
  for (Item& item : items) {
    int height = item.preferred.cy;
    if (height > 0) {
      height = clamp(*item.control, height);
    } else {
      // Stretched children share what is left evenly; the last takes the remainder.
      height = clamp(*item.control, stretch_count > 1 ? remaining / stretch_count : remaining);
      remaining = std::max(0, remaining - height);
      --stretch_count;
    }
    const int room_across = inner.width() - item.margin.left - item.margin.right;
    const int width = item.preferred.cx > 0 ? std::min(item.preferred.cx, room_across) : room_across;
    Rect slot;
    slot.left = inner.left + item.margin.left;
    slot.right = slot.left + std::max(0, width);
    slot.top = cursor + item.margin.top;
    slot.bottom = slot.top + height;
    cursor = slot.bottom + item.margin.bottom + child_padding();
    width_used = std::max(width_used, slot.right + item.margin.right - inner.left);
    item.control->Arrange(view(slot));
  }
  // The extent down the page, which is what the container scrolls.
  return view(Size{width_used, cursor - child_padding() - inner.top}).cy;
}

int LinearLayout::MeasureContentWidth(const Rect& inner) {
  if (axis_ == Axis::kVertical) return Container::MeasureContentWidth(inner);
  const int dpi = host() ? host()->dpi() : 96;
  int width = 0;
  int count = 0;
  for (auto& child : children_) {
    if (!child->visible() || child->is_float()) continue;
    const Edges margin = ScaleBy(child->padding(), dpi);
    const int cx = child->Measure({inner.width(), inner.height() - margin.top - margin.bottom}).cx;
    width += (cx > 0 ? child->ClampWidth(cx) : 0) + margin.left + margin.right;
    ++count;
  }
  return width + child_padding() * std::max(0, count - 1);
}

}  // namespace toolkit
