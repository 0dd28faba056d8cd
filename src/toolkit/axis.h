// The two axes layouts and scroll bars work along, and geometry seen from
// one: code written for the vertical axis (lengths run down the page) serves
// the horizontal one through the view, which swaps x and y there.
#pragma once

#include "toolkit/geometry.h"

namespace toolkit {

enum class Axis { kVertical, kHorizontal };

// Sizes, points, edges and rectangles as an axis sees them: along the axis
// is top to bottom, across it left to right. The view of a view is the
// original, so the same call turns a result back.
class AxisView {
 public:
  explicit AxisView(Axis axis) : swapped_(axis == Axis::kHorizontal) {}
  [[nodiscard]] bool swapped() const { return swapped_; }
  [[nodiscard]] Size operator()(Size s) const { return swapped_ ? Size{s.cy, s.cx} : s; }
  [[nodiscard]] Point operator()(Point p) const { return swapped_ ? Point{p.y, p.x} : p; }
  [[nodiscard]] Edges operator()(const Edges& e) const {
    return swapped_ ? Edges{e.top, e.left, e.bottom, e.right} : e;
  }
  [[nodiscard]] Rect operator()(const Rect& r) const { return swapped_ ? Rect{r.top, r.left, r.bottom, r.right} : r; }

 private:
  bool swapped_;
};

}  // namespace toolkit
