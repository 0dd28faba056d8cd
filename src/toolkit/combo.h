// Combo boxes: the chosen item, and a list the window drops down.
#pragma once

#include "toolkit/label.h"

namespace toolkit {

class Combo : public Label {
 public:
  explicit Combo(std::wstring class_name = L"Combo");
  [[nodiscard]] bool AcceptsChildren() const override { return true; }
  [[nodiscard]] bool IsFocusable() const override { return true; }
  [[nodiscard]] bool TakesMouse() const override { return Control::TakesMouse(); }
  [[nodiscard]] std::optional<std::wstring> GetAttribute(std::wstring_view name) const override;
  bool HandleEvent(const UiEvent& event) override;
  void Activate() override;
  // Children written in the description become items.
  void FinishBuild() override;
  void SetItems(std::vector<std::wstring> items);
  // Selects item `index`; false when out of range.
  bool SelectItem(int index, bool notify);
  bool SelectItem(int index) override { return SelectItem(index, true); }
  [[nodiscard]] int selected() const { return selected_; }
  [[nodiscard]] const std::vector<std::wstring>& items() const { return items_; }
  // The drop-down list's limits: at most `drop_rows` rows, and at most
  // `drop_height` unscaled pixels when that is not 0.
  [[nodiscard]] int drop_rows() const { return drop_rows_; }
  [[nodiscard]] int drop_height() const { return drop_height_; }

 protected:
  bool ApplyAttribute(std::wstring_view name, const std::wstring& value) override;
  void PaintText(Painter& painter) override;

 private:
  std::vector<std::wstring> items_;
  int selected_ = -1;
  int drop_rows_ = 10;
  int drop_height_ = 0;
};

}  // namespace toolkit
