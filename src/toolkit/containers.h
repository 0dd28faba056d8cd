// Controls that hold and place other controls: Container (children fill
// it), VerticalLayout/HorizontalLayout (stack with fixed and stretched
// sizes), TileLayout (grid), TabLayout (one child shown), ChildLayout
// (children from another description). Overflowing containers scroll.
#pragma once

#include "toolkit/control.h"

namespace toolkit {

class Container : public Control {
 public:
  explicit Container(std::wstring class_name = L"Container");
  [[nodiscard]] bool AcceptsChildren() const override { return true; }
  void Arrange(const Rect& rect) override;
  [[nodiscard]] Control* HitTest(Point point) override;
  bool ScrollBy(int delta) override;
  bool HandleEvent(const UiEvent& event) override;
  [[nodiscard]] std::optional<std::wstring> GetAttribute(std::wstring_view name) const override;

  [[nodiscard]] int scroll_offset() const { return scroll_offset_; }
  [[nodiscard]] int content_extent() const { return content_extent_; }
  [[nodiscard]] Rect InnerRect() const;
  // Scrolls so that `child` is in view.
  void ScrollIntoView(const Control* child);

 protected:
  bool ApplyAttribute(std::wstring_view name, const std::wstring& value) override;
  void PaintChildren(Painter& painter, const Rect& dirty) override;
  // Places the children (not the float ones) within `inner`, already
  // shifted by the scroll offset; returns the extent along the scroll axis.
  virtual int ArrangeChildren(const Rect& inner);
  void ArrangeFloatChildren();
  [[nodiscard]] bool vertical_scroll() const { return vertical_scroll_; }
  [[nodiscard]] int child_padding() const { return Scale(child_padding_); }

  Edges inset_;
  int child_padding_ = 0;

 private:
  void ClampScroll();
  [[nodiscard]] bool Overflows() const;
  [[nodiscard]] Rect ScrollTrack() const;
  bool vertical_scroll_ = false;
  bool dragging_thumb_ = false;
  int drag_start_y_ = 0;
  int drag_start_offset_ = 0;
  int scroll_offset_ = 0;
  int content_extent_ = 0;
};

enum class Axis { kVertical, kHorizontal };

class LinearLayout : public Container {
 public:
  LinearLayout(std::wstring class_name, Axis axis);

 protected:
  int ArrangeChildren(const Rect& inner) override;

 private:
  Axis axis_;
};

class TileLayout : public Container {
 public:
  TileLayout();

 protected:
  bool ApplyAttribute(std::wstring_view name, const std::wstring& value) override;
  int ArrangeChildren(const Rect& inner) override;

 private:
  int columns_ = 0;
  Size item_size_;
};

class TabLayout : public Container {
 public:
  TabLayout();
  // Shows child `index`; false (and nothing changes) when out of range.
  bool SelectItem(int index);
  [[nodiscard]] int selected() const { return selected_; }
  [[nodiscard]] std::optional<std::wstring> GetAttribute(std::wstring_view name) const override;
  void FinishBuild();

 protected:
  bool ApplyAttribute(std::wstring_view name, const std::wstring& value) override;

 private:
  int selected_ = 0;
};

class ChildLayout : public Container {
 public:
  ChildLayout();
  [[nodiscard]] const std::wstring& xml_file() const { return xml_file_; }

 protected:
  bool ApplyAttribute(std::wstring_view name, const std::wstring& value) override;

 private:
  std::wstring xml_file_;
};

}  // namespace toolkit
