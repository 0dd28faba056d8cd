// The narrow set of operations a wizard page has on its window: controls by
// name, the window's size and timers, the modal questions, the folder
// browser, the web content panel and the UI thread's queue. The main window
// implements it over the toolkit; tests use a recording fake, so the pages'
// logic runs without a screen.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/windows_api.h"
#include "toolkit/taskbar_state.h"

namespace toolkit {
class IWebBrowserEvents;
}

namespace ui {

// A control's notification as the pages see it: "click", "itemselect" or
// "link" (with the link's index and target text).
struct ControlEvent {
  std::wstring type;
  std::wstring name;
  int index = 0;
  std::wstring text;
};

using ControlHandler = std::function<void(const ControlEvent&)>;

// One modal question: the dialog description and its five texts.
struct DialogTexts {
  std::wstring description;  // for example "QuitInstallDialog.xml"
  std::wstring title;        // "dialogName"
  std::wstring confirm;      // "btn_ok"
  std::wstring dismiss;      // "btn_close"
  std::wstring tip;          // "lb_TipsText"
  std::wstring detail;       // "lb_TipsDetailText"
};

// What a question answered. Only kDialogConfirm is a yes.
enum DialogResult : int {
  kDialogNoOwner = -1,      // nothing was shown
  kDialogClosed = 0,        // keyboard, Alt+F4 or a quit request
  kDialogConfirm = 1,       // "btn_ok"
  kDialogDismiss = 2,       // "btn_close"
  kDialogClosePicture = 8,  // "btn_ClosePic"
};

class IWindowOperations {
 public:
  virtual ~IWindowOperations() = default;

  // Controls by name; a missing control is no error: a set does nothing and
  // a read answers the empty text.
  virtual void SetAttribute(std::wstring_view name, std::wstring_view attribute, const std::wstring& value) = 0;
  virtual void SelectItem(std::wstring_view name, int index) = 0;
  [[nodiscard]] virtual std::wstring ReadState(std::wstring_view name, std::wstring_view attribute) const = 0;
  virtual void FillCombo(std::wstring_view name, const std::vector<std::wstring>& items,
                         const std::wstring& selected_text) = 0;
  // The handler hears "click", "itemselect" and "link" of that control; a
  // later registration under the same name replaces the earlier one.
  virtual void RegisterHandler(const std::wstring& name, ControlHandler handler) = 0;
  // The width `text` needs in the control `name` (its font and text
  // insets), in the description's units, so the toolkit scales it once.
  [[nodiscard]] virtual int FittingWidth(std::wstring_view name, const std::wstring& text) const = 0;

  // The window: size in the description's units (top-left corner kept).
  virtual void Resize(int width, int height) = 0;
  virtual void Minimize() = 0;
  // Ends the wizard: the window hides at once and the modal run ends once
  // every handler on the stack has returned (inner waits see the quit).
  virtual void Quit() = 0;
  virtual void SetTimer(UINT id, UINT elapse_ms) = 0;
  virtual void KillTimer(UINT id) = 0;
  // Progress on the window's taskbar button (percent 0 to 100); nothing
  // where the system has no such display.
  virtual void SetTaskbarProgress(toolkit::TaskbarState state, int percent) = 0;
  // Runs `work` on the UI thread later; callable from any thread.
  virtual void PostToUiThread(std::function<void()> work) = 0;
  // Answers what waits now (sent messages, input, posted work, the paint of
  // what changed) before long work on the UI thread; false once a quit is
  // pending.
  [[nodiscard]] virtual bool CatchUp() = 0;

  // A modal question over this window (see DialogResult).
  [[nodiscard]] virtual int ShowDialog(const DialogTexts& texts) = 0;
  // The folder browser; empty when cancelled.
  [[nodiscard]] virtual std::wstring BrowseForFolder() = 0;

  // Web content: binds `events` (not owned; it must outlive the window) to
  // the browser control and loads `url` after a blank page. False when the
  // control is missing.
  [[nodiscard]] virtual bool LoadWebContent(const std::wstring& name, const std::wstring& url,
                                            toolkit::IWebBrowserEvents* events) = 0;
  // Whether clicks on the web content's drag and minimise regions are taken.
  virtual void SetInterceptWebEvents(bool intercept) = 0;

  // Current index of a tab layout or combo box; 0 when missing.
  [[nodiscard]] int CurrentIndex(std::wstring_view name) const;
  [[nodiscard]] bool IsTrue(std::wstring_view name, std::wstring_view attribute) const {
    return ReadState(name, attribute) == L"true";
  }
  void SetVisible(std::wstring_view name, bool visible) {
    SetAttribute(name, L"visible", visible ? L"true" : L"false");
  }
  void SetText(std::wstring_view name, const std::wstring& text) { SetAttribute(name, L"text", text); }
};

}  // namespace ui
