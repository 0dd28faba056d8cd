// Lists: an optional header and selectable elements (label or container
// elements); a new selection raises "itemselect".
#pragma once

#include "toolkit/label.h"
#include "toolkit/linear_layout.h"

namespace toolkit {

class List : public LinearLayout {
 public:
  explicit List(std::wstring class_name = L"List");
  [[nodiscard]] std::optional<std::wstring> GetAttribute(std::wstring_view name) const override;
  // Element `index` (header not counted); false when out of range.
  bool SelectItem(int index, bool notify);
  bool SelectItem(int index) override { return SelectItem(index, true); }
  [[nodiscard]] int selected() const { return selected_; }
  [[nodiscard]] int ElementCount() const;
  [[nodiscard]] int IndexOf(const Control* element) const;
  [[nodiscard]] Control* Element(int index) const;
  bool HandleEvent(const UiEvent& event) override;
  [[nodiscard]] bool IsFocusable() const override { return true; }
  [[nodiscard]] bool TakesMouse() const override { return false; }

 protected:
  bool ApplyAttribute(std::wstring_view name, const std::wstring& value) override;

 private:
  int selected_ = -1;
  int item_height_ = 0;
};

// Walks up to the List that owns `element` (nullptr when there is none).
[[nodiscard]] List* OwningList(Control* element);

class ListLabelElement : public Label {
 public:
  explicit ListLabelElement(std::wstring class_name = L"ListLabelElement");
  [[nodiscard]] bool TakesMouse() const override { return Control::TakesMouse(); }
  [[nodiscard]] bool IsSelected() const override { return selected_; }
  void SetSelected(bool selected, bool notify) override;
  void Activate() override;
  void PaintBackground(Painter& painter) override;

 private:
  bool selected_ = false;
};

class ListContainerElement : public LinearLayout {
 public:
  explicit ListContainerElement(std::wstring class_name = L"ListContainerElement");
  [[nodiscard]] bool TakesMouse() const override { return Control::TakesMouse(); }
  [[nodiscard]] bool IsSelected() const override { return selected_; }
  void SetSelected(bool selected, bool notify) override;
  void Activate() override;
  [[nodiscard]] Control* HitTest(Point point) override;

 protected:
  void PaintBackground(Painter& painter) override;

 private:
  bool selected_ = false;
};

// The highlight of a selected or hot row, as lists and trees show it.
void PaintRowHighlight(Painter& painter, const Rect& row, bool selected, bool hot);

}  // namespace toolkit
