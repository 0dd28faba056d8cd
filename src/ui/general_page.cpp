#include "ui/general_page.h"

#include "startup/product_config.h"

namespace ui {

void GeneralPage::OnClick(const wchar_t* name, std::function<void()> action) {
  window_.RegisterHandler(name, [action = std::move(action)](const ControlEvent& event) {
    if (event.type == L"click" || event.type == L"itemselect") action();
  });
}

std::wstring Text(const char* key) { return startup::Strings().Get(key); }

std::wstring TextWith(const char* key, const char* argument_key) {
  return startup::Strings().Format(key, argument_key, std::wstring());
}

std::wstring ReplaceMarks(std::wstring text, const std::wstring& first, const std::wstring& second) {
  // Both marks are found first, so a replacement holding "%2" stays as it is.
  const size_t one = text.find(L"%1");
  const size_t two = text.find(L"%2");
  if (two != std::wstring::npos && (one == std::wstring::npos || two > one)) {
    text.replace(two, 2, second);
    if (one != std::wstring::npos) text.replace(one, 2, first);
  } else {
    if (one != std::wstring::npos) text.replace(one, 2, first);
    if (two != std::wstring::npos) text.replace(two, 2, second);
  }
  return text;
}

}  // namespace ui
