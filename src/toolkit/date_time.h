// Date fields: a date shown as YYYY-MM-DD that Up and Down step by a day.
#pragma once

#include "toolkit/label.h"

namespace toolkit {

class DateTime : public Label {
 public:
  DateTime();
  [[nodiscard]] bool IsFocusable() const override { return true; }
  [[nodiscard]] bool TakesMouse() const override { return Control::TakesMouse(); }
  bool HandleEvent(const UiEvent& event) override;
  [[nodiscard]] std::optional<std::wstring> GetAttribute(std::wstring_view name) const override;

 protected:
  bool ApplyAttribute(std::wstring_view name, const std::wstring& value) override;

 private:
  void Show();
  SYSTEMTIME date_{};
};

}  // namespace toolkit
