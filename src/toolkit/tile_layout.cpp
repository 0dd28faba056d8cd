#include "toolkit/tile_layout.h"

namespace toolkit {

TileLayout::TileLayout() : Container(L"TileLayout") {}

bool TileLayout::ApplyAttribute(std::wstring_view name, const std::wstring& value) {
  if (name == L"columns")
    columns_ = std::clamp(ParseInt(value).value_or(0), 0, 1000);
  else if (name == L"itemsize")
    item_size_ = ParseSize(value).value_or(Size{});
  else
    return Container::ApplyAttribute(name, value);
  NeedLayout();
  return true;
}

int TileLayout::ArrangeChildren(const Rect& inner) {
  const int item_width = Scale(item_size_.cx);
  int columns = columns_;
  if (columns <= 0)
    columns = item_width > 0 ? std::max(1, (inner.width() + child_padding()) / (item_width + child_padding())) : 1;
  const int cell_width = item_width > 0 && columns_ <= 0
                             ? item_width
                             : std::max(0, (inner.width() - child_padding() * (columns - 1)) / columns);
  int column = 0;
  int top = inner.top;
  int row_height = 0;
  for (auto& child : children_) {
    if (!child->visible() || child->is_float()) continue;
    const Size preferred = child->Measure({cell_width, inner.height()});
    const int cell_height = item_size_.cy > 0 ? Scale(item_size_.cy) : (preferred.cy > 0 ? preferred.cy : cell_width);
    const int left = inner.left + column * (cell_width + child_padding());
    const Edges margin = ScaleBy(child->padding(), host() ? host()->dpi() : 96);
    child->Arrange(Rect{left, top, left + cell_width, top + cell_height}.Deflate(margin));
    row_height = std::max(row_height, cell_height);
    if (++column == columns) {
      column = 0;
      top += row_height + child_padding();
      row_height = 0;
    }
  }
  return top + row_height - inner.top;
}

}  // namespace toolkit
