#include "toolkit/progress.h"

#include "platform/text.h"
#include "toolkit/axis.h"
#include "toolkit/scroll_thumb.h"

namespace toolkit {

Progress::Progress(std::wstring class_name) : Label(std::move(class_name)) {
  style_.text_flags = style_.text_flags | TextFlags::kCenter;
}

bool Progress::ApplyAttribute(std::wstring_view name, const std::wstring& value) {
  if (name == L"min")
    min_ = ParseInt(value).value_or(min_);
  else if (name == L"max")
    max_ = ParseInt(value).value_or(max_);
  else if (name == L"value") {
    SetValue(ParseInt(value).value_or(value_));
    return true;
  } else if (name == L"hor")
    horizontal_ = ParseBool(value).value_or(true);
  else if (name == L"forecolor")
    fore_color_ = ParseColor(value).value_or(0);
  else if (name == L"isstretchfore") {
  } else
    return Label::ApplyAttribute(name, value);
  if (max_ <= min_) max_ = min_ + 1;
  SetValue(value_);
  Invalidate();
  return true;
}

std::optional<std::wstring> Progress::GetAttribute(std::wstring_view name) const {
  if (name == L"value") return platform::DecimalText(value_);
  if (name == L"min") return platform::DecimalText(min_);
  if (name == L"max") return platform::DecimalText(max_);
  return Label::GetAttribute(name);
}

void Progress::SetValue(int value) {
  value = std::clamp(value, min_, max_);
  if (value == value_) return;
  value_ = value;
  Invalidate();
}

Rect Progress::FillRect() const {
  Rect fill = rect_;
  const long long range = static_cast<long long>(max_) - min_;
  const long long done = static_cast<long long>(value_) - min_;
  if (horizontal_) {
    fill.right = fill.left + static_cast<int>(rect_.width() * done / std::max(1LL, range));
  } else {
    fill.top = fill.bottom - static_cast<int>(rect_.height() * done / std::max(1LL, range));
  }
  return fill;
}

void Progress::PaintStatusImages(Painter& painter) {
  if (!style_.normal_image.empty()) (void)painter.DrawImage(style_.normal_image, rect_);
  const Rect fill = FillRect();
  if (fill.empty()) return;
  painter.FillRect(fill, fore_color_);
  if (!style_.fore_image.empty()) {
    ScopedClip clip(painter, fill);
    (void)painter.DrawImage(style_.fore_image, rect_);
  }
}

Slider::Slider() : Progress(L"Slider") {}

bool Slider::ApplyAttribute(std::wstring_view name, const std::wstring& value) {
  if (name == L"thumbsize")
    thumb_size_ = ParseSize(value).value_or(thumb_size_);
  else if (name == L"thumbimage")
    thumb_image_ = ParseImageDescription(value);
  else if (name == L"thumbhotimage" || name == L"thumbpushedimage" || name == L"step") {
  } else
    return Progress::ApplyAttribute(name, value);
  Invalidate();
  return true;
}

void Slider::SetFromPoint(Point point) {
  const long long range = static_cast<long long>(max_) - min_;
  const long long position = horizontal_ ? point.x - rect_.left : rect_.bottom - point.y;
  const long long length = std::max(1, horizontal_ ? rect_.width() : rect_.height());
  const int before = value_;
  SetValue(min_ + static_cast<int>(range * std::clamp(position, 0LL, length) / length));
  if (value_ != before) Notify(L"valuechanged");
}

bool Slider::HandleEvent(const UiEvent& event) {
  if (event.type == UiEventType::kPressCancelled) dragging_ = false;
  if (!IsEnabledInTree()) return Progress::HandleEvent(event);
  switch (event.type) {
    case UiEventType::kButtonDown:
      dragging_ = true;
      SetFromPoint(event.point);
      return true;
    case UiEventType::kMouseMove:
      if (dragging_) SetFromPoint(event.point);
      return true;
    case UiEventType::kButtonUp: dragging_ = false; return true;
    case UiEventType::kKeyDown:
      if (event.key == VK_LEFT || event.key == VK_DOWN || event.key == VK_RIGHT || event.key == VK_UP) {
        const int before = value_;
        SetValue(value_ + ((event.key == VK_LEFT || event.key == VK_DOWN) ? -1 : 1));
        if (before != value_) Notify(L"valuechanged");
        return true;
      }
      return false;
    default: return Progress::HandleEvent(event);
  }
}

void Slider::PaintStatusImages(Painter& painter) {
  Progress::PaintStatusImages(painter);
  const Rect fill = FillRect();
  const int w = painter.Scale(thumb_size_.cx), h = painter.Scale(thumb_size_.cy);
  const int cx = horizontal_ ? fill.right : rect_.left + rect_.width() / 2;
  const int cy = horizontal_ ? rect_.top + rect_.height() / 2 : fill.top;
  const Rect thumb{cx - w / 2, cy - h / 2, cx - w / 2 + w, cy - h / 2 + h};
  if (!thumb_image_.empty() && painter.DrawImage(thumb_image_, thumb)) return;
  painter.FillRect(thumb, 0xFF606060, w / 2);
}

ScrollBar::ScrollBar() : Progress(L"ScrollBar") {}

bool ScrollBar::ScrollBy(int delta) {
  const int before = value_;
  SetValue(value_ - delta / WHEEL_DELTA * std::max(1, (max_ - min_) / 10));
  if (before == value_) return false;
  Notify(L"scroll");
  return true;
}

bool ScrollBar::HandleEvent(const UiEvent& event) {
  if (event.type == UiEventType::kButtonDown && IsEnabledInTree()) {
    const bool before_thumb =
        horizontal_ ? event.point.x < FillRect().right : event.point.y < rect_.top + rect_.height() / 2;
    (void)ScrollBy(before_thumb ? WHEEL_DELTA : -WHEEL_DELTA);
    return true;
  }
  return Progress::HandleEvent(event);
}

void ScrollBar::PaintStatusImages(Painter& painter) {
  painter.FillRect(rect_, 0xFFE8E8E8);
  const AxisView view(horizontal_ ? Axis::kHorizontal : Axis::kVertical);
  const Rect track = view(rect_);
  // The thumb is a fifth of the track (at least 12 pixels).
  const ThumbSpan thumb = PlaceThumb(track.height(), painter.Scale(12), 1, 5, value_ - min_, max_ - min_);
  const Rect shape{track.left, track.top + thumb.start, track.right, track.top + thumb.start + thumb.length};
  painter.FillRect(view(shape), 0xFF909090, painter.Scale(3));
}

}  // namespace toolkit
