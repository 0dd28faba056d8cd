#include "toolkit/child_layout.h"

namespace toolkit {

ChildLayout::ChildLayout() : Container(L"ChildLayout") {}

bool ChildLayout::ApplyAttribute(std::wstring_view name, const std::wstring& value) {
  if (name == L"xmlfile") {
    xml_file_ = value;
    return true;
  }
  return Container::ApplyAttribute(name, value);
}

}  // namespace toolkit
