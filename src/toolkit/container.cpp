#include "toolkit/container.h"

#include "platform/text.h"

namespace toolkit {
namespace {

constexpr int kScrollBarWidth = 6;  // 96-DPI units
constexpr Argb kScrollThumb = 0x80808080;

}  // namespace

Container::Container(std::wstring class_name) : Control(std::move(class_name)) {}

bool Container::ApplyAttribute(std::wstring_view name, const std::wstring& value) {
  if (name == L"inset")
    inset_ = ParseEdges(value).value_or(Edges{});
  else if (name == L"childpadding")
    child_padding_ = std::max(0, ParseInt(value).value_or(0));
  else if (name == L"vscrollbar")
    Bar(Axis::kVertical).enabled = ParseBool(value).value_or(false);
  else if (name == L"hscrollbar")
    Bar(Axis::kHorizontal).enabled = ParseBool(value).value_or(false);
  else if (name == L"childalign" || name == L"childvalign" || name == L"scrollstepsize") {
  } else {
    return Control::ApplyAttribute(name, value);
  }
  NeedLayout();
  return true;
}

std::optional<std::wstring> Container::GetAttribute(std::wstring_view name) const {
  if (name == L"scrollpos") return platform::DecimalText(scroll_offset());
  if (name == L"hscrollpos") return platform::DecimalText(hscroll_offset());
  return Control::GetAttribute(name);
}

Rect Container::InnerRect() const { return rect_.Deflate(host() ? ScaleBy(inset_, host()->dpi()) : inset_); }

void Container::Arrange(const Rect& rect) {
  Control::Arrange(rect);
  Relayout();
}

void Container::Relayout() {
  ScrollState& vertical = Bar(Axis::kVertical);
  ScrollState& horizontal = Bar(Axis::kHorizontal);
  const Rect inner = InnerRect();
  // Sideways, the children get the width they ask for when it exceeds the view.
  const int width = horizontal.enabled ? std::max(inner.width(), MeasureContentWidth(inner)) : inner.width();
  // A second pass only when the offsets had to come back into range.
  for (int pass = 0; pass < 2; ++pass) {
    Rect area = inner.Offset(-horizontal.offset, -vertical.offset);
    area.right = area.left + width;
    vertical.extent = ArrangeChildren(area);
    horizontal.extent = width;
    for (auto& child : children_) {
      if (!child->visible() || child->is_float()) continue;
      const Edges margin = ScaleBy(child->padding(), host() ? host()->dpi() : 96);
      horizontal.extent = std::max(horizontal.extent, child->rect().right + margin.right - area.left);
    }
    if (!ClampScroll()) break;
  }
  ArrangeFloatChildren();
}

int Container::ViewLength(Axis axis) const { return AxisView(axis)(InnerRect()).height(); }

bool Container::ClampScroll() {
  bool moved = false;
  for (Axis axis : {Axis::kVertical, Axis::kHorizontal}) {
    ScrollState& bar = Bar(axis);
    const int max_offset = bar.enabled ? std::max(0, bar.extent - ViewLength(axis)) : 0;
    const int clamped = std::clamp(bar.offset, 0, max_offset);
    moved = moved || clamped != bar.offset;
    bar.offset = clamped;
  }
  return moved;
}

int Container::MeasureContentWidth(const Rect& inner) {
  int width = 0;
  for (auto& child : children_) {
    if (!child->visible() || child->is_float()) continue;
    const Edges margin = ScaleBy(child->padding(), host() ? host()->dpi() : 96);
    const int cx = child->Measure({inner.width() - margin.left - margin.right, inner.height()}).cx;
    if (cx > 0) width = std::max(width, child->ClampWidth(cx) + margin.left + margin.right);
  }
  return width;
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

bool Container::ScrollAxisBy(Axis axis, int delta) {
  ScrollState& bar = Bar(axis);
  if (!bar.enabled) return false;
  const int before = bar.offset;
  bar.offset -= delta;
  (void)ClampScroll();
  if (before == bar.offset) return false;
  Relayout();
  Invalidate();
  return true;
}

bool Container::ScrollBy(int delta) { return ScrollAxisBy(Axis::kVertical, delta); }

bool Container::ScrollSideways(int delta) { return ScrollAxisBy(Axis::kHorizontal, delta); }

void Container::ScrollIntoView(const Control* child) {
  if (child == nullptr) return;
  const Rect inner = InnerRect();
  const Rect r = child->rect();
  if (vertical_scroll()) {
    if (r.top < inner.top)
      (void)ScrollAxisBy(Axis::kVertical, inner.top - r.top);
    else if (r.bottom > inner.bottom)
      (void)ScrollAxisBy(Axis::kVertical, inner.bottom - r.bottom);
  }
  if (Bar(Axis::kHorizontal).enabled) {
    const Rect moved = child->rect();
    if (moved.left < inner.left)
      (void)ScrollAxisBy(Axis::kHorizontal, inner.left - moved.left);
    else if (moved.right > inner.right)
      (void)ScrollAxisBy(Axis::kHorizontal, inner.right - moved.right);
  }
}

bool Container::Overflows(Axis axis) const {
  const ScrollState& bar = Bar(axis);
  const int view = ViewLength(axis);
  return bar.enabled && view > 0 && bar.extent > view;
}

Rect Container::ScrollTrack(Axis axis) const {
  const AxisView view(axis);
  const Rect inner = view(InnerRect());
  const Rect outer = view(rect_);
  const int width = Scale(kScrollBarWidth);
  // Where both bars show, each stops short of the corner the other one uses.
  const Axis other = axis == Axis::kVertical ? Axis::kHorizontal : Axis::kVertical;
  const int end = Overflows(other) ? std::max(inner.top, inner.bottom - width) : inner.bottom;
  return view(Rect{outer.right - width, inner.top, outer.right, end});
}

ThumbSpan Container::ThumbOf(Axis axis) const {
  const ScrollState& bar = Bar(axis);
  const Rect track = AxisView(axis)(ScrollTrack(axis));
  const int view = ViewLength(axis);
  const ThumbSpan thumb = PlaceThumb(track.height(), Scale(16), view, bar.extent, bar.offset, bar.extent - view);
  return {track.top + thumb.start, thumb.length};
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
  for (Axis axis : {Axis::kVertical, Axis::kHorizontal}) {
    if (!Overflows(axis)) continue;
    const AxisView view(axis);
    const Rect track = view(ScrollTrack(axis));
    const ThumbSpan thumb = ThumbOf(axis);
    const Rect shape{track.left, thumb.start, track.right, thumb.start + thumb.length};
    painter.FillRect(view(shape), kScrollThumb, Scale(kScrollBarWidth) / 2);
  }
}

bool Container::HandleEvent(const UiEvent& event) {
  switch (event.type) {
    case UiEventType::kButtonDown:
      for (Axis axis : {Axis::kVertical, Axis::kHorizontal}) {
        if (!Overflows(axis) || !ScrollTrack(axis).Contains(event.point)) continue;
        const int along = AxisView(axis)(event.point).y;
        const ThumbSpan thumb = ThumbOf(axis);
        if (along < thumb.start || along >= thumb.start + thumb.length) {
          // A press on the track beside the thumb pages towards the pointer.
          const int page = std::max(1, ViewLength(axis) - Scale(16));
          (void)ScrollAxisBy(axis, along < thumb.start ? page : -page);
          return true;
        }
        dragging_thumb_ = true;
        drag_axis_ = axis;
        drag_start_ = along;
        drag_start_offset_ = Bar(axis).offset;
        return true;
      }
      break;
    case UiEventType::kMouseMove:
      if (dragging_thumb_) {
        // The thumb moves with the pointer: its travel maps onto the content's.
        const AxisView view(drag_axis_);
        const ScrollState& bar = Bar(drag_axis_);
        const int travel = std::max(1, view(ScrollTrack(drag_axis_)).height() - ThumbOf(drag_axis_).length);
        const int moved = view(event.point).y - drag_start_;
        const int wanted = drag_start_offset_ + static_cast<int>(static_cast<long long>(moved) *
                                                                 (bar.extent - ViewLength(drag_axis_)) / travel);
        (void)ScrollAxisBy(drag_axis_, bar.offset - wanted);
        return true;
      }
      break;
    case UiEventType::kButtonUp:
      if (dragging_thumb_) {
        dragging_thumb_ = false;
        return true;
      }
      break;
    case UiEventType::kPressCancelled: dragging_thumb_ = false; break;
    default: break;
  }
  return Control::HandleEvent(event);
}

Control* Container::HitTest(Point point) {
  if (!visible() || !rect_.Contains(point)) return nullptr;
  for (Axis axis : {Axis::kVertical, Axis::kHorizontal}) {
    if (Overflows(axis) && ScrollTrack(axis).Contains(point)) return this;
  }
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
  return TakesMouse() && (style_.bk_color != 0 || !style_.bk_image.empty()) ? this : nullptr;
}

}  // namespace toolkit
