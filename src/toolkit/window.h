// A native top-level window showing one window description: the host of a
// WindowCore. It decodes each message into a named handler, paints the
// invalidated region double-buffered, drags by the caption, shows tooltips
// and the drop-down list of combo boxes, hosts the native children the
// controls ask for (NativeEdits, hosted browsers), runs control timers
// (ControlTimers), runs modeless or modal, and offers the control operations
// the program uses. Work from other threads reaches it only as owned
// closures posted to its thread (UiTaskQueue).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/gdi_owners.h"
#include "toolkit/taskbar_state.h"
#include "toolkit/ui_task_queue.h"
#include "toolkit/web_browser_events.h"
#include "toolkit/window_core.h"

namespace toolkit {

class ZipArchive;
class ControlTimers;
class HostedBrowser;
class TaskbarButton;
class DropDownList;
class Combo;
class NativeEdits;
class WebBrowser;

// What happens when a main window cannot be built. The default shows an
// error box and ends the process with exit code 1; tests replace it.
using FatalErrorHandler = std::function<void(const std::wstring& message)>;
void SetFatalErrorHandler(FatalErrorHandler handler);
void ReportFatalError(const std::wstring& message);

struct WindowOptions {
  HWND owner = nullptr;
  std::wstring caption;  // the description's title when empty
  DWORD style = WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX;
  DWORD ex_style = 0;
  std::wstring icon;  // .ico file in the skin archive; none when empty
  // The skin's images are decoded on a helper thread from the start, those
  // the window shows first first: a main window then shows its first frame
  // and later pages without decoding while the user waits.
  bool decode_images_ahead = false;
  // The window shows progress on its taskbar button (SetTaskbarProgress):
  // the shell's interface is asked for once the first frame is up, not
  // when the first progress comes.
  bool taskbar_progress = false;
};

class Window {
 public:
  Window();
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Builds the description and creates the (hidden) native window. False
  // with `error` set when the description cannot be built (the window then
  // has no controls, and every operation answers as for a missing control)
  // or when the window exists already.
  [[nodiscard]] bool Create(std::shared_ptr<const ZipArchive> archive, const std::wstring& description_file,
                            const WindowOptions& options, std::wstring* error = nullptr);
  // The same for a main window: on failure the fatal-error handler runs
  // (by default the process ends with exit code 1).
  [[nodiscard]] bool CreateOrExit(std::shared_ptr<const ZipArchive> archive, const std::wstring& description_file,
                                  const WindowOptions& options);

  // The native window (UI thread), from its creation until it is destroyed.
  [[nodiscard]] HWND hwnd() const { return window_.Get(); }
  [[nodiscard]] WindowCore& core();
  [[nodiscard]] bool is_created() const { return hwnd() != nullptr; }

  void ShowModeless();
  // Shows the window, disables its owner and pumps messages until the window
  // closes; answers the close code. A WM_QUIT seen meanwhile is re-posted.
  int RunModal();
  // Posts the close: the window closes when the message is handled.
  void Close(int code);
  void Hide();
  void CenterOnOwner();
  // Outer size in pixels; the top-left corner stays unless the window would
  // then leave its screen's work area.
  void Resize(int width, int height);
  bool SetTimer(UINT id, UINT elapse_ms);
  void KillTimer(UINT id);

  // Control operations (names; absence is no error).
  [[nodiscard]] Control* FindControl(std::wstring_view name) const;
  bool SetAttribute(std::wstring_view name, std::wstring_view attribute, const std::wstring& value);
  bool SelectItem(std::wstring_view name, int index);
  [[nodiscard]] std::optional<std::wstring> ReadState(std::wstring_view name, std::wstring_view attribute) const;
  bool FillCombo(std::wstring_view name, const std::vector<std::wstring>& items, const std::wstring& selected_text);
  void SetControlHandler(const std::wstring& name, NotificationHandler handler);
  // The width `text` (mark-up counted as its plain text) takes in the named
  // control's font plus the control's text insets, in the description's
  // units: set as the control's "width", it fits at every DPI without being
  // scaled twice. The default font when the control is missing.
  [[nodiscard]] int TextWidth(std::wstring_view name, const std::wstring& text) const;

  // Web browser controls. The handler is not owned and must outlive the
  // window. Navigate may be called from any thread.
  bool SetBrowserEventHandler(const std::wstring& name, IWebBrowserEvents* handler);
  void Navigate(const std::wstring& name, const std::wstring& url);

  // Progress on the window's taskbar button; nothing where the shell
  // offers no such display (asked once, on first use).
  void SetTaskbarProgress(TaskbarState state, int percent);

  // Runs `hook` once, on the window's thread, when its first frame is on
  // the screen: at the first idle tick after the first paint, which comes
  // only after the thread has waited for messages (a window's drawing
  // reaches the screen then). Set before the window shows. For work the
  // first frame must not wait for.
  void SetFirstFrameHook(std::function<void()> hook) { first_frame_hook_ = std::move(hook); }

  // Runs `work` on the window's thread (from any thread); dropped if the
  // window is gone first.
  void PostToUiThread(std::function<void()> work);

  // The open drop-down list of a combo box, or null.
  [[nodiscard]] DropDownList* drop_down() const { return drop_down_.get(); }

 protected:
  // Window-wide notifications ("windowinit", "click", …).
  virtual void OnNotify(const Notification& notification) { (void)notification; }
  // Every message first; true when handled (then `result` is returned).
  virtual bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
    (void)message, (void)wparam, (void)lparam, (void)result;
    return false;
  }
  // Messages of the modal loop before dispatch; true consumes the message.
  virtual bool PreTranslateMessage(MSG* msg) {
    (void)msg;
    return false;
  }

 private:
  class Host;
  friend class Host;
  static LRESULT CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
  // The messages' handlers (points in client coordinates unless named `screen`).
  void OnPaint();
  void OnSize(WPARAM kind, Size client);
  void OnMouseMove(Point point);
  void OnMouseLeave();
  void OnButtonDown(Point point);
  void OnButtonUp(Point point);
  void OnCaptureChanged(HWND gaining);
  void OnMouseWheel(Point screen, int delta, bool shift);
  void OnMouseTilt(Point screen, int delta);
  void OnSetCursor();
  [[nodiscard]] LRESULT OnHitTest(Point screen);
  void OnGetMinMaxInfo(MINMAXINFO& info);
  bool OnKeyDown(UINT key);
  void OnTimer(UINT id);
  void OnDpiChanged(int dpi, const RECT& suggested);
  void OnCloseRequest(int code);
  void OnNcDestroy(HWND hwnd);
  [[nodiscard]] Point ClientPoint(Point screen) const;
  void CreateNativeChildren();
  void PlaceNativeChildren();
  void ApplyDpi(int dpi);
  void UpdateTooltip(Point point);
  void ShowFocus(Control* control);
  bool OpenDropDown(Combo& combo);
  void CloseDropDown();
  void DropDownDone(UINT generation, int chosen);

  std::unique_ptr<Host> core_;
  std::unique_ptr<NativeEdits> edits_;  // goes before the controls it points to
  UniqueWindow window_;
  HWND owner_ = nullptr;
  HWND tooltip_ = nullptr;
  Control* tooltip_for_ = nullptr;
  UniqueGdiObject back_buffer_;
  Size back_buffer_size_;
  UniqueMemoryDc back_dc_;
  UniqueIcon big_icon_;
  UniqueIcon small_icon_;
  std::unique_ptr<ControlTimers> timers_;
  // The hosted browsers by control name, each with the control it shows in.
  // Making one loads the system's browser (tens of milliseconds): that waits
  // until the first frame is on the screen, or until it is first needed.
  struct Browser {
    WebBrowser* control = nullptr;
    IWebBrowserEvents* handler = nullptr;  // handed to the native one when it is made
    std::unique_ptr<HostedBrowser> native;
  };
  HostedBrowser& NativeBrowser(Browser& browser);
  // After the first frame, when idle: the parts that take long to make.
  void StartIdleParts();
  // Idle parts too: nothing shows them before the first frame.
  void ApplyIcon();
  void CreateTooltip();
  std::shared_ptr<const ZipArchive> icon_archive_;  // until the icon is applied
  std::wstring icon_file_;
  std::map<std::wstring, Browser> browsers_;
  std::unique_ptr<TaskbarButton> taskbar_;  // made on first use
  std::unique_ptr<DropDownList> drop_down_;
  Combo* drop_down_for_ = nullptr;
  UINT drop_down_generation_ = 0;  // tells a late answer of a closed list apart
  bool tracking_mouse_ = false;
  bool closed_ = false;
  int close_code_ = 0;
  bool window_init_sent_ = false;
  bool first_frame_painted_ = false;
  bool first_frame_reported_ = false;  // the first idle tick came
  std::function<void()> first_frame_hook_;
  bool tooltip_made_ = false;  // tried, whether or not it could be made
  bool taskbar_progress_ = false;
  UiTaskQueue queue_;
};

}  // namespace toolkit
