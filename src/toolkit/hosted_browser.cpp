#include "toolkit/hosted_browser.h"

#include <exdispid.h>
#include <ole2.h>

#include <cwchar>
#include <optional>

#include "platform/text.h"
#include "toolkit/com_owners.h"
#include "toolkit/log.h"

namespace toolkit {
namespace {

// The browser's events delivered to a sink for as long as this lives.
class EventConnection {
 public:
  EventConnection() = default;
  EventConnection(UniqueCom<IConnectionPoint> point, IUnknown* sink) : point_(std::move(point)) {
    if (point_ && FAILED(point_.Get()->Advise(sink, &cookie_))) cookie_ = 0;
  }
  ~EventConnection() {
    if (cookie_ != 0) (void)point_.Get()->Unadvise(cookie_);
  }
  EventConnection(const EventConnection&) = delete;
  EventConnection& operator=(const EventConnection&) = delete;

 private:
  UniqueCom<IConnectionPoint> point_;
  DWORD cookie_ = 0;
};

// The browser embedded in place with a client site, for as long as this
// lives: then hidden, closed and let go of the site.
class Embedding {
 public:
  Embedding() = default;
  Embedding(UniqueCom<IOleObject> object, IOleClientSite* site, HWND parent)
      : object_(std::move(object)), site_(site), parent_(parent) {}
  ~Embedding() {
    if (!object_) return;
    (void)object_.Get()->DoVerb(OLEIVERB_HIDE, nullptr, site_, 0, parent_, nullptr);
    (void)object_.Get()->Close(OLECLOSE_NOSAVE);
    (void)object_.Get()->SetClientSite(nullptr);
  }
  Embedding(const Embedding&) = delete;
  Embedding& operator=(const Embedding&) = delete;

  // Gives the object its site and activates it in place within `rect`.
  [[nodiscard]] bool Activate(RECT rect) {
    return object_ && SUCCEEDED(object_.Get()->SetClientSite(site_)) &&
           SUCCEEDED(object_.Get()->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_, 0, parent_, &rect));
  }

 private:
  UniqueCom<IOleObject> object_;
  IOleClientSite* site_ = nullptr;
  HWND parent_ = nullptr;
};

}  // namespace

// The browser's site: client site, in-place site and frame, document host
// and event sink in one COM object (made by MakeComObject, which counts its
// references). It lives as long as the browser holds it; HostedBrowser
// detaches it on destruction.
class BrowserSite : public IOleClientSite,
                    public IOleInPlaceSite,
                    public IOleInPlaceFrame,
                    public IDocHostUIHandler,
                    public DWebBrowserEvents2 {
 public:
  BrowserSite(HostedBrowser* owner, HWND parent) : owner_(owner), parent_(parent) {}

  [[nodiscard]] bool Start() {
    if (FAILED(::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IWebBrowser2,
                                  reinterpret_cast<void**>(browser_.Receive()))))
      return false;
    embedding_.emplace(QueryInterfaceOf<IOleObject>(browser_.Get(), IID_IOleObject), static_cast<IOleClientSite*>(this),
                       parent_);
    if (!embedding_->Activate(ToRect())) return false;
    auto container = QueryInterfaceOf<IConnectionPointContainer>(browser_.Get(), IID_IConnectionPointContainer);
    UniqueCom<IConnectionPoint> point;
    if (container && SUCCEEDED(container.Get()->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Receive()))) {
      events_.emplace(std::move(point), static_cast<DWebBrowserEvents2*>(this));
    }
    (void)browser_.Get()->put_Silent(VARIANT_TRUE);  // no script-error or security boxes over the window
    return true;
  }

  // Undoes Start in reverse order; the browser lets go of this site.
  void Stop() {
    owner_ = nullptr;
    events_.reset();
    embedding_.reset();
    browser_.Reset();
  }

  HRESULT Navigate(const std::wstring& url) {
    if (!browser_) return E_FAIL;
    VARIANT empty;
    ::VariantInit(&empty);
    UniqueBstr text(::SysAllocString(url.c_str()));
    return browser_.Get()->Navigate(text.Get(), &empty, &empty, &empty, &empty);
  }

  void Place(const Rect& rect, bool visible) {
    rect_ = rect;
    if (!browser_) return;
    auto in_place = QueryInterfaceOf<IOleInPlaceObject>(browser_.Get(), IID_IOleInPlaceObject);
    if (!in_place) return;
    RECT r = ToRect();
    (void)in_place.Get()->SetObjectRects(&r, &r);
    // An embedded browser ignores its Visible property: what shows is its
    // own child window, which is hidden and shown here.
    HWND native = nullptr;
    if (SUCCEEDED(in_place.Get()->GetWindow(&native)) && native != nullptr) {
      const bool shown = (::GetWindowLongPtrW(native, GWL_STYLE) & WS_VISIBLE) != 0;
      if (shown != visible) ::ShowWindow(native, visible ? SW_SHOWNA : SW_HIDE);
    }
  }

  // IUnknown; ComObject counts the references.
  STDMETHODIMP_(ULONG) AddRef() override = 0;
  STDMETHODIMP_(ULONG) Release() override = 0;
  STDMETHODIMP QueryInterface(REFIID id, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (id == IID_IUnknown || id == IID_IOleClientSite)
      *out = static_cast<IOleClientSite*>(this);
    else if (id == IID_IOleWindow || id == IID_IOleInPlaceSite)
      *out = static_cast<IOleInPlaceSite*>(this);
    else if (id == IID_IOleInPlaceUIWindow || id == IID_IOleInPlaceFrame)
      *out = static_cast<IOleInPlaceFrame*>(this);
    else if (id == IID_IDocHostUIHandler)
      *out = static_cast<IDocHostUIHandler*>(this);
    else if (id == IID_IDispatch || id == DIID_DWebBrowserEvents2)
      *out = static_cast<DWebBrowserEvents2*>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }

  // IOleClientSite.
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    if (moniker != nullptr) *moniker = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetContainer(IOleContainer** container) override {
    if (container != nullptr) *container = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (shared by the in-place site and the frame).
  STDMETHODIMP GetWindow(HWND* window) override {
    if (window == nullptr) return E_POINTER;
    *window = parent_;
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite.
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position, LPRECT clip,
                                LPOLEINPLACEFRAMEINFO info) override {
    if (frame != nullptr) {
      *frame = static_cast<IOleInPlaceFrame*>(this);
      AddRef();
    }
    if (document != nullptr) *document = nullptr;
    if (position != nullptr) *position = ToRect();
    if (clip != nullptr) *clip = ToRect();
    if (info != nullptr) {
      info->fMDIApp = FALSE;
      info->hwndFrame = parent_;
      info->haccel = nullptr;
      info->cAccelEntries = 0;
    }
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
  STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceUIWindow and IOleInPlaceFrame.
  STDMETHODIMP GetBorder(LPRECT) override { return E_NOTIMPL; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  // Shared by the frame and the document host.
  STDMETHODIMP EnableModeless(BOOL enable) override {
    IWebBrowserEvents* h = Handler();
    return h != nullptr ? h->EnableModeless(enable) : S_OK;
  }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  // IDocHostUIHandler: the program's handler answers, else the defaults.
  STDMETHODIMP ShowContextMenu(DWORD id, POINT* point, IUnknown* target, IDispatch* object) override {
    IWebBrowserEvents* h = Handler();
    return h != nullptr ? h->ShowContextMenu(id, point, target, object) : S_OK;
  }
  STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override {
    IWebBrowserEvents* h = Handler();
    return h != nullptr ? h->GetHostInfo(info) : E_NOTIMPL;
  }
  STDMETHODIMP ShowUI(DWORD id, IOleInPlaceActiveObject* active, IOleCommandTarget* target, IOleInPlaceFrame* frame,
                      IOleInPlaceUIWindow* document) override {
    IWebBrowserEvents* h = Handler();
    return h != nullptr ? h->ShowUI(id, active, target, frame, document) : S_FALSE;
  }
  STDMETHODIMP HideUI() override { return Handler() ? Handler()->HideUI() : S_OK; }
  STDMETHODIMP UpdateUI() override { return Handler() ? Handler()->UpdateUI() : S_OK; }
  STDMETHODIMP OnDocWindowActivate(BOOL activate) override {
    return Handler() ? Handler()->OnDocWindowActivate(activate) : S_OK;
  }
  STDMETHODIMP OnFrameWindowActivate(BOOL activate) override {
    return Handler() ? Handler()->OnFrameWindowActivate(activate) : S_OK;
  }
  STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) override {
    return Handler() ? Handler()->ResizeBorder(border, window, frame) : S_OK;
  }
  STDMETHODIMP TranslateAccelerator(LPMSG msg, const GUID* group, DWORD id) override {
    return Handler() ? Handler()->TranslateAccelerator(msg, group, id) : S_FALSE;
  }
  STDMETHODIMP GetOptionKeyPath(LPOLESTR* key, DWORD reserved) override {
    if (Handler()) return Handler()->GetOptionKeyPath(key, reserved);
    if (key != nullptr) *key = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetDropTarget(IDropTarget* drop_target, IDropTarget** result) override {
    if (Handler()) return Handler()->GetDropTarget(drop_target, result);
    if (result != nullptr) *result = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetExternal(IDispatch** dispatch) override {
    if (Handler()) return Handler()->GetExternal(dispatch);
    if (dispatch != nullptr) *dispatch = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP TranslateUrl(DWORD translate, OLECHAR* url_in, OLECHAR** url_out) override {
    if (Handler()) return Handler()->TranslateUrl(translate, url_in, url_out);
    if (url_out != nullptr) *url_out = nullptr;
    return S_FALSE;
  }
  STDMETHODIMP FilterDataObject(IDataObject* object, IDataObject** result) override {
    if (Handler()) return Handler()->FilterDataObject(object, result);
    if (result != nullptr) *result = nullptr;
    return S_FALSE;
  }

  // IDispatch: the browser's events.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count != nullptr) *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
    IWebBrowserEvents* h = Handler();
    if (params == nullptr) return S_OK;
    VARIANTARG* a = params->rgvarg;
    const UINT n = params->cArgs;
    switch (id) {
      case DISPID_BEFORENAVIGATE2:
        if (n == 7 && h != nullptr)
          h->BeforeNavigate2(a[6].pdispVal, a[5].pvarVal, a[4].pvarVal, a[3].pvarVal, a[2].pvarVal, a[1].pvarVal,
                             a[0].pboolVal);
        break;
      case DISPID_NAVIGATEERROR: {
        if (n != 5) break;
        const bool report =
            owner_ == nullptr || owner_->EngineReportedError(TextOf(a[3].pvarVal), StatusOf(a[1].pvarVal));
        if (report && h != nullptr)
          h->NavigateError(a[4].pdispVal, a[3].pvarVal, a[2].pvarVal, a[1].pvarVal, a[0].pboolVal);
        break;
      }
      case DISPID_NAVIGATECOMPLETE2:
        if (n != 2) break;
        if (owner_ != nullptr) owner_->NavigationEnded(TextOf(a[0].pvarVal));
        if (h != nullptr) h->NavigateComplete2(a[1].pdispVal, a[0].pvarVal);
        break;
      case DISPID_DOCUMENTCOMPLETE:
        // Frames complete too; only the top-level document is reported.
        if (n == 2 && h != nullptr && IsTopLevel(a[1].pdispVal)) h->DocumentComplete(a[1].pdispVal, a[0].pvarVal);
        break;
      case DISPID_NEWWINDOW3:
        if (n == 5 && h != nullptr)
          h->NewWindow3(a[4].ppdispVal, a[3].pboolVal, static_cast<DWORD>(a[2].lVal), a[1].bstrVal, a[0].bstrVal);
        break;
      case DISPID_COMMANDSTATECHANGE:
        if (n == 2 && h != nullptr) h->CommandStateChange(a[1].lVal, a[0].boolVal);
        break;
      default: break;
    }
    return S_OK;
  }

 protected:
  ~BrowserSite() = default;

 private:
  [[nodiscard]] IWebBrowserEvents* Handler() const { return owner_ != nullptr ? owner_->handler() : nullptr; }

  // Event arguments arrive as references to variants.
  [[nodiscard]] static std::wstring TextOf(const VARIANT* value) {
    if (value == nullptr) return {};
    if (value->vt == VT_BSTR && value->bstrVal != nullptr) return value->bstrVal;
    if (value->vt == (VT_BYREF | VT_VARIANT)) return TextOf(value->pvarVal);
    return {};
  }
  [[nodiscard]] static long StatusOf(const VARIANT* value) {
    if (value == nullptr) return 0;
    if (value->vt == VT_I4) return value->lVal;
    if (value->vt == (VT_BYREF | VT_VARIANT)) return StatusOf(value->pvarVal);
    return 0;
  }

  // COM identity: the same object answers IUnknown with the same pointer.
  [[nodiscard]] bool IsTopLevel(IDispatch* dispatch) const {
    if (dispatch == nullptr || !browser_) return false;
    const auto a = QueryInterfaceOf<IUnknown>(dispatch, IID_IUnknown);
    const auto b = QueryInterfaceOf<IUnknown>(browser_.Get(), IID_IUnknown);
    return a && a.Get() == b.Get();
  }

  [[nodiscard]] RECT ToRect() const { return RECT{rect_.left, rect_.top, rect_.right, rect_.bottom}; }

  HostedBrowser* owner_;
  HWND parent_;
  Rect rect_;
  UniqueCom<IWebBrowser2> browser_;
  std::optional<Embedding> embedding_;
  std::optional<EventConnection> events_;
};

HostedBrowser::HostedBrowser(HWND parent, IWebBrowserEvents* handler, DWORD timeout_ms)
    : parent_(parent), handler_(handler), timeout_ms_(timeout_ms) {
  if (!ole_.initialized()) return;
  UniqueCom<ComObject<BrowserSite>> site = MakeComObject<BrowserSite>(this, parent_);
  if (site.Get()->Start()) {
    site_ = std::move(site);
    return;
  }
  site.Get()->Stop();
  LogOnce(L"browser-missing", L"web browser: no browser engine can be created; navigation will fail");
}

HostedBrowser::~HostedBrowser() {
  if (site_) site_.Get()->Stop();
}

void HostedBrowser::SetHandler(IWebBrowserEvents* handler) { handler_ = handler; }

void HostedBrowser::Place(const Rect& rect, bool visible) {
  if (site_) site_.Get()->Place(rect, visible);
}

namespace {

std::wstring HexStatus(long status) {
  wchar_t text[16];
  (void)std::swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(status));
  return text;
}

// The engine may hand a URL back with a trailing slash or in another case.
bool SameUrl(std::wstring a, std::wstring b) {
  if (!a.empty() && a.back() == L'/') a.pop_back();
  if (!b.empty() && b.back() == L'/') b.pop_back();
  return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

}  // namespace

bool HostedBrowser::Navigate(const std::wstring& url) {
  if (!site_) {
    LogLine(L"web browser: navigation to " + url + L" failed: no browser engine (reported at once)");
    ReportFailure(url, kNoEngine);
    return false;
  }
  pending_ = true;
  pending_url_ = url;
  pending_since_ = ::GetTickCount64();
  ++outstanding_;
  timed_out_url_.clear();
  const HRESULT result = site_.Get()->Navigate(url);
  if (FAILED(result)) {
    pending_ = false;
    outstanding_ = 0;
    LogLine(L"web browser: navigation to " + url + L" could not start (" + HexStatus(result) + L")");
    ReportFailure(url, static_cast<long>(result));
    return false;
  }
  return true;
}

void HostedBrowser::NavigationEnded(const std::wstring& url) {
  // An earlier navigation ending must not end the watch over the latest one.
  if (outstanding_ > 1 && !SameUrl(url, pending_url_)) {
    --outstanding_;
    return;
  }
  outstanding_ = 0;
  pending_ = false;
}

bool HostedBrowser::EngineReportedError(const std::wstring& url, long status) {
  if (!timed_out_url_.empty() && SameUrl(url, timed_out_url_)) {
    LogLine(L"web browser: the engine's failure of " + url + L" (" + HexStatus(status) +
            L") came after the time limit had reported it; not reported twice");
    timed_out_url_.clear();
    return false;
  }
  NavigationEnded(url);
  LogLine(L"web browser: navigation to " + url + L" failed, reported by the browser engine (" + HexStatus(status) +
          L")");
  return true;
}

bool HostedBrowser::CheckTimeout() {
  if (!pending_) return false;
  if (::GetTickCount64() - pending_since_ < timeout_ms_) return true;
  pending_ = false;
  outstanding_ = 0;
  timed_out_url_ = pending_url_;
  LogLine(L"web browser: navigation to " + pending_url_ + L" neither completed nor failed within " +
          platform::DecimalText(timeout_ms_) + L" ms; reported by the time limit");
  ReportFailure(pending_url_, kTimedOut);
  return false;
}

void HostedBrowser::ReportFailure(const std::wstring& url, long status) {
  if (handler_ == nullptr) return;
  UniqueBstr url_text(::SysAllocString(url.c_str()));
  VARIANT url_variant;
  ::VariantInit(&url_variant);
  url_variant.vt = VT_BSTR;
  url_variant.bstrVal = url_text.Get();
  VARIANT frame;
  ::VariantInit(&frame);
  VARIANT status_variant;
  ::VariantInit(&status_variant);
  status_variant.vt = VT_I4;
  status_variant.lVal = status;
  VARIANT_BOOL cancel = VARIANT_FALSE;
  handler_->NavigateError(nullptr, &url_variant, &frame, &status_variant, &cancel);
}

}  // namespace toolkit
