#include "ui/web_ads_panel.h"

#include "install/retry_policy.h"
#include "platform/text.h"
#include "startup/log.h"

namespace ui {
namespace {

constexpr wchar_t kOpenWebPrefix[] = L"app:openWeb?url=";
constexpr size_t kOpenWebPrefixLength = sizeof(kOpenWebPrefix) / sizeof(wchar_t) - 1;
constexpr const wchar_t* kLoadingLayouts[] = {L"loadingLayout", L"loadingLayout2", L"loadingLayout3"};

// DOCHOSTUIFLAG_DIALOG | DISABLE_HELP_MENU | NO3DBORDER | SCROLL_NO | THEME |
// NO3DOUTERBORDER: no selection, help menu, borders or scroll bars; themed.
constexpr DWORD kHostFlags = 0x24000F;

std::wstring UrlText(const VARIANT* url) {
  if (url == nullptr || url->vt != VT_BSTR || url->bstrVal == nullptr) return {};
  return std::wstring(url->bstrVal, ::SysStringLen(url->bstrVal));
}

}  // namespace

std::optional<std::wstring> OpenWebTarget(const std::wstring& url) {
  if (url.size() <= kOpenWebPrefixLength || url.compare(0, kOpenWebPrefixLength, kOpenWebPrefix) != 0) {
    return std::nullopt;
  }
  return url.substr(kOpenWebPrefixLength);
}

WebAdsPanel::WebAdsPanel(IWindowOperations& window, IShell& shell) : window_(window), shell_(shell) {}

bool WebAdsPanel::Load(const std::string& url) {
  Hide();
  const std::wstring address = platform::AnsiToWide(url);
  if (!install::IsOpenableWebAddress(address)) {
    startup::Log("load h5 skipped: not a web address: %s\n", url);
    return false;
  }
  startup::Log("load h5 SetWebUrl\n");
  if (!window_.LoadWebContent(kAdsBrowser, address, this)) {
    startup::Log("load h5 FindControl: no web browser control\n");
    return false;
  }
  startup::Log("load h5 end\n");
  return true;
}

void WebAdsPanel::Hide() {
  shown_ = false;
  window_.SetInterceptWebEvents(false);
  window_.SetVisible(kAdsBrowser, false);
  for (const wchar_t* layout : kLoadingLayouts) window_.SetVisible(layout, true);
}

void WebAdsPanel::Show() {
  if (shown_) return;
  shown_ = true;
  window_.SetVisible(kAdsBrowser, true);
  for (const wchar_t* layout : kLoadingLayouts) window_.SetVisible(layout, false);
  window_.SetInterceptWebEvents(true);
}

void WebAdsPanel::BeforeNavigate2(IDispatch*, VARIANT* url, VARIANT*, VARIANT*, VARIANT*, VARIANT*,
                                  VARIANT_BOOL* cancel) {
  navigation_ok_ = true;
  const std::optional<std::wstring> target = OpenWebTarget(UrlText(url));
  if (!target) return;
  // The content asks for the user's own browser: never navigate the panel.
  if (cancel != nullptr) *cancel = VARIANT_TRUE;
  const std::wstring address = *target;
  window_.PostToUiThread([this, address] { (void)OpenWebAddress(shell_, address, "app:openWeb link"); });
}

void WebAdsPanel::NavigateError(IDispatch*, VARIANT* url, VARIANT*, VARIANT* status_code, VARIANT_BOOL*) {
  navigation_ok_ = false;
  const long status = status_code != nullptr && status_code->vt == VT_I4 ? status_code->lVal : 0;
  startup::Log("load h5 navigation error %d: %s\n", static_cast<int>(status), UrlText(url));
}

void WebAdsPanel::NavigateComplete2(IDispatch*, VARIANT* url) {
  const std::wstring text = UrlText(url);
  if (text.empty() || text == L"about:blank" || !navigation_ok_) return;
  window_.PostToUiThread([this] { Show(); });
}

HRESULT WebAdsPanel::GetHostInfo(DOCHOSTUIINFO* info) {
  if (info == nullptr) return S_OK;
  info->cbSize = 20;
  info->dwDoubleClick = 0;
  info->dwFlags |= kHostFlags;
  return S_OK;
}

}  // namespace ui
