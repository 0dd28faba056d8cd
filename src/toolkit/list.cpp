#include "toolkit/list.h"

#include "platform/text.h"

namespace toolkit {
namespace {

constexpr Argb kSelectedBackground = 0xFFCCE4F7;
constexpr Argb kHotBackground = 0xFFE5F1FB;

bool IsHeader(const Control* control) { return control->class_name() == L"ListHeader"; }

}  // namespace

void PaintRowHighlight(Painter& painter, const Rect& row, bool selected, bool hot) {
  if (selected)
    painter.FillRect(row, kSelectedBackground);
  else if (hot)
    painter.FillRect(row, kHotBackground);
}

List::List(std::wstring class_name) : LinearLayout(std::move(class_name), Axis::kVertical) {}

bool List::ApplyAttribute(std::wstring_view name, const std::wstring& value) {
  if (name == L"itemheight")
    item_height_ = std::max(0, ParseInt(value).value_or(0));
  else if (name == L"header" || name == L"itemfont" || name == L"itemtextcolor" || name == L"itemselectedbkcolor" ||
           name == L"itemhotbkcolor" || name == L"itemalign" || name == L"itemshowhtml") {
  } else
    return LinearLayout::ApplyAttribute(name, value);
  return true;
}

int List::ElementCount() const {
  int count = 0;
  for (const auto& child : children_) count += IsHeader(child.get()) ? 0 : 1;
  return count;
}

Control* List::Element(int index) const {
  for (const auto& child : children_) {
    if (IsHeader(child.get())) continue;
    if (index-- == 0) return child.get();
  }
  return nullptr;
}

int List::IndexOf(const Control* element) const {
  int index = 0;
  for (const auto& child : children_) {
    if (IsHeader(child.get())) continue;
    if (child.get() == element) return index;
    ++index;
  }
  return -1;
}

bool List::SelectItem(int index, bool notify) {
  Control* element = Element(index);
  if (element == nullptr) return false;
  if (index == selected_) return true;
  if (Control* previous = Element(selected_)) previous->SetSelected(false, false);
  selected_ = index;
  element->SetSelected(true, false);
  ScrollIntoView(element);
  if (notify) Notify(L"itemselect", index);
  return true;
}

std::optional<std::wstring> List::GetAttribute(std::wstring_view name) const {
  if (name == L"index" || name == L"cursel") return platform::DecimalText(selected_);
  if (name == L"count") return platform::DecimalText(ElementCount());
  return LinearLayout::GetAttribute(name);
}

bool List::HandleEvent(const UiEvent& event) {
  if (event.type == UiEventType::kKeyDown && (event.key == VK_DOWN || event.key == VK_UP)) {
    (void)SelectItem(std::max(0, selected_ + (event.key == VK_DOWN ? 1 : -1)), true);
    return true;
  }
  return LinearLayout::HandleEvent(event);
}

List* OwningList(Control* element) {
  for (Control* c = element->parent(); c != nullptr; c = c->parent()) {
    if (auto* list = dynamic_cast<List*>(c)) return list;
  }
  return nullptr;
}

ListLabelElement::ListLabelElement(std::wstring class_name) : Label(std::move(class_name)) {}

void ListLabelElement::SetSelected(bool selected, bool notify) {
  (void)notify;
  if (selected == selected_) return;
  selected_ = selected;
  Invalidate();
}

void ListLabelElement::Activate() {
  if (List* list = OwningList(this)) (void)list->SelectItem(list->IndexOf(this), true);
}

void ListLabelElement::PaintBackground(Painter& painter) {
  Label::PaintBackground(painter);
  PaintRowHighlight(painter, rect_, selected_, (state_ & kStateHot) != 0);
}

ListContainerElement::ListContainerElement(std::wstring class_name)
    : LinearLayout(std::move(class_name), Axis::kHorizontal) {}

void ListContainerElement::SetSelected(bool selected, bool notify) {
  (void)notify;
  if (selected == selected_) return;
  selected_ = selected;
  Invalidate();
}

void ListContainerElement::Activate() {
  if (List* list = OwningList(this)) (void)list->SelectItem(list->IndexOf(this), true);
}

Control* ListContainerElement::HitTest(Point point) {
  Control* hit = LinearLayout::HitTest(point);
  // Plain labels inside an element do not swallow the element's click.
  if (hit != nullptr && hit != this && !hit->IsFocusable() && dynamic_cast<Label*>(hit) != nullptr &&
      !hit->TakesMouse())
    return this;
  if (hit == nullptr && rect_.Contains(point) && visible()) return this;
  return hit;
}

void ListContainerElement::PaintBackground(Painter& painter) {
  LinearLayout::PaintBackground(painter);
  PaintRowHighlight(painter, rect_, selected_, (state_ & kStateHot) != 0);
}

}  // namespace toolkit
