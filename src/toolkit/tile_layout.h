// TileLayout: children in a grid of equal cells.
#pragma once

#include "toolkit/container.h"

namespace toolkit {

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

}  // namespace toolkit
