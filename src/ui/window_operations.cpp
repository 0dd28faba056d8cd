#include "ui/window_operations.h"

namespace ui {

int IWindowOperations::CurrentIndex(std::wstring_view name) const {
  const std::wstring text = ReadState(name, L"index");
  if (text.empty() || text.size() > 9) return 0;
  int value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return 0;
    value = value * 10 + (c - L'0');
  }
  return value;
}

}  // namespace ui
