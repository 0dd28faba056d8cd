#include "toolkit/button.h"

namespace toolkit {

Button::Button(std::wstring class_name) : Label(std::move(class_name)) {
  style_.text_flags = style_.text_flags | TextFlags::kCenter;
}

void Button::Activate() { Notify(L"click"); }

Option::Option(std::wstring class_name, OptionKind kind)
    : Button(std::move(class_name)), toggles_(kind == OptionKind::kCheckBox) {
  style_.text_flags = Without(style_.text_flags, TextFlags::kCenter);
}

bool Option::ApplyAttribute(std::wstring_view name, const std::wstring& value) {
  if (name == L"group")
    group_ = value;
  else if (name == L"selected" || name == L"check")
    SetSelected(ParseBool(value).value_or(false), false);
  else
    return Button::ApplyAttribute(name, value);
  return true;
}

void Option::SetSelected(bool selected, bool notify) {
  if (selected == selected_) return;
  selected_ = selected;
  Invalidate();
  // One option of a group is selected at a time, across the whole window.
  if (selected_ && !group_.empty() && host() != nullptr && host()->root() != nullptr) {
    WalkTree(*host()->root(), [&](Control& control) {
      auto* other = dynamic_cast<Option*>(&control);
      if (other != nullptr && other != this && other->group_ == group_ && other->selected_) {
        other->selected_ = false;
        other->Invalidate();
        if (notify) other->Notify(L"selectchanged");
      }
      return Walk::kIntoChildren;
    });
  }
  if (notify) Notify(L"selectchanged");
}

void Option::Activate() {
  Notify(L"click");
  if (toggles_ || group_.empty()) {
    SetSelected(toggles_ ? !selected_ : true, true);
  } else {
    SetSelected(true, true);
  }
}

}  // namespace toolkit
