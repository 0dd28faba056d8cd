#include "ui/main_window.h"

#include <atomic>

#include "platform/message_pump.h"
#include "startup/launch_parameters.h"
#include "startup/log.h"
#include "toolkit/control.h"
#include "toolkit/geometry.h"
#include "toolkit/skin_resources.h"
#include "toolkit/zip_archive.h"
#include "ui/copy_data.h"
#include "ui/folder_browser.h"
#include "ui/message_dialog.h"

namespace ui {
namespace {

constexpr wchar_t kTab[] = L"wizardTab";
constexpr int kProgressTabIndex = 1;

// The waits inside the pipeline dispatch through the platform pump, whose
// pre-translator is a plain function: it reaches the one main window here.
std::atomic<MainWindow*> g_filtering_window{nullptr};

bool FilterForPumps(MSG& message) {
  MainWindow* window = g_filtering_window.load();
  return window != nullptr && window->FilterMessage(message);
}

bool IsRoutedType(const std::wstring& type) { return type == L"click" || type == L"itemselect" || type == L"link"; }

bool IsWizardTimer(WPARAM id) { return id >= 20 && id <= 23; }

}  // namespace

class MainWindow::NativeWindow final : public toolkit::Window {
 public:
  explicit NativeWindow(MainWindow& owner) : owner_(owner) {}

 protected:
  void OnNotify(const toolkit::Notification& notification) override { owner_.OnNotify(notification); }
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) override {
    return owner_.OnMessage(message, wparam, lparam, result);
  }
  bool PreTranslateMessage(MSG* message) override { return owner_.FilterMessage(*message); }

 private:
  MainWindow& owner_;
};

MainWindow::MainWindow() : window_(std::make_unique<NativeWindow>(*this)) {}

MainWindow::~MainWindow() {
  MainWindow* self = this;
  if (g_filtering_window.compare_exchange_strong(self, nullptr)) platform::SetMessagePreTranslator(nullptr);
}

bool MainWindow::Open(std::shared_ptr<const toolkit::ZipArchive> archive, const std::wstring& description,
                      const std::wstring& caption) {
  archive_ = archive;
  toolkit::WindowOptions options;
  options.caption = caption;  // a second instance finds the window by it
  options.style = WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX;
  options.ex_style = WS_EX_APPWINDOW;
  options.icon = kWindowIcon;
  options.decode_images_ahead = true;
  options.taskbar_progress = true;
  if (!window_->CreateOrExit(std::move(archive), description, options)) return false;
  window_->SetFirstFrameHook([this] {
    if (hooks_.first_frame) hooks_.first_frame();
  });
  regions_ = ClickRegionsFromConfig();
  g_filtering_window = this;
  platform::SetMessagePreTranslator(&FilterForPumps);
  return true;
}

void MainWindow::ClearHooks() {
  hooks_ = {};
  handlers_.clear();
  intercept_ = false;
}

int MainWindow::RunModal() { return window_->RunModal(); }

HWND MainWindow::hwnd() const { return window_->hwnd(); }

toolkit::Window& MainWindow::toolkit_window() { return *window_; }

void MainWindow::SetAttribute(std::wstring_view name, std::wstring_view attribute, const std::wstring& value) {
  if (window_->is_created()) (void)window_->SetAttribute(name, attribute, value);
}

void MainWindow::SelectItem(std::wstring_view name, int index) {
  if (window_->is_created()) (void)window_->SelectItem(name, index);
}

std::wstring MainWindow::ReadState(std::wstring_view name, std::wstring_view attribute) const {
  if (!window_->is_created()) return {};
  return window_->ReadState(name, attribute).value_or(std::wstring());
}

void MainWindow::FillCombo(std::wstring_view name, const std::vector<std::wstring>& items,
                           const std::wstring& selected_text) {
  if (window_->is_created()) (void)window_->FillCombo(name, items, selected_text);
}

void MainWindow::RegisterHandler(const std::wstring& name, ControlHandler handler) {
  handlers_[name] = std::move(handler);
}

int MainWindow::FittingWidth(std::wstring_view name, const std::wstring& text) const {
  return window_->is_created() ? window_->TextWidth(name, text) : 0;
}

void MainWindow::Resize(int width, int height) {
  HWND window = hwnd();
  if (window == nullptr) return;
  const int dpi = window_->core().dpi();
  RECT outer{0, 0, toolkit::ScaleBy(width, dpi), toolkit::ScaleBy(height, dpi)};
  ::AdjustWindowRectEx(&outer, static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_EXSTYLE)));
  window_->Resize(outer.right - outer.left, outer.bottom - outer.top);
}

void MainWindow::Minimize() {
  if (HWND window = hwnd()) ::PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
}

void MainWindow::Quit() {
  // Hidden at once; destroyed by the owner after the modal run has ended,
  // which happens once every wait on the stack has seen the quit and returned.
  window_->Hide();
  ::PostQuitMessage(0);
}

void MainWindow::SetTimer(UINT id, UINT elapse_ms) { (void)window_->SetTimer(id, elapse_ms); }

void MainWindow::KillTimer(UINT id) { window_->KillTimer(id); }

void MainWindow::SetTaskbarProgress(toolkit::TaskbarState state, int percent) {
  window_->SetTaskbarProgress(state, percent);
}

void MainWindow::PostToUiThread(std::function<void()> work) { window_->PostToUiThread(std::move(work)); }

bool MainWindow::CatchUp() { return platform::DispatchPendingMessages(); }

int MainWindow::ShowDialog(const DialogTexts& texts) {
  if (hwnd() == nullptr) return kDialogNoOwner;
  if (open_dialogs_ > 0) {
    // One question at a time; the window is disabled while one is open.
    startup::Log("Question %s not shown: another one is open\n", texts.description);
    return kDialogClosed;
  }
  ++open_dialogs_;
  MessageDialog dialog(texts);
  const int result = dialog.Run(archive_, hwnd());
  --open_dialogs_;
  startup::Log("Question %s answered %d\n", texts.description, result);
  return result;
}

std::wstring MainWindow::BrowseForFolder() { return BrowseForFolderOwnedBy(hwnd()); }

bool MainWindow::LoadWebContent(const std::wstring& name, const std::wstring& url, toolkit::IWebBrowserEvents* events) {
  if (!window_->is_created() || !window_->SetBrowserEventHandler(name, events)) return false;
  window_->Navigate(name, L"about:blank");
  window_->Navigate(name, url);
  return true;
}

void MainWindow::OnNotify(const toolkit::Notification& notification) {
  if (!IsRoutedType(notification.type) || notification.sender_name.empty()) return;
  if (handlers_.find(notification.sender_name) == handlers_.end()) return;
  // The handler runs from the queue, after the input message is done: the
  // mouse capture is released before a handler opens a dialog or runs the
  // pipeline, and the control's own state is settled.
  ControlEvent event{notification.type, notification.sender_name, notification.index, notification.text};
  window_->PostToUiThread([this, event] {
    const auto found = handlers_.find(event.name);
    if (found != handlers_.end() && found->second) found->second(event);
  });
}

bool MainWindow::OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  switch (message) {
    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) != SC_CLOSE) return false;
      [[fallthrough]];
    case WM_CLOSE:
      // Title bar, Alt+F4, Esc, the taskbar: the wizard's confirmation decides.
      if (hooks_.close) hooks_.close();
      *result = 0;
      return true;
    case WM_TIMER:
      if (!IsWizardTimer(wparam)) return false;
      if (hooks_.timer) hooks_.timer(static_cast<UINT>(wparam));
      *result = 0;
      return true;
    case WM_COPYDATA: {
      const auto* block = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
      if (block == nullptr) return false;
      const std::optional<std::wstring> url =
          ReceivedAdUrl(block->dwData, block->lpData, block->cbData, startup::Parameters().IsTrialAdEdition());
      if (url) startup::Parameters().Insert("receivedAdUrl", *url);  // the first address stays
      *result = url ? TRUE : FALSE;
      return true;
    }
    default: return false;
  }
}

bool MainWindow::FilterMessage(const MSG& message) {
  HWND window = hwnd();
  if (!intercept_ || window == nullptr || message.message != WM_LBUTTONDOWN) return false;
  if (message.hwnd != window && !::IsChild(window, message.hwnd)) return false;
  if (CurrentIndex(kTab) != kProgressTabIndex) return false;
  // The point is in the coordinates of the window the message is for (the
  // browser's own child windows included).
  POINT point{static_cast<short>(LOWORD(message.lParam)), static_cast<short>(HIWORD(message.lParam))};
  ::ClientToScreen(message.hwnd, &point);
  RECT frame;
  ::GetWindowRect(window, &frame);
  // The regions are in the description's units, like the web content they
  // cover: at 150 % they are half as large again.
  const int dpi = window_->core().dpi();
  const ClickRegions scaled{toolkit::ScaleBy(regions_.drag_width, dpi), toolkit::ScaleBy(regions_.drag_height, dpi),
                            toolkit::ScaleBy(regions_.minimize_width, dpi),
                            toolkit::ScaleBy(regions_.minimize_height, dpi)};
  switch (ClassifyClick(scaled, {frame.left, frame.top}, point)) {
    case ClickAction::Drag:
      ::ReleaseCapture();
      ::SendMessageW(window, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(point.x, point.y));
      return true;
    case ClickAction::Minimize: ::SendMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0); return true;
    case ClickAction::None: return false;
  }
  return false;
}

}  // namespace ui
