#include "toolkit/containers.h"

#include "platform/text.h"

namespace toolkit {
namespace {

constexpr int kScrollBarWidth = 6;  // 96-DPI units
constexpr Argb kScrollThumb = 0x80808080;

}  // namespace

Container::Container(std::wstring class_name) : Control(std::move(class_name)) {}

bool Container::ApplyAttribute(std::wstring_view name, const std::wstring& value) {
  if (name == L"inset") inset_ = ParseEdges(value).value_or(Edges{});
  else if (name == L"childpadding") child_padding_ = std::max(0, ParseInt(value).value_or(0));
  else if (name == L"vscrollbar") vertical_scroll_ = ParseBool(value).value_or(false);
  else if (name == L"hscrollbar" || name == L"childalign" || name == L"childvalign" || name == L"scrollstepsize") {
  } else {
    return Control::ApplyAttribute(name, value);
  }
  NeedLayout();
  return true;
}

std::optional<std::wstring> Container::GetAttribute(std::wstring_view name) const {
  if (name == L"scrollpos") return platform::DecimalText(scroll_offset_);
  return Control::GetAttribute(name);
}

Rect Container::InnerRect() const { return rect_.Deflate(host() ? ScaleBy(inset_, host()->dpi()) : inset_); }

void Container::Arrange(const Rect& rect) {
  Control::Arrange(rect);
  const Rect inner = InnerRect();
  content_extent_ = ArrangeChildren(inner.Offset(0, -scroll_offset_));
  const int before = scroll_offset_;
  ClampScroll();
  if (before != scroll_offset_) content_extent_ = ArrangeChildren(inner.Offset(0, -scroll_offset_));
  ArrangeFloatChildren();
}

void Container::ClampScroll() {
  const int room = InnerRect().height();
  const int max_offset = vertical_scroll_ ? std::max(0, content_extent_ - room) : 0;
  scroll_offset_ = std::clamp(scroll_offset_, 0, max_offset);
}

int Container::ArrangeChildren(const Rect& inner) {
  int extent = 0;
  for (auto& child : children_) {
    if (!child->visible() || child->is_float()) continue;
    const Edges margin = ScaleBy(child->padding(), host() ? host()->dpi() : 96);
    Rect slot = inner.Deflate(margin);
    const Size preferred = child->Measure({slot.width(), slot.height()});
    if (preferred.cx > 0) slot.right = slot.left + std::min(preferred.cx, slot.width());
    if (preferred.cy > 0) slot.bottom = slot.top + std::min(preferred.cy, slot.height());
    child->Arrange(slot);
    extent = std::max(extent, slot.bottom - inner.top + margin.bottom);
  }
  return extent;
}

void Container::ArrangeFloatChildren() {
  for (auto& child : children_) {
    if (child->visible() && child->is_float()) child->Arrange(child->FloatRect(rect_));
  }
}

bool Container::ScrollBy(int delta) {
  if (!vertical_scroll_) return false;
  const int before = scroll_offset_;
  scroll_offset_ -= delta;
  ClampScroll();
  if (before == scroll_offset_) return false;
  const Rect inner = InnerRect();
  content_extent_ = ArrangeChildren(inner.Offset(0, -scroll_offset_));
  ArrangeFloatChildren();
  Invalidate();
  return true;
}

void Container::ScrollIntoView(const Control* child) {
  if (!vertical_scroll_ || child == nullptr) return;
  const Rect inner = InnerRect();
  const Rect r = child->rect();
  int delta = 0;
  if (r.top < inner.top) delta = inner.top - r.top;
  else if (r.bottom > inner.bottom) delta = inner.bottom - r.bottom;
  if (delta != 0) (void)ScrollBy(delta);
}

void Container::PaintChildren(Painter& painter, const Rect& dirty) {
  const Rect inner = InnerRect();
  {
    ScopedClip clip(painter, inner.Intersect(dirty));
    for (auto& child : children_) {
      if (!child->is_float() && child->rect().Intersects(inner)) child->Paint(painter, dirty);
    }
  }
  for (auto& child : children_) {
    if (child->is_float()) child->Paint(painter, dirty);
  }
  const int room = inner.height();
  if (vertical_scroll_ && content_extent_ > room && room > 0) {
    const int width = painter.Scale(kScrollBarWidth);
    const int thumb = std::max(painter.Scale(16), room * room / content_extent_);
    const int top = inner.top + (room - thumb) * scroll_offset_ / std::max(1, content_extent_ - room);
    painter.FillRect({rect_.right - width, top, rect_.right, top + thumb}, kScrollThumb, width / 2);
  }
}

bool Container::Overflows() const {
  return vertical_scroll_ && content_extent_ > InnerRect().height() && InnerRect().height() > 0;
}

Rect Container::ScrollTrack() const {
  return {rect_.right - Scale(kScrollBarWidth), InnerRect().top, rect_.right, InnerRect().bottom};
}

bool Container::HandleEvent(const UiEvent& event) {
  if (!Overflows()) return Control::HandleEvent(event);
  const int room = InnerRect().height();
  switch (event.type) {
    case UiEventType::kButtonDown:
      dragging_thumb_ = true;
      drag_start_y_ = event.point.y;
      drag_start_offset_ = scroll_offset();
      return true;
    case UiEventType::kMouseMove:
      if (dragging_thumb_) {
        // The thumb moves with the pointer: its travel maps onto the content's.
        const int thumb = std::max(Scale(16), room * room / content_extent_);
        const int travel = std::max(1, room - thumb);
        const int wanted = drag_start_offset_ +
                           static_cast<int>(static_cast<long long>(event.point.y - drag_start_y_) * (content_extent_ - room) / travel);
        (void)ScrollBy(scroll_offset() - wanted);
      }
      return true;
    case UiEventType::kButtonUp:
      dragging_thumb_ = false;
      return true;
    default:
      return Control::HandleEvent(event);
  }
}

Control* Container::HitTest(Point point) {
  if (!visible() || !rect_.Contains(point)) return nullptr;
  if (Overflows() && ScrollTrack().Contains(point)) return this;
  for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
    if ((*it)->is_float()) {
      if (Control* hit = (*it)->HitTest(point)) return hit;
    }
  }
  if (InnerRect().Contains(point)) {
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
      if (!(*it)->is_float()) {
        if (Control* hit = (*it)->HitTest(point)) return hit;
      }
    }
  }
  return TakesMouse() && (bk_color_ != 0 || !bk_image_.empty()) ? this : nullptr;
}

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
    }
    item.control->Arrange(slot);
  }
  return cursor - child_padding() - (vertical ? inner.top : inner.left);
}

TileLayout::TileLayout() : Container(L"TileLayout") {}

bool TileLayout::ApplyAttribute(std::wstring_view name, const std::wstring& value) {
  if (name == L"columns") columns_ = std::clamp(ParseInt(value).value_or(0), 0, 1000);
  else if (name == L"itemsize") item_size_ = ParseSize(value).value_or(Size{});
  else return Container::ApplyAttribute(name, value);
  NeedLayout();
  return true;
}

int TileLayout::ArrangeChildren(const Rect& inner) {
  const int item_width = Scale(item_size_.cx);
  int columns = columns_;
  if (columns <= 0) columns = item_width > 0 ? std::max(1, (inner.width() + child_padding()) / (item_width + child_padding())) : 1;
  const int cell_width = item_width > 0 && columns_ <= 0 ? item_width
                                                        : std::max(0, (inner.width() - child_padding() * (columns - 1)) / columns);
  int column = 0;
  int top = inner.top;
  int row_height = 0;
  for (auto& child : children_) {
    if (!child->visible() || child->is_float()) continue;
    const Size preferred = child->Measure({cell_width, inner.height()});
    const int cell_height = item_size_.cy > 0 ? Scale(item_size_.cy) : (preferred.cy > 0 ? preferred.cy : cell_width);
    const int left = inner.left + column * (cell_width + child_padding());
    const Edges margin = ScaleBy(child->padding(), host() ? host()->dpi() : 96);
    child->Arrange(Rect{left, top, left + cell_width, top + cell_height}.Deflate(margin));
    row_height = std::max(row_height, cell_height);
    if (++column == columns) {
      column = 0;
      top += row_height + child_padding();
      row_height = 0;
    }
  }
  return top + row_height - inner.top;
}

TabLayout::TabLayout() : Container(L"TabLayout") {}

bool TabLayout::ApplyAttribute(std::wstring_view name, const std::wstring& value) {
  if (name == L"selectedid") {
    // Applied before the children exist; FinishBuild checks the range.
    selected_ = std::max(0, ParseInt(value).value_or(0));
    if (!children_.empty()) FinishBuild();
    return true;
  }
  return Container::ApplyAttribute(name, value);
}

void TabLayout::FinishBuild() {
  if (selected_ >= static_cast<int>(children_.size())) selected_ = 0;
  for (size_t i = 0; i < children_.size(); ++i) children_[i]->SetVisible(static_cast<int>(i) == selected_);
}

bool TabLayout::SelectItem(int index) {
  if (index < 0 || index >= static_cast<int>(children_.size())) return false;
  if (index == selected_ && children_[index]->visible()) return true;
  selected_ = index;
  FinishBuild();
  NeedLayout();
  Invalidate();
  return true;
}

std::optional<std::wstring> TabLayout::GetAttribute(std::wstring_view name) const {
  if (name == L"index" || name == L"selectedid") return platform::DecimalText(selected_);
  return Container::GetAttribute(name);
}

ChildLayout::ChildLayout() : Container(L"ChildLayout") {}

bool ChildLayout::ApplyAttribute(std::wstring_view name, const std::wstring& value) {
  if (name == L"xmlfile") {
    xml_file_ = value;
    return true;
  }
  return Container::ApplyAttribute(name, value);
}

}  // namespace toolkit
