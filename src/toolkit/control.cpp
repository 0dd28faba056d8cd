#include "toolkit/control.h"

#include "platform/text.h"
#include "toolkit/log.h"
#include "toolkit/skin_resources.h"

namespace toolkit {
namespace {

std::wstring BoolText(bool value) { return value ? L"true" : L"false"; }

void SetColor(Argb& target, const std::wstring& value) {
  if (auto color = ParseColor(value)) target = *color;
}

int IntOr(const std::wstring& value, int fallback) { return ParseInt(value).value_or(fallback); }

// The attributes every control understands.
const AttributeEntry<Control> kControlAttributes[] = {
    {L"bkcolor", [](Control& c, const std::wstring& v) { SetColor(c.bk_color_, v); c.Invalidate(); }},
    {L"bkcolor1", [](Control& c, const std::wstring& v) { SetColor(c.bk_color_, v); c.Invalidate(); }},
    {L"bkcolor2", [](Control& c, const std::wstring& v) { SetColor(c.bk_color2_, v); c.Invalidate(); }},
    {L"bordercolor", [](Control& c, const std::wstring& v) { SetColor(c.border_color_, v); c.Invalidate(); }},
    {L"focusbordercolor", [](Control& c, const std::wstring& v) { SetColor(c.focus_border_color_, v); }},
    {L"bordersize", [](Control& c, const std::wstring& v) { c.border_size_ = std::max(0, IntOr(v, 0)); c.Invalidate(); }},
    {L"borderround", [](Control& c, const std::wstring& v) {
       std::vector<int> r = ParseIntList(v, 2);
       c.border_round_ = r.empty() ? 0 : std::max(0, r[0] / (r.size() == 2 ? 2 : 1));
       c.Invalidate();
     }},
    {L"font", [](Control& c, const std::wstring& v) { c.font_ = IntOr(v, -1); c.NeedLayout(); }},
    {L"textcolor", [](Control& c, const std::wstring& v) { SetColor(c.text_color_, v); c.Invalidate(); }},
    {L"disabledtextcolor", [](Control& c, const std::wstring& v) { SetColor(c.disabled_text_color_, v); }},
    {L"hottextcolor", [](Control& c, const std::wstring& v) { SetColor(c.hot_text_color_, v); }},
    {L"pushedtextcolor", [](Control& c, const std::wstring& v) { SetColor(c.pushed_text_color_, v); }},
    {L"focusedtextcolor", [](Control& c, const std::wstring& v) { SetColor(c.focused_text_color_, v); }},
    {L"selectedtextcolor", [](Control& c, const std::wstring& v) { SetColor(c.selected_text_color_, v); }},
    {L"textpadding", [](Control& c, const std::wstring& v) { c.text_padding_ = ParseEdges(v).value_or(Edges{}); c.NeedLayout(); }},
    {L"align", [](Control& c, const std::wstring& v) {
       unsigned f = unsigned(c.text_flags_) & ~unsigned(TextFlags::kCenter | TextFlags::kRight);
       if (v.find(L"center") != std::wstring::npos) f |= unsigned(TextFlags::kCenter);
       if (v.find(L"right") != std::wstring::npos) f |= unsigned(TextFlags::kRight);
       c.text_flags_ = TextFlags(f);
       c.Invalidate();
     }},
    {L"valign", [](Control& c, const std::wstring& v) {
       unsigned f = unsigned(c.text_flags_) & ~unsigned(TextFlags::kTop | TextFlags::kBottom);
       if (v.find(L"top") != std::wstring::npos) f |= unsigned(TextFlags::kTop);
       if (v.find(L"bottom") != std::wstring::npos) f |= unsigned(TextFlags::kBottom);
       c.text_flags_ = TextFlags(f);
       c.Invalidate();
     }},
    {L"multiline", [](Control& c, const std::wstring& v) {
       unsigned f = unsigned(c.text_flags_) & ~unsigned(TextFlags::kMultiLine);
       if (ParseBool(v).value_or(false)) f |= unsigned(TextFlags::kMultiLine);
       c.text_flags_ = TextFlags(f);
       c.NeedLayout();
     }},
    {L"endellipsis", [](Control& c, const std::wstring& v) {
       unsigned f = unsigned(c.text_flags_) & ~unsigned(TextFlags::kEndEllipsis);
       if (ParseBool(v).value_or(true)) f |= unsigned(TextFlags::kEndEllipsis);
       c.text_flags_ = TextFlags(f);
       c.Invalidate();
     }},
    {L"bkimage", [](Control& c, const std::wstring& v) { c.bk_image_ = ParseImageDescription(v); c.Invalidate(); }},
    {L"foreimage", [](Control& c, const std::wstring& v) { c.fore_image_ = ParseImageDescription(v); c.Invalidate(); }},
    {L"normalimage", [](Control& c, const std::wstring& v) { c.normal_image_ = ParseImageDescription(v); c.Invalidate(); }},
    {L"hotimage", [](Control& c, const std::wstring& v) { c.hot_image_ = ParseImageDescription(v); }},
    {L"pushedimage", [](Control& c, const std::wstring& v) { c.pushed_image_ = ParseImageDescription(v); }},
    {L"focusedimage", [](Control& c, const std::wstring& v) { c.focused_image_ = ParseImageDescription(v); }},
    {L"disabledimage", [](Control& c, const std::wstring& v) { c.disabled_image_ = ParseImageDescription(v); }},
    {L"selectedimage", [](Control& c, const std::wstring& v) { c.selected_image_ = ParseImageDescription(v); }},
    {L"selectedhotimage", [](Control& c, const std::wstring& v) { c.selected_hot_image_ = ParseImageDescription(v); }},
    {L"selectedpushedimage", [](Control& c, const std::wstring& v) { c.selected_pushed_image_ = ParseImageDescription(v); }},
};

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
  // Iterative so that deep trees cannot exhaust the stack.
  std::vector<Control*> pending{this};
  while (!pending.empty()) {
    Control* control = pending.back();
    pending.pop_back();
    if (control->name_ == name) return control;
    for (auto it = control->children_.rbegin(); it != control->children_.rend(); ++it) pending.push_back(it->get());
  }
  return nullptr;
}

void Control::AttachHost(ControlHost* host) {
  host_ = host;
  for (auto& child : children_) child->AttachHost(host);
}

bool Control::SetAttribute(std::wstring_view name, const std::wstring& value) {
  return ApplyAttribute(name, value);
}

bool Control::ApplyAttribute(std::wstring_view name, const std::wstring& value) {
  if (ApplyFromTable(kControlAttributes, *this, name, value)) return true;
  if (name == L"name") name_ = value;
  else if (name == L"text") SetText(value);
  else if (name == L"tooltip" || name == L"tooltiptext") tooltip_ = value;
  else if (name == L"userdata") user_data_ = value;
  else if (name == L"visible") SetVisible(ParseBool(value).value_or(visible_));
  else if (name == L"enabled") SetEnabled(ParseBool(value).value_or(enabled_));
  else if (name == L"mouse") mouse_enabled_ = ParseBool(value).value_or(true);
  else if (name == L"float") { float_ = ParseBool(value).value_or(false); NeedLayout(); }
  else if (name == L"pos") {
    pos_ = ParseEdges(value).value_or(Edges{});
    if (fixed_width_ == 0) fixed_width_ = std::max(0, pos_.right - pos_.left);
    if (fixed_height_ == 0) fixed_height_ = std::max(0, pos_.bottom - pos_.top);
    NeedLayout();
  } else if (name == L"padding") { padding_ = ParseEdges(value).value_or(Edges{}); NeedLayout(); }
  else if (name == L"width") SetFixedWidth(IntOr(value, fixed_width_));
  else if (name == L"height") SetFixedHeight(IntOr(value, fixed_height_));
  else if (name == L"size") {
    if (auto size = ParseSize(value)) {
      SetFixedWidth(size->cx);
      SetFixedHeight(size->cy);
    }
  } else if (name == L"minwidth") { min_width_ = std::max(0, IntOr(value, 0)); NeedLayout(); }
  else if (name == L"minheight") { min_height_ = std::max(0, IntOr(value, 0)); NeedLayout(); }
  else if (name == L"maxwidth") { max_width_ = std::max(0, IntOr(value, 0)); NeedLayout(); }
  else if (name == L"maxheight") { max_height_ = std::max(0, IntOr(value, 0)); NeedLayout(); }
  // Accepted for compatibility with existing skins; behaviour is built in.
  else if (name == L"showhtml" || name == L"keyboard" || name == L"menu" || name == L"virtualwnd" ||
           name == L"wordbreak" || name == L"cursor") {
    if (name == L"wordbreak" && ParseBool(value).value_or(false))
      text_flags_ = text_flags_ | TextFlags::kMultiLine;
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
  if (name == L"bkimage") return bk_image_.file;
  return std::nullopt;
}

void Control::SetText(const std::wstring& text) {
  if (text == text_) return;
  text_ = text;
  NeedLayout();
}

void Control::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  NeedLayout();
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
  painter.FillRect(rect_, bk_color_, painter.Scale(border_round_));
  if (!bk_image_.empty()) (void)painter.DrawImage(bk_image_, rect_, image_frame_);
}

void Control::PaintStatusImages(Painter& painter) {
  const ImageDescription* image = &normal_image_;
  auto pick = [&](const ImageDescription& candidate) {
    if (!candidate.empty()) image = &candidate;
  };
  if (IsSelected()) {
    pick(selected_image_);
    if (state_ & kStateHot) pick(selected_hot_image_);
    if (state_ & kStatePushed) pick(selected_pushed_image_);
  } else {
    if (state_ & kStateFocused) pick(focused_image_);
    if (state_ & kStateHot) pick(hot_image_);
    if (state_ & kStatePushed) pick(pushed_image_);
  }
  if (!IsEnabledInTree()) pick(disabled_image_);
  if (!image->empty()) (void)painter.DrawImage(*image, rect_);
  if (!fore_image_.empty()) (void)painter.DrawImage(fore_image_, rect_);
}

Argb Control::CurrentTextColor() const {
  if (!IsEnabledInTree()) return disabled_text_color_;
  if (IsSelected() && selected_text_color_ != 0) return selected_text_color_;
  if ((state_ & kStatePushed) && pushed_text_color_ != 0) return pushed_text_color_;
  if ((state_ & kStateHot) && hot_text_color_ != 0) return hot_text_color_;
  if ((state_ & kStateFocused) && focused_text_color_ != 0) return focused_text_color_;
  return text_color_;
}

TextFlags Control::TextFormat() const { return text_flags_; }

Rect Control::TextRect() const {
  return rect_.Deflate(host_ != nullptr ? ScaleBy(text_padding_, host_->dpi()) : text_padding_);
}

std::wstring Control::DisplayText() const {
  return host_ != nullptr ? host_->resources().Translate(text_) : text_;
}

void Control::PaintText(Painter& painter) {
  if (text_.empty()) return;
  painter.DrawText(DisplayText(), TextRect(), font_, CurrentTextColor(), TextFormat());
}

void Control::PaintBorder(Painter& painter) {
  Argb color = border_color_;
  if ((state_ & kStateFocused) && focus_border_color_ != 0) color = focus_border_color_;
  if (border_size_ > 0 && visible_) painter.DrawBorder(rect_, color, painter.Scale(border_size_), painter.Scale(border_round_));
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
    case UiEventType::kSetFocus: SetStateFlag(kStateFocused, true); Notify(L"setfocus"); return true;
    case UiEventType::kKillFocus: SetStateFlag(kStateFocused, false); Notify(L"killfocus"); return true;
    default: return false;
  }
}

void Control::Invalidate() {
  if (host_ != nullptr && !rect_.empty()) host_->Invalidate(rect_);
}

void Control::NeedLayout() {
  if (host_ != nullptr) host_->RequestLayout();
}

void Control::Notify(const std::wstring& type, int index, const std::wstring& text) {
  if (host_ == nullptr) return;
  Notification notification{type, this, name_, index, text};
  host_->Notify(notification);
}

}  // namespace toolkit
