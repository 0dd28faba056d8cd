#include "toolkit/window.h"

#include <commctrl.h>

#include "platform/text.h"
#include "toolkit/combo.h"
#include "toolkit/common_controls.h"
#include "toolkit/control_timers.h"
#include "toolkit/dpi.h"
#include "toolkit/drop_down_list.h"
#include "toolkit/hosted_browser.h"
#include "toolkit/ico_file.h"
#include "toolkit/log.h"
#include "toolkit/markup.h"
#include "toolkit/native_edits.h"
#include "toolkit/skin_resources.h"
#include "toolkit/taskbar_button.h"
#include "toolkit/web_browser.h"
#include "toolkit/window_class.h"
#include "toolkit/window_messages.h"
#include "toolkit/zip_archive.h"

namespace toolkit {
namespace {

constexpr wchar_t kClassName[] = L"ToolkitWindow";
constexpr size_t kMaxDropDownItems = 10000;
// How often pending browser navigations are checked against their limit.
constexpr UINT kBrowserWatchPeriodMs = 100;

FatalErrorHandler& FatalHandler() {
  static FatalErrorHandler handler;
  return handler;
}

// A window without a description (before Create, or after it failed): an
// empty root, so every operation finds nothing and answers so.
std::unique_ptr<WindowDescription> EmptyDescription() {
  auto description = std::make_unique<WindowDescription>();
  description->root = std::make_unique<Control>(L"Window");
  description->resources = std::make_shared<SkinResources>(nullptr);
  return description;
}

// Sent to every top-level window when the shell makes its taskbar button
// (also after the shell restarts).
UINT TaskbarButtonCreatedMessage() {
  static const UINT message = ::RegisterWindowMessageW(L"TaskbarButtonCreated");
  return message;
}

enum class Which { kShown, kAll };

// The images the controls draw in their usual state, in the tree's order
// (a tab layout's pages in the order of their tabs): those that show at
// first, or all.
std::vector<std::wstring> TreeImages(Control& root, Which which) {
  std::vector<std::wstring> files;
  WalkTree(root, [&files, which](Control& control) {
    if (which == Which::kShown && !control.visible()) return Walk::kPastChildren;
    for (const ImageDescription* image :
         {&control.style().bk_image, &control.style().normal_image, &control.style().fore_image}) {
      if (!image->file.empty()) files.push_back(image->file);
    }
    return Walk::kIntoChildren;
  });
  return files;
}

Point PointFromLParam(LPARAM lparam) {
  return {static_cast<int>(static_cast<short>(LOWORD(lparam))), static_cast<int>(static_cast<short>(HIWORD(lparam)))};
}

}  // namespace

void SetFatalErrorHandler(FatalErrorHandler handler) { FatalHandler() = std::move(handler); }

void ReportFatalError(const std::wstring& message) {
  LogLine(L"fatal: " + message);
  if (FatalHandler()) {
    FatalHandler()(message);
    return;
  }
  ::MessageBoxW(nullptr, message.c_str(), L"Error", MB_OK | MB_ICONERROR);
  ::ExitProcess(1);
}

// The window's ControlHost: connects the core's requests to the native
// window, and makes the native children the controls ask for.
class Window::Host : public WindowCore, public NativeChildren {
 public:
  Host(Window& window, std::unique_ptr<WindowDescription> description, int dpi)
      : WindowCore(std::move(description), dpi), window_(window) {}

  [[nodiscard]] HWND native_window() const override { return window_.hwnd(); }

  void SetControlTimer(Control* control, UINT id, UINT elapse_ms) override {
    if (window_.timers_) (void)window_.timers_->Set(control, id, elapse_ms);
  }

  void KillControlTimer(Control* control, UINT id) override {
    if (window_.timers_) window_.timers_->Kill(control, id);
  }

  void ControlRemoved(Control* control) override {
    WindowCore::ControlRemoved(control);
    if (window_.timers_) window_.timers_->KillAll(control);
    if (window_.edits_) window_.edits_->Remove(control);
    std::erase_if(window_.browsers_, [control](const auto& entry) { return entry.second.control == control; });
    if (window_.tooltip_for_ == control) window_.tooltip_for_ = nullptr;
    if (window_.drop_down_for_ == control) window_.CloseDropDown();
  }

  bool OpenDropDown(Combo& combo) override { return window_.OpenDropDown(combo); }

  void AddEdit(Edit& edit) override { window_.edits_->Add(edit); }

  void AddBrowser(WebBrowser& browser) override {
    if (browser.name().empty()) return;
    window_.browsers_[browser.name()] = {&browser, nullptr, nullptr};
  }

 protected:
  void OnInvalidate(const Rect& rect) override {
    if (window_.hwnd() == nullptr) return;
    RECT r{rect.left, rect.top, rect.right, rect.bottom};
    ::InvalidateRect(window_.hwnd(), &r, FALSE);
  }
  void OnFocusChanged(Control* focused) override { window_.ShowFocus(focused); }

 private:
  Window& window_;
};

Window::Window() : core_(std::make_unique<Host>(*this, EmptyDescription(), 96)), queue_(kRunQueuedMessage) {}

WindowCore& Window::core() { return *core_; }

Control* Window::FindControl(std::wstring_view name) const { return core_->FindControl(name); }

Window::~Window() {
  taskbar_.reset();
  browsers_.clear();
  timers_.reset();
  // This object goes first: the window's last messages must not reach it.
  if (window_) ::SetWindowLongPtrW(window_.Get(), GWLP_USERDATA, 0);
  window_.Reset();
}

bool Window::Create(std::shared_ptr<const ZipArchive> archive, const std::wstring& description_file,
                    const WindowOptions& options, std::wstring* error) {
  if (is_created()) {
    if (error != nullptr) *error = L"the window exists already";
    return false;
  }
  DescriptionResult built = BuildWindowDescription(archive, description_file);
  if (!built.description) {
    if (error != nullptr) *error = built.error;
    return false;
  }
  // The image decoders start on the helper while this thread readies the
  // display for the class and the DPI (tens of milliseconds each).
  if (options.decode_images_ahead) built.description->resources->BeginDecodingAhead();
  if (!RegisterToolkitWindowClass(kClassName, StaticProc, CS_DBLCLKS)) {
    if (error != nullptr) *error = L"the window class cannot be registered";
    return false;
  }
  if (options.decode_images_ahead)
    built.description->resources->DecodeAhead(DpiOfWindow(nullptr), TreeImages(*built.description->root, Which::kShown),
                                              TreeImages(*built.description->root, Which::kAll));
  const std::wstring title = options.caption.empty() ? built.description->title : options.caption;
  core_ = std::make_unique<Host>(*this, std::move(built.description), 96);
  core_->SetNotificationSink([this](const Notification& notification) { OnNotify(notification); });
  owner_ = options.owner;
  taskbar_progress_ = options.taskbar_progress;
  HWND hwnd = ::CreateWindowExW(options.ex_style, kClassName, title.c_str(), options.style & ~WS_VISIBLE, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, options.owner, nullptr,
                                ::GetModuleHandleW(nullptr), this);
  if (hwnd == nullptr) {
    if (error != nullptr)
      *error = L"the native window cannot be created (" + platform::DecimalText(::GetLastError()) + L")";
    core_ = std::make_unique<Host>(*this, EmptyDescription(), 96);
    return false;
  }
  timers_ = std::make_unique<ControlTimers>(hwnd, kFirstControlTimer, kLastControlTimer);
  icon_file_ = options.icon;
  if (!icon_file_.empty()) icon_archive_ = std::move(archive);
  ApplyDpi(DpiOfWindow(hwnd));
  CreateNativeChildren();
  CenterOnOwner();
  return true;
}

void Window::ApplyIcon() {
  std::string bytes;
  if (icon_archive_->Read(icon_file_, &bytes) == ZipError::kNone) {
    big_icon_ = IconFromIcoBytes(bytes, ::GetSystemMetrics(SM_CXICON));
    small_icon_ = IconFromIcoBytes(bytes, ::GetSystemMetrics(SM_CXSMICON));
    if (big_icon_) ::SendMessageW(window_.Get(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big_icon_.Get()));
    if (small_icon_) ::SendMessageW(window_.Get(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon_.Get()));
  }
  if (!big_icon_) LogOnce(L"icon:" + icon_file_, L"window icon \"" + icon_file_ + L"\" cannot be loaded");
  icon_file_.clear();
  icon_archive_.reset();
}

void Window::CreateTooltip() {
  const INITCOMMONCONTROLSEX init{sizeof(init), ICC_WIN95_CLASSES};
  const CommonControls& controls = LoadCommonControls();
  if (controls.init != nullptr) (void)controls.init(&init);
  tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_.Get(), nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
  // A tooltip window that cannot be made is not asked for again.
  if (tooltip_ == nullptr) LogOnce(L"tooltip", L"the tooltip window cannot be made");
  tooltip_made_ = true;
}

bool Window::CreateOrExit(std::shared_ptr<const ZipArchive> archive, const std::wstring& description_file,
                          const WindowOptions& options) {
  std::wstring error;
  if (archive == nullptr || archive->members().empty()) {
    error = L"The skin archive is missing or damaged.";
  } else if (Create(std::move(archive), description_file, options, &error)) {
    return true;
  }
  ReportFatalError(L"The window \"" + description_file + L"\" cannot be shown:\n" + error);
  return false;
}

void Window::ApplyDpi(int dpi) {
  core_->SetDpi(dpi);
  const Size client = core_->PreferredClientSize();
  RECT outer{0, 0, client.cx, client.cy};
  HWND hwnd = window_.Get();
  ::AdjustWindowRectEx(&outer, static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_EXSTYLE)));
  ::SetWindowPos(hwnd, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (edits_) edits_->ApplyFonts();
}

void Window::CreateNativeChildren() {
  edits_ = std::make_unique<NativeEdits>(window_.Get(), *core_);
  WalkTree(*core_->root(), [this](Control& control) {
    control.RequestNative(*core_);
    return Walk::kIntoChildren;
  });
}

void Window::PlaceNativeChildren() {
  // Nothing is made before the first frame (but an edit given the focus):
  // the edits it shows paint their own text in it and get their children
  // when the window is idle, and the frame lays out once, not once per
  // change. After it, a control just shown has no place until the layout.
  if (first_frame_painted_) core_->LayoutIfNeeded();
  if (edits_) edits_->Place(first_frame_painted_ ? Waiting::kShown : Waiting::kNone);
  for (auto& [name, browser] : browsers_) {
    if (browser.native) browser.native->Place(browser.control->rect(), browser.control->IsVisibleInTree());
  }
}

void Window::ShowModeless() {
  HWND hwnd = window_.Get();
  if (hwnd == nullptr) return;
  ::ShowWindow(hwnd, SW_SHOW);
  ::UpdateWindow(hwnd);
  if (!window_init_sent_) {
    window_init_sent_ = true;
    core_->Notify({L"windowinit", nullptr, L"", 0, L""});
  }
}

int Window::RunModal() {
  HWND hwnd = window_.Get();
  if (hwnd == nullptr) return -1;
  const bool disable_owner = owner_ != nullptr && ::IsWindowEnabled(owner_);
  if (disable_owner) ::EnableWindow(owner_, FALSE);
  ShowModeless();
  MSG msg;
  while (!closed_) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      // Someone asked the thread to quit: leave the loop and pass it on.
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (got < 0) break;
    if (msg.hwnd == hwnd || ::IsChild(hwnd, msg.hwnd)) {
      if (PreTranslateMessage(&msg)) continue;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  if (disable_owner) ::EnableWindow(owner_, TRUE);
  return close_code_;
}

void Window::Close(int code) {
  if (HWND hwnd = window_.Get()) ::PostMessageW(hwnd, kCloseMessage, static_cast<WPARAM>(code), 0);
}

void Window::Hide() {
  CloseDropDown();
  if (HWND hwnd = window_.Get()) ::ShowWindow(hwnd, SW_HIDE);
}

void Window::CenterOnOwner() {
  HWND hwnd = window_.Get();
  if (hwnd == nullptr) return;
  RECT window, area;
  ::GetWindowRect(hwnd, &window);
  if (owner_ != nullptr && ::IsWindowVisible(owner_)) {
    ::GetWindowRect(owner_, &area);
  } else {
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  }
  const int width = window.right - window.left, height = window.bottom - window.top;
  const int x = area.left + (area.right - area.left - width) / 2;
  const int y = area.top + (area.bottom - area.top - height) / 2;
  ::SetWindowPos(hwnd, nullptr, std::max<int>(x, area.left), std::max<int>(y, area.top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Window::Resize(int width, int height) {
  HWND hwnd = window_.Get();
  if (hwnd == nullptr) return;
  width = std::max(1, width);
  height = std::max(1, height);
  RECT now;
  ::GetWindowRect(hwnd, &now);
  if (now.right - now.left == width && now.bottom - now.top == height) return;  // a move and relayout for nothing
  // A window that grows past the bottom or right of its screen's work area
  // moves up or left just enough to stay whole (never above or left of it).
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  LONG left = now.left, top = now.top;
  if (::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &monitor)) {
    const RECT& area = monitor.rcWork;
    if (left + width > area.right) left = std::max(area.left, area.right - width);
    if (top + height > area.bottom) top = std::max(area.top, area.bottom - height);
  }
  const UINT move = left == now.left && top == now.top ? SWP_NOMOVE : 0;
  ::SetWindowPos(hwnd, nullptr, left, top, width, height, move | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Window::SetTimer(UINT id, UINT elapse_ms) {
  HWND hwnd = window_.Get();
  return hwnd != nullptr && id < kFirstControlTimer && ::SetTimer(hwnd, id, elapse_ms, nullptr) != 0;
}

void Window::KillTimer(UINT id) {
  if (HWND hwnd = window_.Get()) ::KillTimer(hwnd, id);
}

bool Window::SetAttribute(std::wstring_view name, std::wstring_view attribute, const std::wstring& value) {
  const bool done = core_->SetAttribute(name, attribute, value);
  if (done && (attribute == L"visible" || attribute == L"enabled" || attribute == L"text")) PlaceNativeChildren();
  return done;
}

bool Window::SelectItem(std::wstring_view name, int index) {
  const bool done = core_->SelectItem(name, index);
  if (done) PlaceNativeChildren();
  return done;
}

std::optional<std::wstring> Window::ReadState(std::wstring_view name, std::wstring_view attribute) const {
  return core_->ReadState(name, attribute);
}

bool Window::FillCombo(std::wstring_view name, const std::vector<std::wstring>& items,
                       const std::wstring& selected_text) {
  return core_->FillCombo(name, items, selected_text);
}

int Window::TextWidth(std::wstring_view name, const std::wstring& text) const {
  const Control* control = core_->FindControl(name);
  const int dpi = core_->dpi();
  const std::wstring plain = HasMarkup(text) ? PlainText(ParseMarkup(text)) : text;
  HFONT font = core_->resources().Font(control != nullptr ? control->style().font : -1, dpi);
  SIZE extent{};
  {
    const ScopedWindowDc screen(nullptr);
    const ScopedSelectObject select(screen.Get(), font);
    (void)::GetTextExtentPoint32W(screen.Get(), plain.c_str(), static_cast<int>(plain.size()), &extent);
  }
  // Measured at the window's scale, brought back to description units
  // (rounded up); one more unit keeps the rounding of the way back from
  // clipping the last pixel.
  int units = (extent.cx * 96 + dpi - 1) / dpi;
  if (control != nullptr) units += control->style().text_padding.left + control->style().text_padding.right;
  return units + 1;
}

void Window::SetControlHandler(const std::wstring& name, NotificationHandler handler) {
  core_->SetControlHandler(name, std::move(handler));
}

bool Window::SetBrowserEventHandler(const std::wstring& name, IWebBrowserEvents* handler) {
  auto found = browsers_.find(name);
  if (found == browsers_.end()) return false;
  found->second.handler = handler;
  if (found->second.native) found->second.native->SetHandler(handler);
  return true;
}

void Window::Navigate(const std::wstring& name, const std::wstring& url) {
  PostToUiThread([this, name, url] {
    auto found = browsers_.find(name);
    if (found == browsers_.end()) return;
    if (NativeBrowser(found->second).Navigate(url))
      ::SetTimer(window_.Get(), kBrowserWatchTimer, kBrowserWatchPeriodMs, nullptr);
  });
}

void Window::SetTaskbarProgress(TaskbarState state, int percent) {
  HWND hwnd = window_.Get();
  if (hwnd == nullptr) return;
  if (!taskbar_) {
    if (!taskbar_progress_ || state == TaskbarState::None) return;  // nothing shows yet: no need to ask the shell
    taskbar_ = std::make_unique<TaskbarButton>(hwnd);
  }
  taskbar_->Show(state, percent);
}

HostedBrowser& Window::NativeBrowser(Browser& browser) {
  if (!browser.native) {
    browser.native =
        std::make_unique<HostedBrowser>(window_.Get(), browser.handler, browser.control->navigate_timeout_ms());
    browser.native->Place(browser.control->rect(), browser.control->IsVisibleInTree());
  }
  return *browser.native;
}

void Window::StartIdleParts() {
  if (!first_frame_reported_) {
    first_frame_reported_ = true;
    if (first_frame_hook_) {
      const std::function<void()> hook = std::move(first_frame_hook_);
      first_frame_hook_ = nullptr;
      hook();
      return;  // a stall of its own, as each part below
    }
  }
  // One per tick: each is a stall of its own, and input may come between.
  // The edits on the screen come first: the user may click into them.
  if (edits_ && edits_->MakeNext(Waiting::kShown)) return;
  if (!icon_file_.empty()) {
    ApplyIcon();
    return;
  }
  if (!tooltip_made_) {
    CreateTooltip();
    return;
  }
  if (edits_ && edits_->MakeNext(Waiting::kAll)) return;
  if (taskbar_progress_ && !taskbar_) {
    taskbar_ = std::make_unique<TaskbarButton>(window_.Get());
    taskbar_->Connect();
    return;
  }
  for (auto& [name, browser] : browsers_) {
    if (browser.native) continue;
    (void)NativeBrowser(browser);
    return;
  }
  ::KillTimer(window_.Get(), kIdleStartTimer);
}

void Window::PostToUiThread(std::function<void()> work) { (void)queue_.Post(std::move(work)); }

void Window::ShowFocus(Control* control) {
  HWND native = edits_ != nullptr ? edits_->Make(control) : nullptr;
  HWND target = native != nullptr ? native : window_.Get();
  if (target != nullptr && ::GetFocus() != target && ::IsWindowVisible(window_.Get())) ::SetFocus(target);
}

bool Window::OpenDropDown(Combo& combo) {
  HWND hwnd = window_.Get();
  const std::vector<std::wstring>& items = combo.items();
  if (hwnd == nullptr || items.empty()) return false;
  // A second activation while the list is open closes it, as a click on an open combo does.
  if (drop_down_ != nullptr) {
    CloseDropDown();
    return false;
  }
  const int dpi = core_->dpi();
  DropDownList::Look look;
  look.dpi = dpi;
  look.font = core_->resources().Font(combo.style().font, dpi);
  TEXTMETRICW metrics{};
  {
    ScopedWindowDc dc(hwnd);
    ScopedSelectObject select(dc.Get(), look.font);
    ::GetTextMetricsW(dc.Get(), &metrics);
  }
  look.row_height = metrics.tmHeight + ScaleBy(6, dpi);
  look.visible_rows = combo.drop_rows();
  if (combo.drop_height() > 0) {
    look.visible_rows = std::max(1, std::min(look.visible_rows, ScaleBy(combo.drop_height(), dpi) / look.row_height));
  }
  std::vector<std::wstring> shown(
      items.begin(), items.begin() + static_cast<std::ptrdiff_t>(std::min(items.size(), kMaxDropDownItems)));
  auto list = std::make_unique<DropDownList>(std::move(shown), combo.selected(), look);
  RECT anchor{combo.rect().left, combo.rect().top, combo.rect().right, combo.rect().bottom};
  ::MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&anchor), 2);
  const UINT generation = ++drop_down_generation_;
  // The list ends inside its own message handling: the answer comes back
  // as a posted message, so the list is never destroyed under its own feet.
  if (!list->Open(hwnd, anchor, [hwnd, generation](int chosen) {
        ::PostMessageW(hwnd, kDropDownDoneMessage, generation, static_cast<LPARAM>(chosen));
      })) {
    LogLine(L"the drop-down list of a combo box cannot be shown (" + platform::DecimalText(::GetLastError()) + L")");
    return false;
  }
  drop_down_ = std::move(list);
  drop_down_for_ = &combo;
  return true;
}

void Window::CloseDropDown() {
  ++drop_down_generation_;  // an answer already posted is stale now
  drop_down_.reset();
  drop_down_for_ = nullptr;
}

void Window::DropDownDone(UINT generation, int chosen) {
  if (generation != drop_down_generation_ || drop_down_ == nullptr) return;
  Combo* combo = drop_down_for_;
  CloseDropDown();
  if (combo != nullptr && chosen >= 0) (void)combo->SelectItem(chosen, true);
}

void Window::UpdateTooltip(Point point) {
  Control* hot = point.x < 0 ? nullptr : core_->TooltipAt(point);
  if (tooltip_ == nullptr || hot == tooltip_for_) return;
  tooltip_for_ = hot;
  TOOLINFOW info{};
  info.cbSize = sizeof(info);
  info.hwnd = window_.Get();
  info.uId = 1;
  ::SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  if (hot == nullptr || hot->tooltip().empty()) return;
  std::wstring text = hot->tooltip();
  info.uFlags = TTF_SUBCLASS;
  info.rect = RECT{hot->rect().left, hot->rect().top, hot->rect().right, hot->rect().bottom};
  info.lpszText = text.data();
  ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  // The move that brought the pointer here came before the tool existed:
  // hand it over so the tooltip's delay starts now.
  MSG move{window_.Get(), WM_MOUSEMOVE, 0, MAKELPARAM(point.x, point.y), static_cast<DWORD>(::GetMessageTime()), {}};
  ::SendMessageW(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&move));
}

void Window::OnPaint() {
  ScopedPaint paint(window_.Get());
  HDC dc = paint.dc();
  if (dc == nullptr) return;
  core_->LayoutIfNeeded();
  PlaceNativeChildren();
  const Size client = core_->client_size();
  if (!back_buffer_ || back_buffer_size_.cx < client.cx || back_buffer_size_.cy < client.cy) {
    back_dc_.Reset(::CreateCompatibleDC(dc));
    back_buffer_.Reset(::CreateCompatibleBitmap(dc, std::max(1, client.cx), std::max(1, client.cy)));
    back_buffer_size_ = client;
  }
  const RECT& area = paint.area();
  const Rect dirty{area.left, area.top, area.right, area.bottom};
  if (back_dc_ && back_buffer_ && !dirty.empty()) {
    ScopedSelectObject select(back_dc_.Get(), back_buffer_.Get());
    {
      ScopedSaveDc saved(back_dc_.Get());
      ::IntersectClipRect(back_dc_.Get(), dirty.left, dirty.top, dirty.right, dirty.bottom);
      ::FillRect(back_dc_.Get(), &area, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
      core_->Paint(back_dc_.Get(), dirty, {});
    }
    ::BitBlt(dc, dirty.left, dirty.top, dirty.width(), dirty.height(), back_dc_.Get(), dirty.left, dirty.top, SRCCOPY);
  }
  (void)core_->TakeDirty();
  if (!first_frame_painted_) {
    first_frame_painted_ = true;
    core_->resources().ContinueDecodingAhead();
    // A timer comes only when no input or posted work waits: the native
    // edits, the icon, the tooltip, the browsers and the taskbar's interface
    // are made when the window is otherwise idle.
    ::SetTimer(window_.Get(), kIdleStartTimer, 0, nullptr);
  }
}

LRESULT CALLBACK Window::StaticProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* created = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    created->window_ = UniqueWindow(hwnd);
    created->queue_.SetWindow(hwnd);
  }
  auto* self = reinterpret_cast<Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(hwnd, message, wparam, lparam);
  return self->HandleMessage(hwnd, message, wparam, lparam);
}

// Decodes each message once into its handler; what a handler leaves
// unanswered goes to the default procedure.
LRESULT Window::HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
  LRESULT result = 0;
  if (OnMessage(message, wparam, lparam, &result)) return result;
  if (message == TaskbarButtonCreatedMessage() && message != 0) {
    if (taskbar_) taskbar_->ButtonCreated();
    return 0;
  }
  switch (message) {
    case WM_PAINT: OnPaint(); return 0;
    case WM_ERASEBKGND: return 1;
    // The list floats over this window only while the user works in it.
    case WM_ACTIVATE:
      if (LOWORD(wparam) == WA_INACTIVE) CloseDropDown();
      break;
    case WM_MOVE: CloseDropDown(); break;  // it would be left hanging where the combo was
    case WM_SIZE: OnSize(wparam, {LOWORD(lparam), HIWORD(lparam)}); return 0;
    case WM_MOUSEMOVE: OnMouseMove(PointFromLParam(lparam)); return 0;
    case WM_MOUSELEAVE: OnMouseLeave(); return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: OnButtonDown(PointFromLParam(lparam)); return 0;
    case WM_LBUTTONUP: OnButtonUp(PointFromLParam(lparam)); return 0;
    case WM_CAPTURECHANGED: OnCaptureChanged(reinterpret_cast<HWND>(lparam)); return 0;
    case WM_MOUSEWHEEL:
      OnMouseWheel(PointFromLParam(lparam), GET_WHEEL_DELTA_WPARAM(wparam),
                   (GET_KEYSTATE_WPARAM(wparam) & MK_SHIFT) != 0);
      return 0;
    case WM_MOUSEHWHEEL: OnMouseTilt(PointFromLParam(lparam), GET_WHEEL_DELTA_WPARAM(wparam)); return 0;
    case WM_SETCURSOR:
      if (LOWORD(lparam) != HTCLIENT) break;
      OnSetCursor();
      return TRUE;
    case WM_NCHITTEST: {
      const LRESULT hit = ::DefWindowProcW(hwnd, message, wparam, lparam);
      return hit == HTCLIENT ? OnHitTest(PointFromLParam(lparam)) : hit;
    }
    case WM_GETMINMAXINFO: OnGetMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lparam)); return 0;
    case WM_GETDLGCODE: return DLGC_WANTALLKEYS;
    case WM_KEYDOWN:
      if (OnKeyDown(static_cast<UINT>(wparam))) return 0;
      break;
    case WM_CHAR:
      if (drop_down_ != nullptr && drop_down_->Char(static_cast<wchar_t>(wparam))) return 0;
      break;
    case WM_SYSKEYDOWN: CloseDropDown(); break;
    case WM_COMMAND:
      if (edits_ != nullptr && edits_->OnCommand(wparam, lparam)) return 0;
      break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      if (edits_ == nullptr) break;
      return reinterpret_cast<LRESULT>(edits_->OnColor(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam)));
    case WM_TIMER: OnTimer(static_cast<UINT>(wparam)); return 0;
    case kDpiChangedMessage: OnDpiChanged(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam)); return 0;
    case WM_CLOSE: Close(IDCANCEL); return 0;
    case kCloseMessage: OnCloseRequest(static_cast<int>(wparam)); return 0;
    case kRunQueuedMessage: queue_.RunPending(); return 0;
    case kDropDownDoneMessage: DropDownDone(static_cast<UINT>(wparam), static_cast<int>(lparam)); return 0;
    case WM_NCDESTROY: OnNcDestroy(hwnd); break;
    default: break;
  }
  return ::DefWindowProcW(hwnd, message, wparam, lparam);
}

void Window::OnSize(WPARAM kind, Size client) {
  CloseDropDown();
  if (kind == SIZE_MINIMIZED) return;
  core_->Resize(client);
  core_->LayoutIfNeeded();
  PlaceNativeChildren();
}

void Window::OnMouseMove(Point point) {
  if (!tracking_mouse_) {
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window_.Get(), 0};
    tracking_mouse_ = ::TrackMouseEvent(&track) != FALSE;
  }
  core_->MouseMove(point);
  UpdateTooltip(point);
}

void Window::OnMouseLeave() {
  tracking_mouse_ = false;
  core_->MouseLeave();
  UpdateTooltip({-1, -1});
}

void Window::OnButtonDown(Point point) {
  HWND hwnd = window_.Get();
  ::SetCapture(hwnd);
  core_->ButtonDown(point);
  // A press on a native edit's control leaves the keys with the edit.
  if (edits_ == nullptr || edits_->NativeOf(core_->focused()) == nullptr) ::SetFocus(hwnd);
}

void Window::OnButtonUp(Point point) {
  // The core sees the release before the capture goes: releasing first
  // would report a lost capture and cancel the click.
  core_->ButtonUp(point);
  if (::GetCapture() == window_.Get()) ::ReleaseCapture();
}

void Window::OnCaptureChanged(HWND gaining) {
  if (core_->pushed() != nullptr && gaining != window_.Get()) core_->ButtonUp({-1, -1});
}

void Window::OnMouseWheel(Point screen, int delta, bool shift) {
  if (drop_down_ != nullptr) {
    drop_down_->Wheel(delta);
    return;
  }
  // Shift turns the wheel sideways, as in most programs.
  core_->Wheel(ClientPoint(screen), delta, shift);
}

void Window::OnMouseTilt(Point screen, int delta) {
  if (drop_down_ != nullptr) return;
  // A tilt to the right (positive) shows what lies to the right.
  core_->Wheel(ClientPoint(screen), -delta, true);
}

void Window::OnSetCursor() {
  POINT p;
  ::GetCursorPos(&p);
  HCURSOR cursor = core_->CursorAt(ClientPoint({p.x, p.y}));
  ::SetCursor(cursor != nullptr ? cursor : ::LoadCursorW(nullptr, IDC_ARROW));
}

LRESULT Window::OnHitTest(Point screen) {
  const Point p = ClientPoint(screen);
  core_->LayoutIfNeeded();
  // The description's size box: borders of the client that resize the window.
  const Edges box = ScaleBy(core_->description().size_box, core_->dpi());
  const Size client = core_->client_size();
  if (!::IsZoomed(window_.Get()) && (box.left | box.top | box.right | box.bottom) != 0) {
    const bool left = p.x < box.left, right = p.x >= client.cx - box.right;
    const bool top = p.y < box.top, bottom = p.y >= client.cy - box.bottom;
    if (top && left) return HTTOPLEFT;
    if (top && right) return HTTOPRIGHT;
    if (bottom && left) return HTBOTTOMLEFT;
    if (bottom && right) return HTBOTTOMRIGHT;
    if (left) return HTLEFT;
    if (right) return HTRIGHT;
    if (top) return HTTOP;
    if (bottom) return HTBOTTOM;
  }
  return core_->IsCaption(p) ? HTCAPTION : HTCLIENT;
}

void Window::OnGetMinMaxInfo(MINMAXINFO& info) {
  HWND hwnd = window_.Get();
  RECT frame{0, 0, 0, 0};
  ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_EXSTYLE)));
  const int extra_x = frame.right - frame.left, extra_y = frame.bottom - frame.top;
  const Size min = core_->description().min_size;
  const Size max = core_->description().max_size;
  if (min.cx > 0) info.ptMinTrackSize.x = ScaleBy(min.cx, core_->dpi()) + extra_x;
  if (min.cy > 0) info.ptMinTrackSize.y = ScaleBy(min.cy, core_->dpi()) + extra_y;
  if (max.cx > 0) info.ptMaxTrackSize.x = ScaleBy(max.cx, core_->dpi()) + extra_x;
  if (max.cy > 0) info.ptMaxTrackSize.y = ScaleBy(max.cy, core_->dpi()) + extra_y;
}

bool Window::OnKeyDown(UINT key) {
  // The open list has the keys first: Esc closes it, not the window.
  if (drop_down_ != nullptr && drop_down_->KeyDown(key)) return true;
  if (key == VK_ESCAPE) {
    ::PostMessageW(window_.Get(), WM_SYSCOMMAND, SC_CLOSE, 0);
    return true;
  }
  const bool shift = (::GetKeyState(VK_SHIFT) & 0x8000) != 0;
  return core_->KeyDown(static_cast<int>(key), shift);
}

void Window::OnTimer(UINT id) {
  if (id == kIdleStartTimer) {
    StartIdleParts();
    return;
  }
  if (id == kBrowserWatchTimer) {
    bool pending = false;
    for (auto& [name, browser] : browsers_) pending = (browser.native && browser.native->CheckTimeout()) || pending;
    if (!pending) ::KillTimer(window_.Get(), kBrowserWatchTimer);
    return;
  }
  if (timers_ && timers_->Fire(id)) return;
  core_->Notify({L"timer", nullptr, L"", static_cast<int>(id), L""});
}

void Window::OnDpiChanged(int dpi, const RECT& suggested) {
  core_->SetDpi(dpi);
  ::SetWindowPos(window_.Get(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  ApplyDpi(dpi);
}

void Window::OnCloseRequest(int code) {
  close_code_ = code;
  closed_ = true;
  CloseDropDown();
  // The owner comes back before this window goes, so activation returns to it.
  if (owner_ != nullptr) ::EnableWindow(owner_, TRUE);
  // Destroyed now but let go of only at WM_NCDESTROY: hwnd() stays valid
  // for the messages of the destruction.
  ::DestroyWindow(window_.Get());
}

void Window::OnNcDestroy(HWND hwnd) {
  CloseDropDown();
  taskbar_.reset();
  browsers_.clear();
  timers_.reset();
  edits_.reset();
  closed_ = true;
  ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  // Destroyed already (closed, or with its owner window): nothing is left to destroy.
  (void)window_.Release();
  queue_.SetWindow(nullptr);
}

Point Window::ClientPoint(Point screen) const {
  POINT p{screen.x, screen.y};
  ::ScreenToClient(window_.Get(), &p);
  return {p.x, p.y};
}

}  // namespace toolkit
