// Drives setup.exe's wizard as a person does: real pointer and keyboard
// input on its windows (the main window, its questions, the drop-down list
// of the language box, the system's folder browser), with every control
// found where the skin description lays it out, never at a guessed point.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "e2e_scene.h"
#include "platform/windows_api.h"

namespace toolkit {
class WindowCore;
}

namespace e2e_test {

// Waits (polling, bounded) until `done`.
[[nodiscard]] bool WaitFor(const std::function<bool()>& done, DWORD bound_ms = 60000);

// A window description of the sandbox's skin laid out as setup.exe shows
// it, to find the controls' rectangles.
class SkinLayout {
 public:
  SkinLayout(const Scene& scene, const std::wstring& description);
  ~SkinLayout();
  SkinLayout(const SkinLayout&) = delete;
  SkinLayout& operator=(const SkinLayout&) = delete;

  // The same states the program sets (a page shown, the custom area open,
  // button texts that change a row's widths).
  void Select(const std::wstring& tab, int index);
  void SetAttribute(const std::wstring& name, const std::wstring& attribute, const std::wstring& value);
  // The client size in the description's units.
  void Resize(int width, int height);
  // The centre of a control in client coordinates (96 DPI).
  [[nodiscard]] POINT CenterOf(const std::wstring& name);
  [[nodiscard]] RECT RectOf(const std::wstring& name);
  // The pixels (0x00RRGGBB, row by row) of `rect` as the description paints
  // it in its current state.
  [[nodiscard]] std::vector<uint32_t> Paint(const RECT& rect);

 private:
  std::unique_ptr<toolkit::WindowCore> core_;
};

// The pixels (0x00RRGGBB, row by row) of `rect` of a window's client area
// as the screen shows it now.
[[nodiscard]] std::vector<uint32_t> ScreenPixels(HWND window, const RECT& rect);
// How many pixels of two equally sized captures differ.
[[nodiscard]] size_t DifferentPixels(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b);
// Whether the window shows the label `name` (laid out by `layout`) with
// `shown` rather than `other`: its pixels are nearer the description
// painted with the one text than with the other (waits for the paint).
[[nodiscard]] bool ShowsText(HWND window, SkinLayout& layout, const std::wstring& name, const std::wstring& shown,
                             const std::wstring& other);

// Texts of one language file of the sandbox.
[[nodiscard]] std::wstring LanguageText(const Scene& scene, const std::wstring& language, const char* key);
// The text of `key` with its "%1" replaced by the text of `argument_key`.
[[nodiscard]] std::wstring LanguageTextWith(const Scene& scene, const std::wstring& language, const char* key,
                                            const char* argument_key);

// Input as a person makes it: the window to the front, the pointer there.
void ClickIn(HWND window, POINT client_point);

// The visible top-level window of `process_id` with this class (and
// caption, unless empty), or null.
[[nodiscard]] HWND FindProcessWindow(DWORD process_id, const std::wstring& class_name,
                                     const std::wstring& caption = std::wstring());

// One wizard run: setup.exe started in the scene's sandbox, its main window.
class WizardRun {
 public:
  explicit WizardRun(const Scene& scene);
  [[nodiscard]] HWND window() const { return window_; }
  [[nodiscard]] const test_support::BackgroundProcess& process() const { return *process_; }
  // Waits (bounded) until the main log holds `text`.
  [[nodiscard]] bool LogSays(const std::string& text, DWORD bound_ms = 60000) const;
  // Waits until the log holds `text` `count` times.
  [[nodiscard]] bool LogSaysTimes(const std::string& text, int count, DWORD bound_ms = 60000) const;

  // A click on a control of the main window's description, laid out as
  // `layout` (which the caller keeps in the program's state), once the
  // window takes input again (a closing question enables it last).
  void Click(SkinLayout& layout, const std::wstring& name) const;
  // Answers the open question (description `dialog`, its button texts in
  // `language`) with the button `button` ("btn_ok", "btn_close").
  void Answer(const std::wstring& dialog, const std::wstring& language, const char* confirm_key,
              const char* dismiss_key, const std::wstring& button) const;
  // The open question's window, or null when none shows within the bound.
  [[nodiscard]] HWND Question(DWORD bound_ms = 30000) const;

  // The install folder field (the native edit over "editDir").
  [[nodiscard]] HWND FolderEdit() const;
  [[nodiscard]] std::wstring FolderText() const;
  // The window that takes the keyboard in setup.exe's UI thread.
  [[nodiscard]] HWND KeyboardFocus() const;

 private:
  const Scene& scene_;
  std::unique_ptr<test_support::BackgroundProcess> process_;
  HWND window_ = nullptr;
};

// The system's folder browser that setup.exe shows: waits for it, opens its
// tree down to `folder` (a path on a drive), selects it and presses OK; or
// presses Cancel.
[[nodiscard]] bool ChooseInFolderBrowser(const WizardRun& run, const std::wstring& folder);
[[nodiscard]] bool CancelFolderBrowser(const WizardRun& run);

}  // namespace e2e_test
