// Buttons, and the options and check boxes built on them.
#pragma once

#include "toolkit/label.h"

namespace toolkit {

class Button : public Label {
 public:
  explicit Button(std::wstring class_name = L"Button");
  [[nodiscard]] bool IsFocusable() const override { return true; }
  [[nodiscard]] bool TakesMouse() const override { return Control::TakesMouse(); }
  void Activate() override;
};

// How an option behaves when clicked: a radio option selects itself (and,
// in a group, no other); a check box toggles.
enum class OptionKind {
  kRadio,
  kCheckBox,
};

// Option (grouped radio) and CheckBox (toggle).
class Option : public Button {
 public:
  Option(std::wstring class_name, OptionKind kind);
  [[nodiscard]] bool IsSelected() const override { return selected_; }
  void SetSelected(bool selected, bool notify) override;
  void Activate() override;
  [[nodiscard]] const std::wstring& group() const { return group_; }

 protected:
  bool ApplyAttribute(std::wstring_view name, const std::wstring& value) override;

 private:
  std::wstring group_;
  bool selected_ = false;
  bool toggles_;
};

}  // namespace toolkit
