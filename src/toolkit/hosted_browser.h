// The native side of a WebBrowser control: the system's browser object
// hosted through a minimal OLE in-place site with the document-host
// interface and a navigation event sink. Where no browser engine exists the
// object cannot be made; navigation then reports an error to the handler.
#pragma once

#include <memory>
#include <string>

#include "platform/windows_api.h"
#include "toolkit/geometry.h"
#include "toolkit/web_browser_events.h"

namespace toolkit {

class BrowserSite;

class HostedBrowser {
 public:
  HostedBrowser(HWND parent, IWebBrowserEvents* handler);
  ~HostedBrowser();
  HostedBrowser(const HostedBrowser&) = delete;
  HostedBrowser& operator=(const HostedBrowser&) = delete;

  void SetHandler(IWebBrowserEvents* handler);
  void Place(const Rect& rect, bool visible);
  // False when there is no browser engine; the handler has been told.
  bool Navigate(const std::wstring& url);
  [[nodiscard]] bool has_engine() const;

 private:
  void ReportFailure(const std::wstring& url, long status);
  HWND parent_;
  IWebBrowserEvents* handler_;
  BrowserSite* site_ = nullptr;  // COM object, reference counted
};

}  // namespace toolkit
