// The native side of a WebBrowser control: the system's browser object
// hosted through a minimal OLE in-place site with the document-host
// interface and a navigation event sink. Where no browser engine answers
// (the object cannot be made, or a navigation neither completes nor fails
// within its time limit) the handler hears of a navigation error. Each
// failure reaches the handler once, and the log says which path told it:
// the engine's own answer, the time limit, or no engine at all.
#pragma once

#include <string>

#include "platform/windows_api.h"
#include "toolkit/com_owners.h"
#include "toolkit/geometry.h"
#include "toolkit/web_browser_events.h"

namespace toolkit {

class BrowserSite;

class HostedBrowser {
 public:
  // Status reported when a navigation neither completes nor fails in time.
  static constexpr long kTimedOut = 408;
  // Status reported when no browser object can be made.
  static constexpr long kNoEngine = static_cast<long>(0x80040154);  // REGDB_E_CLASSNOTREG

  HostedBrowser(HWND parent, IWebBrowserEvents* handler, DWORD timeout_ms);
  ~HostedBrowser();
  HostedBrowser(const HostedBrowser&) = delete;
  HostedBrowser& operator=(const HostedBrowser&) = delete;

  void SetHandler(IWebBrowserEvents* handler);
  [[nodiscard]] IWebBrowserEvents* handler() const { return handler_; }
  void Place(const Rect& rect, bool visible);
  // Starts a navigation; false (and the handler told) when it cannot start.
  bool Navigate(const std::wstring& url);
  [[nodiscard]] bool has_engine() const { return site_.IsValid(); }
  // Called periodically by the window: reports navigations past their time.
  // True while a navigation is still pending.
  bool CheckTimeout();

  // From the site: a navigation to `url` completed.
  void NavigationEnded(const std::wstring& url);
  // From the site: the engine reported a failure; true when the handler is
  // to hear of it (not when the time limit already reported this URL).
  [[nodiscard]] bool EngineReportedError(const std::wstring& url, long status);

 private:
  void ReportFailure(const std::wstring& url, long status);
  HWND parent_;
  IWebBrowserEvents* handler_;
  DWORD timeout_ms_;
  ScopedOle ole_;                           // in-place activation needs OLE on the UI thread
  UniqueCom<ComObject<BrowserSite>> site_;  // one reference; let go of before OLE ends
  std::wstring pending_url_;
  ULONGLONG pending_since_ = 0;
  bool pending_ = false;
  int outstanding_ = 0;         // navigations started and not yet ended
  std::wstring timed_out_url_;  // the last one the time limit reported
};

}  // namespace toolkit
