// The place of a hosted web browser in the layout; the window host makes
// the browser itself.
#pragma once

#include "toolkit/control.h"

namespace toolkit {

// WebBrowser and ActiveX: the native browser is made by the window host.
class WebBrowser : public Control {
 public:
  explicit WebBrowser(std::wstring class_name = L"WebBrowser");
  void RequestNative(NativeChildren& children) override { children.AddBrowser(*this); }
  [[nodiscard]] const std::wstring& home_page() const { return home_page_; }
  // How long a navigation may neither complete nor fail before the handler
  // hears of an error.
  [[nodiscard]] DWORD navigate_timeout_ms() const { return navigate_timeout_ms_; }
  [[nodiscard]] std::optional<std::wstring> GetAttribute(std::wstring_view name) const override;

 protected:
  bool ApplyAttribute(std::wstring_view name, const std::wstring& value) override;

 private:
  std::wstring home_page_;
  std::wstring clsid_;
  DWORD navigate_timeout_ms_ = 15000;
};

}  // namespace toolkit
