#include "toolkit/control.h"

#include "platform/text.h"
#include "toolkit/log.h"
#include "toolkit/skin_resources.h"

namespace toolkit {
namespace {

std::wstring BoolText(bool value) { return value ? L"true" : L"false"; }

int IntOr(const std::wstring& value, int fallback) { return ParseInt(value).value_or(fallback); }

}  // namespace

Control::Control(std::wstring class_name) : class_name_(std::move(class_name)) {}

Control::~Control() {
  if (host_ != nullptr) host_->ControlRemoved(this);
}

Control* Control::AddChild(std::unique_ptr<Control> child) {
  child->parent_ = this;
  child->AttachHost(host_);
  children_.push_back(std::move(child));
  NeedLayout();
  return children_.back().get();
}

void Control::RemoveAllChildren() {
  children_.clear();
  NeedLayout();
}

Control* Control::FindByName(std::wstring_view name) {
  if (name.empty()) return nullptr;
  Control* found = nullptr;
  WalkTree(*this, [&](Control& control) {
    if (control.name_ != name) return Walk::kIntoChildren;
    found = &control;
    return Walk::kStop;
  });
  return found;
}

void Control::AttachHost(ControlHost* host) {
  host_ = host;
  for (auto& child : children_) child->AttachHost(host);
}

bool Control::SetAttribute(std::wstring_view name, const std::wstring& value) { return ApplyAttribute(name, value); }

bool Control::ApplyAttribute(std::wstring_view name, const std::wstring& value) {
  if (const std::optional<StyleChange> change = ApplyStyleAttribute(style_, name, value)) {
    if (*change == StyleChange::kRepaint) Invalidate();
    if (*change == StyleChange::kRelayout) NeedLayout();
    return true;
  }
  if (name == L"name")
    name_ = value;
  else if (name == L"text")
    SetText(value);
  else if (name == L"tooltip" || name == L"tooltiptext")
    tooltip_ = value;
  else if (name == L"userdata")
    user_data_ = value;
  else if (name == L"visible")
    SetVisible(ParseBool(value).value_or(visible_));
  else if (name == L"enabled")
    SetEnabled(ParseBool(value).value_or(enabled_));
  else if (name == L"mouse")
    mouse_enabled_ = ParseBool(value).value_or(true);
  else if (name == L"float") {
    float_ = ParseBool(value).value_or(false);
    NeedLayout();
  } else if (name == L"pos") {
    pos_ = ParseEdges(value).value_or(Edges{});
    if (fixed_width_ == 0) fixed_width_ = std::max(0, pos_.right - pos_.left);
    if (fixed_height_ == 0) fixed_height_ = std::max(0, pos_.bottom - pos_.top);
    PlaceFloat();
  } else if (name == L"padding") {
    padding_ = ParseEdges(value).value_or(Edges{});
    NeedLayout();
  } else if (name == L"width")
    SetFixedWidth(IntOr(value, fixed_width_));
  else if (name == L"height")
    SetFixedHeight(IntOr(value, fixed_height_));
  else if (name == L"size") {
    if (auto size = ParseSize(value)) {
      SetFixedWidth(size->cx);
      SetFixedHeight(size->cy);
    }
  } else if (name == L"minwidth") {
    min_width_ = std::max(0, IntOr(value, 0));
    NeedLayout();
  } else if (name == L"minheight") {
    min_height_ = std::max(0, IntOr(value, 0));
    NeedLayout();
  } else if (name == L"maxwidth") {
    max_width_ = std::max(0, IntOr(value, 0));
    NeedLayout();
  } else if (name == L"maxheight") {
    max_height_ = std::max(0, IntOr(value, 0));
    NeedLayout();
  }
  // Accepted for compatibility with existing skins; behaviour is built in.
  else if (name == L"showhtml" || name == L"keyboard" || name == L"menu" || name == L"virtualwnd" ||
           name == L"cursor") {
  } else {
    return false;
  }
  return true;
}

std::optional<std::wstring> Control::GetAttribute(std::wstring_view name) const {
  if (name == L"name") return name_;
  if (name == L"text") return text_;
  if (name == L"tooltip") return tooltip_;
  if (name == L"userdata") return user_data_;
  if (name == L"visible") return BoolText(visible_);
  if (name == L"enabled") return BoolText(enabled_);
  if (name == L"selected") return BoolText(IsSelected());
  if (name == L"width") return platform::DecimalText(fixed_width_);
  if (name == L"height") return platform::DecimalText(fixed_height_);
  if (name == L"bkimage") return style_.bk_image.file;
  return std::nullopt;
}

void Control::SetText(const std::wstring& text) {
  if (text == text_) return;
  text_ = text;
  // Progress figures change several times a second: only a control whose
  // size follows its text needs the window laid out again.
  if (SizeFollowsText()) {
    NeedLayout();
  } else {
    Invalidate();
  }
}

void Control::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  NeedLayout();
  if (!visible && host_ != nullptr) host_->ControlHidden(*this);
}

void Control::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  SetStateFlag(kStateDisabled, !enabled);
  if (!enabled) SetStateFlag(kStateHot | kStatePushed, false);
  Invalidate();
}

bool Control::IsVisibleInTree() const {
  for (const Control* c = this; c != nullptr; c = c->parent_) {
    if (!c->visible_) return false;
  }
  return true;
}

bool Control::IsEnabledInTree() const {
  for (const Control* c = this; c != nullptr; c = c->parent_) {
    if (!c->enabled_) return false;
  }
  return true;
}

void Control::SetStateFlag(unsigned flag, bool on) {
  const unsigned next = on ? (state_ | flag) : (state_ & ~flag);
  if (next == state_) return;
  state_ = next;
  Invalidate();
}

void Control::SetFixedWidth(int width) {
  width = std::max(0, width);
  if (width == fixed_width_) return;
  fixed_width_ = width;
  NeedLayout();
}

void Control::SetFixedHeight(int height) {
  height = std::max(0, height);
  if (height == fixed_height_) return;
  fixed_height_ = height;
  NeedLayout();
}

int Control::Scale(int value) const { return host_ != nullptr ? ScaleBy(value, host_->dpi()) : value; }

int Control::ClampWidth(int width) const {
  if (max_width_ > 0) width = std::min(width, Scale(max_width_));
  return std::max(width, Scale(min_width_));
}

int Control::ClampHeight(int height) const {
  if (max_height_ > 0) height = std::min(height, Scale(max_height_));
  return std::max(height, Scale(min_height_));
}

Rect Control::FloatRect(const Rect& parent) const {
  const int left = parent.left + Scale(pos_.left);
  const int top = parent.top + Scale(pos_.top);
  return {left, top, left + Scale(fixed_width_), top + Scale(fixed_height_)};
}

Size Control::Measure(Size available) {
  (void)available;
  return {Scale(fixed_width_), Scale(fixed_height_)};
}

void Control::Arrange(const Rect& rect) {
  if (rect == rect_) return;
  Invalidate();
  rect_ = rect;
  Invalidate();
}

void Control::Paint(Painter& painter, const Rect& dirty) {
  if (!visible_ || !rect_.Intersects(dirty)) return;
  {
    ScopedClip clip(painter, rect_.Intersect(dirty));
    PaintBackground(painter);
    PaintStatusImages(painter);
    PaintText(painter);
    PaintChildren(painter, dirty);
  }
  PaintBorder(painter);
}

void Control::PaintBackground(Painter& painter) {
  painter.FillRect(rect_, style_.bk_color, painter.Scale(style_.border_round));
  if (!style_.bk_image.empty()) (void)painter.DrawImage(style_.bk_image, rect_, BackgroundFrame());
}

void Control::PaintStatusImages(Painter& painter) {
  const ImageDescription* image = &style_.normal_image;
  auto pick = [&](const ImageDescription& candidate) {
    if (!candidate.empty()) image = &candidate;
  };
  if (IsSelected()) {
    pick(style_.selected_image);
    if (state_ & kStateHot) pick(style_.selected_hot_image);
    if (state_ & kStatePushed) pick(style_.selected_pushed_image);
  } else {
    if (state_ & kStateFocused) pick(style_.focused_image);
    if (state_ & kStateHot) pick(style_.hot_image);
    if (state_ & kStatePushed) pick(style_.pushed_image);
  }
  if (!IsEnabledInTree())
    pick(IsSelected() && !style_.selected_disabled_image.empty() ? style_.selected_disabled_image
                                                                 : style_.disabled_image);
  if (!image->empty()) (void)painter.DrawImage(*image, rect_);
  if (!style_.fore_image.empty()) (void)painter.DrawImage(style_.fore_image, rect_);
}

Argb Control::CurrentTextColor() const {
  if (!IsEnabledInTree()) return style_.disabled_text_color;
  if (IsSelected() && style_.selected_text_color != 0) return style_.selected_text_color;
  if ((state_ & kStatePushed) && style_.pushed_text_color != 0) return style_.pushed_text_color;
  if ((state_ & kStateHot) && style_.hot_text_color != 0) return style_.hot_text_color;
  if ((state_ & kStateFocused) && style_.focused_text_color != 0) return style_.focused_text_color;
  return style_.text_color;
}

TextFlags Control::TextFormat() const { return style_.text_flags; }

Rect Control::TextRect() const {
  return rect_.Deflate(host_ != nullptr ? ScaleBy(style_.text_padding, host_->dpi()) : style_.text_padding);
}

std::wstring Control::DisplayText() const { return host_ != nullptr ? host_->resources().Translate(text_) : text_; }

void Control::PaintText(Painter& painter) {
  if (text_.empty()) return;
  painter.DrawText(DisplayText(), TextRect(), style_.font, CurrentTextColor(), TextFormat());
}

void Control::PaintBorder(Painter& painter) {
  Argb color = style_.border_color;
  if ((state_ & kStateFocused) && style_.focus_border_color != 0) color = style_.focus_border_color;
  if (style_.border_size > 0 && visible_)
    painter.DrawBorder(rect_, color, painter.Scale(style_.border_size), painter.Scale(style_.border_round));
}

void Control::PaintChildren(Painter& painter, const Rect& dirty) {
  for (auto& child : children_) child->Paint(painter, dirty);
}

Control* Control::HitTest(Point point) {
  if (!visible_ || !rect_.Contains(point)) return nullptr;
  for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
    if (Control* hit = (*it)->HitTest(point)) return hit;
  }
  return TakesMouse() ? this : nullptr;
}

bool Control::HandleEvent(const UiEvent& event) {
  if (event.type == UiEventType::kPressCancelled) {
    SetStateFlag(kStatePushed, false);
    return true;
  }
  if (!IsEnabledInTree()) return false;
  switch (event.type) {
    case UiEventType::kMouseEnter: SetStateFlag(kStateHot, true); return true;
    case UiEventType::kMouseLeave: SetStateFlag(kStateHot | kStatePushed, false); return true;
    case UiEventType::kButtonDown: SetStateFlag(kStatePushed, true); return true;
    case UiEventType::kButtonUp: {
      const bool was_pushed = (state_ & kStatePushed) != 0;
      SetStateFlag(kStatePushed, false);
      if (was_pushed && rect_.Contains(event.point)) Activate();
      return true;
    }
    case UiEventType::kKeyDown:
      if (event.key == VK_RETURN || event.key == VK_SPACE) {
        Activate();
        return true;
      }
      return false;
    case UiEventType::kSetFocus:
      SetStateFlag(kStateFocused, true);
      Notify(L"setfocus");
      return true;
    case UiEventType::kKillFocus:
      SetStateFlag(kStateFocused, false);
      Notify(L"killfocus");
      return true;
    default: return false;
  }
}

void Control::Invalidate() {
  if (host_ != nullptr && !rect_.empty()) host_->Invalidate(ClipToFloatParents(rect_));
}

Rect Control::ClipToFloatParents(Rect area) const {
  for (const Control* control = this; control->parent_ != nullptr; control = control->parent_) {
    if (control->float_) area = area.Intersect(control->parent_->rect_);
  }
  return area;
}

void Control::PlaceFloat() {
  // Where a float control sits changes nothing around it: it moves within
  // its parent alone, without a layout of the whole window (an animation
  // moves one every frame), and a hidden one is placed when it shows.
  if (!float_ || parent_ == nullptr || parent_->rect_.empty()) {
    NeedLayout();
  } else if (visible_) {
    Arrange(FloatRect(parent_->rect_));
  }
}

void Control::NeedLayout() {
  if (host_ != nullptr) host_->RequestLayout();
}

void Control::Notify(const std::wstring& type, int index, const std::wstring& text) {
  if (host_ == nullptr) return;
  Notification notification{type, this, name_, index, text};
  host_->Notify(notification);
}

void WalkTree(Control& root, const std::function<Walk(Control&)>& visit) {
  std::vector<Control*> pending{&root};
  while (!pending.empty()) {
    Control* control = pending.back();
    pending.pop_back();
    const Walk next = visit(*control);
    if (next == Walk::kStop) return;
    if (next == Walk::kPastChildren) continue;
    for (size_t i = control->child_count(); i-- > 0;) pending.push_back(control->child(i));
  }
}

}  // namespace toolkit
