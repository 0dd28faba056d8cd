// VerticalLayout and HorizontalLayout: children stacked along an axis, each
// with its fixed size, or sharing what is left when they stretch.
#pragma once

#include "toolkit/container.h"

namespace toolkit {

class LinearLayout : public Container {
 public:
  LinearLayout(std::wstring class_name, Axis axis);

 protected:
  int ArrangeChildren(const Rect& inner) override;
  [[nodiscard]] int MeasureContentWidth(const Rect& inner) override;

 private:
  Axis axis_;
};

}  // namespace toolkit
