#include "toolkit/hosted_browser.h"

#include "toolkit/log.h"

namespace toolkit {

// The browser engine's COM site is not built yet; every navigation reports
// that no engine is available.
class BrowserSite {};

HostedBrowser::HostedBrowser(HWND parent, IWebBrowserEvents* handler) : parent_(parent), handler_(handler) {}

HostedBrowser::~HostedBrowser() = default;

void HostedBrowser::SetHandler(IWebBrowserEvents* handler) { handler_ = handler; }

void HostedBrowser::Place(const Rect& rect, bool visible) { (void)rect, (void)visible; }

bool HostedBrowser::has_engine() const { return site_ != nullptr; }

bool HostedBrowser::Navigate(const std::wstring& url) {
  (void)parent_;
  ReportFailure(url, static_cast<long>(E_NOTIMPL));
  return false;
}

void HostedBrowser::ReportFailure(const std::wstring& url, long status) {
  LogOnce(L"browser-missing", L"web browser: no browser engine available; navigation fails");
  if (handler_ == nullptr) return;
  VARIANT url_variant;
  ::VariantInit(&url_variant);
  url_variant.vt = VT_BSTR;
  url_variant.bstrVal = ::SysAllocString(url.c_str());
  VARIANT frame;
  ::VariantInit(&frame);
  VARIANT status_variant;
  ::VariantInit(&status_variant);
  status_variant.vt = VT_I4;
  status_variant.lVal = status;
  VARIANT_BOOL cancel = VARIANT_FALSE;
  handler_->NavigateError(nullptr, &url_variant, &frame, &status_variant, &cancel);
  ::VariantClear(&url_variant);
}

}  // namespace toolkit
