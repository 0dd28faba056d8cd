#include "toolkit/linear_layout.h"

namespace toolkit {

LinearLayout::LinearLayout(std::wstring class_name, Axis axis) : Container(std::move(class_name)), axis_(axis) {}

int LinearLayout::ArrangeChildren(const Rect& inner) {
  const bool vertical = axis_ == Axis::kVertical;
  const int dpi = host() ? host()->dpi() : 96;
  struct Item {
    Control* control;
    Edges margin;
    Size preferred;
  };
  std::vector<Item> items;
  for (auto& child : children_) {
    if (!child->visible() || child->is_float()) continue;
    items.push_back({child.get(), ScaleBy(child->padding(), dpi), {}});
  }
  if (items.empty()) return 0;
  const int gaps = child_padding() * static_cast<int>(items.size() - 1);
  const int along_room = (vertical ? inner.height() : inner.width()) - gaps;
  int fixed_total = 0;
  int stretch_count = 0;
  for (Item& item : items) {
    const int cross_margin = vertical ? item.margin.left + item.margin.right : item.margin.top + item.margin.bottom;
    const int along_margin = vertical ? item.margin.top + item.margin.bottom : item.margin.left + item.margin.right;
    const Size available = vertical ? Size{inner.width() - cross_margin, along_room}
                                    : Size{along_room, inner.height() - cross_margin};
    item.preferred = item.control->Measure(available);
    const int along = vertical ? item.preferred.cy : item.preferred.cx;
    if (along > 0) {
      fixed_total += (vertical ? item.control->ClampHeight(along) : item.control->ClampWidth(along)) + along_margin;
    } else {
      fixed_total += along_margin;
      ++stretch_count;
    }
  }
  int remaining = std::max(0, along_room - fixed_total);
  int cursor = vertical ? inner.top : inner.left;
  int height = 0;  // a row's extent down the page, for its vertical scrolling
  for (Item& item : items) {
    int along = vertical ? item.preferred.cy : item.preferred.cx;
    if (along > 0) {
      along = vertical ? item.control->ClampHeight(along) : item.control->ClampWidth(along);
    } else {
      along = stretch_count > 1 ? remaining / stretch_count : remaining;
      along = vertical ? item.control->ClampHeight(along) : item.control->ClampWidth(along);
      remaining = std::max(0, remaining - along);
      --stretch_count;
    }
    Rect slot;
    if (vertical) {
      const int room = inner.width() - item.margin.left - item.margin.right;
      const int cross = item.preferred.cx > 0 ? std::min(item.preferred.cx, room) : room;
      slot.left = inner.left + item.margin.left;
      slot.right = slot.left + std::max(0, cross);
      slot.top = cursor + item.margin.top;
      slot.bottom = slot.top + along;
      cursor = slot.bottom + item.margin.bottom + child_padding();
    } else {
      const int room = inner.height() - item.margin.top - item.margin.bottom;
      const int cross = item.preferred.cy > 0 ? std::min(item.preferred.cy, room) : room;
      slot.top = inner.top + item.margin.top;
      slot.bottom = slot.top + std::max(0, cross);
      slot.left = cursor + item.margin.left;
      slot.right = slot.left + along;
      cursor = slot.right + item.margin.right + child_padding();
      height = std::max(height, slot.bottom + item.margin.bottom - inner.top);
    }
    item.control->Arrange(slot);
  }
  return vertical ? cursor - child_padding() - inner.top : height;
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
