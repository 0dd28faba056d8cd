// The release's promotional web page on the progress tab: loaded into the
// "adsBrowser" control, shown in place of the picture slides once a real
// page has loaded without error, with its "app:openWeb?url=" links opened in
// the user's browser instead of inside the panel.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>

#include "toolkit/web_browser_events.h"
#include "ui/shell.h"
#include "ui/window_operations.h"

namespace ui {

inline constexpr wchar_t kAdsBrowser[] = L"adsBrowser";

// The address an "app:openWeb?url=<address>" link asks to open (everything
// after the prefix's "=", nothing decoded); nullopt for any other URL, for
// the prefix in another letter case, or with nothing after it.
[[nodiscard]] std::optional<std::wstring> OpenWebTarget(const std::wstring& url);

class WebAdsPanel final : public toolkit::IWebBrowserEvents {
 public:
  // The panel shows itself (on the UI thread) when a page counts as loaded.
  WebAdsPanel(IWindowOperations& window, IShell& shell);

  // Hides the panel behind the slides and loads `url` (web addresses only).
  // False when nothing was loaded.
  [[nodiscard]] bool Load(const std::string& url);
  // Back to the slides (a new run, or a failure page).
  void Hide();

  // Browser events (UI thread, from the hosted browser).
  void BeforeNavigate2(IDispatch* dispatch, VARIANT* url, VARIANT* flags, VARIANT* target_frame, VARIANT* post_data,
                       VARIANT* headers, VARIANT_BOOL* cancel) override;
  void NavigateError(IDispatch* dispatch, VARIANT* url, VARIANT* target_frame, VARIANT* status_code,
                     VARIANT_BOOL* cancel) override;
  void NavigateComplete2(IDispatch* dispatch, VARIANT* url) override;
  HRESULT GetHostInfo(DOCHOSTUIINFO* info) override;

  [[nodiscard]] bool shown() const { return shown_; }

 private:
  void Show();

  IWindowOperations& window_;
  IShell& shell_;
  // Set by BeforeNavigate2, cleared by NavigateError; events may come from
  // the browser's own thread.
  std::atomic<bool> navigation_ok_{true};
  bool shown_ = false;  // UI thread
};

}  // namespace ui
