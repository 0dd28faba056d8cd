#include "toolkit/tab_layout.h"

#include "platform/text.h"

namespace toolkit {

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

}  // namespace toolkit
