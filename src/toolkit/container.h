// Container: children fill it, float children sit where they say, and
// content larger than the container scrolls on either axis.
#pragma once

#include "toolkit/axis.h"
#include "toolkit/control.h"
#include "toolkit/scroll_thumb.h"

namespace toolkit {

class Container : public Control {
 public:
  explicit Container(std::wstring class_name = L"Container");
  [[nodiscard]] bool AcceptsChildren() const override { return true; }
  void Arrange(const Rect& rect) override;
  [[nodiscard]] Control* HitTest(Point point) override;
  bool ScrollBy(int delta) override;
  bool ScrollSideways(int delta) override;
  bool HandleEvent(const UiEvent& event) override;
  [[nodiscard]] std::optional<std::wstring> GetAttribute(std::wstring_view name) const override;

  [[nodiscard]] int scroll_offset() const { return Bar(Axis::kVertical).offset; }
  [[nodiscard]] int content_extent() const { return Bar(Axis::kVertical).extent; }
  [[nodiscard]] int hscroll_offset() const { return Bar(Axis::kHorizontal).offset; }
  [[nodiscard]] int content_width() const { return Bar(Axis::kHorizontal).extent; }
  [[nodiscard]] Rect InnerRect() const;
  // Scrolls so that `child` is in view.
  void ScrollIntoView(const Control* child);

 protected:
  bool ApplyAttribute(std::wstring_view name, const std::wstring& value) override;
  void PaintChildren(Painter& painter, const Rect& dirty) override;
  // Places the children (not the float ones) within `inner`, already
  // shifted by the scroll offsets; returns the extent along the scroll axis.
  virtual int ArrangeChildren(const Rect& inner);
  // The width the children want side by side or stacked, for containers
  // that scroll sideways: they are laid out at least this wide.
  [[nodiscard]] virtual int MeasureContentWidth(const Rect& inner);
  void ArrangeFloatChildren();
  [[nodiscard]] bool vertical_scroll() const { return Bar(Axis::kVertical).enabled; }
  [[nodiscard]] int child_padding() const { return Scale(child_padding_); }

  Edges inset_;
  int child_padding_ = 0;

 private:
  // One scroll bar's state; the same code serves both axes.
  struct ScrollState {
    bool enabled = false;
    int offset = 0;  // pixels of content scrolled out before the view
    int extent = 0;  // pixels of content along the axis
  };
  [[nodiscard]] ScrollState& Bar(Axis axis) { return scroll_[axis == Axis::kVertical ? 0 : 1]; }
  [[nodiscard]] const ScrollState& Bar(Axis axis) const { return scroll_[axis == Axis::kVertical ? 0 : 1]; }
  void Relayout();
  // True when the offsets had to move back into range.
  bool ClampScroll();
  bool ScrollAxisBy(Axis axis, int delta);
  [[nodiscard]] int ViewLength(Axis axis) const;
  [[nodiscard]] bool Overflows(Axis axis) const;
  [[nodiscard]] Rect ScrollTrack(Axis axis) const;
  // The thumb along the axis, its start in window coordinates.
  [[nodiscard]] ThumbSpan ThumbOf(Axis axis) const;
  ScrollState scroll_[2];
  bool dragging_thumb_ = false;
  Axis drag_axis_ = Axis::kVertical;
  int drag_start_ = 0;
  int drag_start_offset_ = 0;
};

}  // namespace toolkit
