#include "toolkit/window_core.h"

#include "toolkit/combo.h"
#include "toolkit/gdi_owners.h"
#include "toolkit/label.h"
#include "toolkit/painter.h"
#include "toolkit/skin_resources.h"
#include "toolkit/tree_view.h"

namespace toolkit {

WindowCore::WindowCore(std::unique_ptr<WindowDescription> description, int dpi)
    : description_(std::move(description)), dpi_(dpi > 0 ? dpi : 96) {
  root()->AttachHost(this);
  client_ = PreferredClientSize();
}

WindowCore::~WindowCore() {
  destroying_ = true;
  // Controls die before this host: they must not call back into it.
  description_->root->AttachHost(nullptr);
}

void WindowCore::Invalidate(const Rect& rect) {
  const Rect bounded = rect.Intersect({0, 0, client_.cx, client_.cy});
  if (bounded.empty()) return;
  if (dirty_.empty()) {
    dirty_ = bounded;
  } else {
    dirty_ = {std::min(dirty_.left, bounded.left), std::min(dirty_.top, bounded.top),
              std::max(dirty_.right, bounded.right), std::max(dirty_.bottom, bounded.bottom)};
  }
  OnInvalidate(bounded);
}

Rect WindowCore::TakeDirty() { return std::exchange(dirty_, Rect{}); }

void WindowCore::RequestLayout() {
  if (layout_pending_) return;
  layout_pending_ = true;
  Invalidate({0, 0, client_.cx, client_.cy});
}

void WindowCore::ControlRemoved(Control* control) {
  if (hot_ == control) hot_ = nullptr;
  if (pushed_ == control) pushed_ = nullptr;
  if (focused_ == control) focused_ = nullptr;
}

namespace {

bool IsInside(const Control* control, const Control& ancestor) {
  for (const Control* c = control; c != nullptr; c = c->parent()) {
    if (c == &ancestor) return true;
  }
  return false;
}

// Only a control the user can see and use takes keys and clicks.
bool TakesInput(const Control& control) { return control.IsVisibleInTree() && control.IsEnabledInTree(); }

}  // namespace

void WindowCore::ControlHidden(Control& control) {
  if (IsInside(focused_, control)) SetFocus(nullptr);
  if (IsInside(pushed_, control)) std::exchange(pushed_, nullptr)->HandleEvent({UiEventType::kPressCancelled, {}});
  if (IsInside(hot_, control)) std::exchange(hot_, nullptr)->SetStateFlag(kStateHot, false);
}

void WindowCore::Notify(const Notification& notification) {
  if (destroying_) return;
  auto found = handlers_.find(notification.sender_name);
  if (found != handlers_.end() && found->second) {
    // Copied: the handler may replace itself.
    NotificationHandler handler = found->second;
    handler(notification);
  }
  if (sink_) {
    NotificationHandler sink = sink_;
    sink(notification);
  }
}

void WindowCore::SetDpi(int dpi) {
  if (dpi <= 0 || dpi == dpi_) return;
  dpi_ = dpi;
  layout_pending_ = true;
}

Size WindowCore::PreferredClientSize() const {
  return {ScaleBy(description_->size.cx, dpi_), ScaleBy(description_->size.cy, dpi_)};
}

void WindowCore::Resize(Size client) {
  if (client == client_ && !layout_pending_) return;
  client_ = client;
  layout_pending_ = true;
  Invalidate({0, 0, client_.cx, client_.cy});
}

void WindowCore::LayoutIfNeeded() {
  // A layout may ask for another (a label's text changed its width); two
  // passes settle every case the controls produce, and the bound keeps a
  // pathological tree from looping.
  for (int pass = 0; pass < 3 && layout_pending_; ++pass) {
    layout_pending_ = false;
    root()->Arrange({0, 0, client_.cx, client_.cy});
  }
  layout_pending_ = false;
}

void WindowCore::Paint(HDC dc, const Rect& dirty, Point origin) {
  LayoutIfNeeded();
  Painter painter(dc, dpi_, resources(), origin);
  root()->Paint(painter, dirty);
}

RenderedImage WindowCore::Render() {
  LayoutIfNeeded();
  RenderedImage image;
  image.width = std::max(1, client_.cx);
  image.height = std::max(1, client_.cy);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = image.width;
  info.bmiHeader.biHeight = -image.height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  UniqueGdiObject bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
  if (!bitmap || !dc || bits == nullptr) return image;
  {
    ScopedSelectObject select(dc.Get(), bitmap.Get());
    RECT all{0, 0, image.width, image.height};
    ::FillRect(dc.Get(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    Paint(dc.Get(), {0, 0, image.width, image.height}, {});
    ::GdiFlush();
    const auto* pixels = static_cast<const uint32_t*>(bits);
    image.pixels.assign(pixels, pixels + static_cast<size_t>(image.width) * image.height);
  }
  (void)TakeDirty();
  return image;
}

Control* WindowCore::ControlAt(Point point) const { return root()->HitTest(point); }

Control* WindowCore::TooltipAt(Point point) const {
  Control* found = nullptr;
  Control* control = root();
  while (control != nullptr) {
    if (!control->tooltip().empty()) found = control;
    Control* next = nullptr;
    for (size_t i = control->child_count(); i-- > 0;) {
      Control* child = control->child(i);
      if (child->visible() && child->rect().Contains(point)) {
        next = child;
        break;
      }
    }
    control = next;
  }
  return found;
}

void WindowCore::MouseMove(Point point) {
  LayoutIfNeeded();
  Control* target = pushed_ != nullptr ? pushed_ : ControlAt(point);
  if (pushed_ == nullptr && target != hot_) {
    if (hot_ != nullptr) hot_->HandleEvent({UiEventType::kMouseLeave, point});
    hot_ = target;
    if (hot_ != nullptr) hot_->HandleEvent({UiEventType::kMouseEnter, point});
  }
  if (target != nullptr) target->HandleEvent({UiEventType::kMouseMove, point});
}

void WindowCore::MouseLeave() {
  if (hot_ != nullptr && pushed_ == nullptr) {
    hot_->HandleEvent({UiEventType::kMouseLeave, {}});
    hot_ = nullptr;
  }
}

void WindowCore::ButtonDown(Point point) {
  LayoutIfNeeded();
  Control* target = ControlAt(point);
  if (target == nullptr || !target->IsEnabledInTree()) return;
  if (target != hot_) MouseMove(point);
  // A press inside a tree focuses the tree: its keys act on the node.
  Control* focus = target;
  if (!focus->IsFocusable() && dynamic_cast<TreeNode*>(focus) != nullptr) {
    while (focus != nullptr && !focus->IsFocusable()) focus = focus->parent();
  }
  if (focus != nullptr && focus->IsFocusable()) SetFocus(focus);
  pushed_ = target;
  target->HandleEvent({UiEventType::kButtonDown, point});
}

void WindowCore::ButtonUp(Point point) {
  // Captured: the release goes to the control that saw the press, inside or not.
  Control* target = std::exchange(pushed_, nullptr);
  if (target != nullptr) {
    target->HandleEvent({TakesInput(*target) ? UiEventType::kButtonUp : UiEventType::kPressCancelled, point});
  }
  MouseMove(point);
}

void WindowCore::DoubleClick(Point point) { ButtonDown(point); }

void WindowCore::Wheel(Point point, int delta, bool sideways) {
  LayoutIfNeeded();
  const int pixels = delta * ScaleBy(40, dpi_) / WHEEL_DELTA;
  for (Control* c = ControlAt(point); c != nullptr; c = c->parent()) {
    if (sideways ? c->ScrollSideways(pixels) : c->ScrollBy(pixels)) return;
  }
}

bool WindowCore::KeyDown(int virtual_key, bool shift) {
  if (virtual_key == VK_TAB) return MoveFocus(shift);
  if (focused_ == nullptr || !TakesInput(*focused_)) return false;
  return focused_->HandleEvent({UiEventType::kKeyDown, {}, virtual_key});
}

bool WindowCore::IsCaption(Point point) const {
  const Edges& caption = description_->caption;
  const Rect area{ScaleBy(caption.left, dpi_), ScaleBy(caption.top, dpi_), client_.cx - ScaleBy(caption.right, dpi_),
                  ScaleBy(caption.bottom, dpi_)};
  if (!area.Contains(point)) return false;
  // Controls that take input keep it inside the caption (close buttons).
  Control* hit = ControlAt(point);
  return hit == nullptr || (!hit->IsFocusable() && dynamic_cast<Label*>(hit) == nullptr) ||
         (dynamic_cast<Label*>(hit) != nullptr && !hit->IsFocusable() && !hit->TakesMouse());
}

HCURSOR WindowCore::CursorAt(Point point) const {
  Control* hit = ControlAt(point);
  return hit != nullptr ? hit->CursorAt(point) : nullptr;
}

void WindowCore::SetFocus(Control* control) {
  if (control == focused_) return;
  Control* previous = std::exchange(focused_, control);
  if (previous != nullptr) previous->HandleEvent({UiEventType::kKillFocus, {}});
  if (focused_ != nullptr) focused_->HandleEvent({UiEventType::kSetFocus, {}});
  OnFocusChanged(focused_);
}

bool WindowCore::MoveFocus(bool backward) {
  LayoutIfNeeded();
  std::vector<Control*> order;
  WalkTree(*root(), [&order](Control& control) {
    if (!control.visible() || !control.enabled()) return Walk::kPastChildren;
    if (control.IsFocusable()) order.push_back(&control);
    return Walk::kIntoChildren;
  });
  if (order.empty()) return false;
  auto current = std::find(order.begin(), order.end(), focused_);
  size_t index;
  if (current == order.end()) {
    index = backward ? order.size() - 1 : 0;
  } else {
    const size_t at = static_cast<size_t>(current - order.begin());
    index = backward ? (at + order.size() - 1) % order.size() : (at + 1) % order.size();
  }
  SetFocus(order[index]);
  return true;
}

Control* WindowCore::FindControl(std::wstring_view name) const { return root()->FindByName(name); }

bool WindowCore::SetAttribute(std::wstring_view name, std::wstring_view attribute, const std::wstring& value) {
  Control* control = FindControl(name);
  if (control == nullptr) return false;
  if (attribute == L"index") return SelectItem(name, ParseInt(value).value_or(-1));
  return control->SetAttribute(attribute, value);
}

bool WindowCore::SelectItem(std::wstring_view name, int index) {
  Control* control = FindControl(name);
  return control != nullptr && control->SelectItem(index);
}

std::optional<std::wstring> WindowCore::ReadState(std::wstring_view name, std::wstring_view attribute) const {
  Control* control = FindControl(name);
  if (control == nullptr) return std::nullopt;
  return control->GetAttribute(attribute);
}

bool WindowCore::IsSelected(std::wstring_view name) const {
  Control* control = FindControl(name);
  return control != nullptr && control->IsSelected();
}

int WindowCore::CurrentIndex(std::wstring_view name) const {
  return ParseInt(ReadState(name, L"index").value_or(L"0")).value_or(0);
}

std::wstring WindowCore::Text(std::wstring_view name) const { return ReadState(name, L"text").value_or(L""); }

bool WindowCore::FillCombo(std::wstring_view name, const std::vector<std::wstring>& items,
                           const std::wstring& selected_text) {
  auto* combo = dynamic_cast<Combo*>(FindControl(name));
  if (combo == nullptr) return false;
  combo->SetItems(items);
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i] == selected_text) {
      (void)combo->SelectItem(static_cast<int>(i), false);
      break;
    }
  }
  return true;
}

void WindowCore::SetControlHandler(const std::wstring& name, NotificationHandler handler) {
  if (handler) {
    handlers_[name] = std::move(handler);
  } else {
    handlers_.erase(name);
  }
}

}  // namespace toolkit
