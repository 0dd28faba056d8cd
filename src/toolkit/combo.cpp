#include "toolkit/combo.h"

#include "platform/text.h"

namespace toolkit {

Combo::Combo(std::wstring class_name) : Label(std::move(class_name)) {}

void Combo::FinishBuild() {
  std::vector<std::wstring> items;
  for (auto& child : children_) items.push_back(child->text());
  children_.clear();
  if (!items.empty()) SetItems(std::move(items));
}

void Combo::SetItems(std::vector<std::wstring> items) {
  items_ = std::move(items);
  if (selected_ >= static_cast<int>(items_.size())) selected_ = -1;
  if (selected_ < 0 && !items_.empty()) selected_ = 0;
  Invalidate();
}

bool Combo::SelectItem(int index, bool notify) {
  if (index < 0 || index >= static_cast<int>(items_.size())) return false;
  if (index == selected_) return true;
  selected_ = index;
  Invalidate();
  if (notify) Notify(L"itemselect", index);
  return true;
}

std::optional<std::wstring> Combo::GetAttribute(std::wstring_view name) const {
  if (name == L"index" || name == L"cursel") return platform::DecimalText(selected_);
  if (name == L"text") return selected_ >= 0 ? items_[static_cast<size_t>(selected_)] : std::wstring();
  if (name == L"count") return platform::DecimalText(static_cast<int>(items_.size()));
  return Label::GetAttribute(name);
}

bool Combo::HandleEvent(const UiEvent& event) {
  if (event.type == UiEventType::kKeyDown && IsEnabledInTree() && (event.key == VK_DOWN || event.key == VK_UP)) {
    (void)SelectItem(selected_ + (event.key == VK_DOWN ? 1 : -1), true);
    return true;
  }
  return Control::HandleEvent(event);
}

void Combo::Activate() {
  if (host() == nullptr || items_.empty()) return;
  (void)host()->OpenDropDown(*this);  // without a native window there is nothing to drop
}

bool Combo::ApplyAttribute(std::wstring_view name, const std::wstring& value) {
  if (name == L"itemcount") {
    drop_rows_ = std::clamp(ParseInt(value).value_or(drop_rows_), 1, 100);
    return true;
  }
  if (name == L"dropboxsize") {
    // "width,height": a height limits the list (0 keeps the row count).
    const auto comma = value.find(L',');
    if (comma != std::wstring::npos) drop_height_ = std::clamp(ParseInt(value.substr(comma + 1)).value_or(0), 0, 4000);
    return true;
  }
  return Label::ApplyAttribute(name, value);
}

void Combo::PaintText(Painter& painter) {
  Rect area = TextRect();
  const int arrow = painter.Scale(8);
  const int cx = rect_.right - painter.Scale(10);
  const int cy = rect_.top + rect_.height() / 2;
  // A small drop-down triangle drawn as stacked lines.
  for (int i = 0; i < arrow / 2; ++i) {
    painter.FillRect({cx - arrow / 2 + i, cy - arrow / 4 + i, cx + arrow / 2 - i, cy - arrow / 4 + i + 1},
                     CurrentTextColor());
  }
  area.right = std::max(area.left, area.right - painter.Scale(18));
  if (selected_ >= 0)
    painter.DrawText(items_[static_cast<size_t>(selected_)], area, style_.font, CurrentTextColor(), style_.text_flags);
}

}  // namespace toolkit
