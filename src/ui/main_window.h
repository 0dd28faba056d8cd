// The wizard's one top-level window: the toolkit window of the variant's
// description, the IWindowOperations the pages use, routing of control
// notifications to the handlers pages registered by name, the close
// command, the timers, the copy-data message of the web content and the
// click filter over the web content's title strip.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "toolkit/window.h"
#include "ui/click_filter.h"
#include "ui/window_operations.h"

namespace toolkit {
class ZipArchive;
}

namespace ui {

class MainWindow final : public IWindowOperations {
 public:
  struct Hooks {
    std::function<void()> close;         // the close command, whatever its source
    std::function<void(UINT id)> timer;  // the wizard's timers (20 to 23)
    std::function<void()> first_frame;   // once, when the first frame is on the screen
  };

  MainWindow();
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Builds the window (hidden); a description that cannot be built ends the
  // process through the toolkit's fatal-error handler.
  [[nodiscard]] bool Open(std::shared_ptr<const toolkit::ZipArchive> archive, const std::wstring& description,
                          const std::wstring& caption);
  void SetHooks(Hooks hooks) { hooks_ = std::move(hooks); }
  // Before the pages go: no handler or hook is called any more.
  void ClearHooks();
  // Shows the window and dispatches until it closes or the wizard quits.
  int RunModal();

  [[nodiscard]] HWND hwnd() const;
  [[nodiscard]] toolkit::Window& toolkit_window();

  // IWindowOperations.
  void SetAttribute(std::wstring_view name, std::wstring_view attribute, const std::wstring& value) override;
  void SelectItem(std::wstring_view name, int index) override;
  [[nodiscard]] std::wstring ReadState(std::wstring_view name, std::wstring_view attribute) const override;
  void FillCombo(std::wstring_view name, const std::vector<std::wstring>& items,
                 const std::wstring& selected_text) override;
  void RegisterHandler(const std::wstring& name, ControlHandler handler) override;
  [[nodiscard]] int FittingWidth(std::wstring_view name, const std::wstring& text) const override;
  void Resize(int width, int height) override;
  void Minimize() override;
  void Quit() override;
  void SetTimer(UINT id, UINT elapse_ms) override;
  void KillTimer(UINT id) override;
  void SetTaskbarProgress(toolkit::TaskbarState state, int percent) override;
  void PostToUiThread(std::function<void()> work) override;
  [[nodiscard]] bool CatchUp() override;
  [[nodiscard]] int ShowDialog(const DialogTexts& texts) override;
  [[nodiscard]] std::wstring BrowseForFolder() override;
  [[nodiscard]] bool LoadWebContent(const std::wstring& name, const std::wstring& url,
                                    toolkit::IWebBrowserEvents* events) override;
  void SetInterceptWebEvents(bool intercept) override { intercept_ = intercept; }

  // The click filter, for every message before dispatch (the modal loop and
  // the waits inside the pipeline); true when it took the message.
  bool FilterMessage(const MSG& message);

 private:
  class NativeWindow;
  void OnNotify(const toolkit::Notification& notification);
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result);

  std::unique_ptr<NativeWindow> window_;
  std::shared_ptr<const toolkit::ZipArchive> archive_;
  std::map<std::wstring, ControlHandler> handlers_;
  Hooks hooks_;
  ClickRegions regions_;
  bool intercept_ = false;
  int open_dialogs_ = 0;
};

}  // namespace ui
