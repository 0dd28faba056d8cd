#include "toolkit/web_browser.h"

namespace toolkit {

WebBrowser::WebBrowser(std::wstring class_name) : Control(std::move(class_name)) {}

bool WebBrowser::ApplyAttribute(std::wstring_view name, const std::wstring& value) {
  if (name == L"homepage" || name == L"url")
    home_page_ = value;
  else if (name == L"clsid")
    clsid_ = value;
  else if (name == L"navigatetimeout")
    navigate_timeout_ms_ = static_cast<DWORD>(std::clamp(ParseInt(value).value_or(15000), 100, 600000));
  else if (name == L"autonavi" || name == L"delaycreate") {
  } else
    return Control::ApplyAttribute(name, value);
  return true;
}

std::optional<std::wstring> WebBrowser::GetAttribute(std::wstring_view name) const {
  if (name == L"homepage" || name == L"url") return home_page_;
  return Control::GetAttribute(name);
}

}  // namespace toolkit
