// skinview: opens any window description of any skin archive, for skin
// authors. Usage:
//   skinview skin.zip install.xml [--frameless] [--select NAME=INDEX]
//            [--set NAME.ATTRIBUTE=VALUE] [--size WIDTH,HEIGHT] [--hot NAME]
// The window shows as the program would show it; notifications and the
// toolkit's log lines go to skinview.log beside the archive. A description
// that cannot be built shows an error and ends with exit code 1.
// The options put the window into a state a page would, so every page and
// state can be looked at (and captured) without clicking through a run:
// --frameless draws no native frame and rounds the corners as the
// description asks; --select picks an item of a tab layout or combo box;
// --set sets any attribute (repeatable, applied in order); --size resizes
// the window to WIDTH x HEIGHT in 96-DPI units, as a page does; --hot shows
// a control as if the pointer rested on it.
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_io.h"
#include "platform/text.h"
#include "platform/unique_resource.h"
#include "platform/windows_api.h"
// After windows.h, which it needs.
#include <shellapi.h>
#include "toolkit/attribute_values.h"
#include "toolkit/com_owners.h"
#include "toolkit/dpi.h"
#include "toolkit/log.h"
#include "toolkit/window.h"
#include "toolkit/zip_archive.h"

namespace {

class ViewerWindow : public toolkit::Window {
 public:
  explicit ViewerWindow(std::wstring log_path) : log_path_(std::move(log_path)) {}
  void Write(const std::wstring& line) { (void)platform::AppendToFile(log_path_, platform::WideToUtf8(line + L"\r\n")); }

 protected:
  void OnNotify(const toolkit::Notification& n) override {
    Write(L"notify " + n.type + L" \"" + n.sender_name + L"\" " + std::to_wstring(n.index) +
          (n.text.empty() ? L"" : L" " + n.text));
  }
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) override {
    (void)lparam;
    if (message == WM_SYSCOMMAND && (wparam & 0xFFF0) == SC_CLOSE) {
      Close(0);
      *result = 0;
      return true;
    }
    return false;
  }

 private:
  std::wstring log_path_;
};

}  // namespace

// What the command line asks for beyond the archive and the description.
struct ViewOptions {
  bool frameless = false;
  std::vector<std::pair<std::wstring, int>> selections;  // control, item
  struct Assignment {
    std::wstring control, attribute, value;
  };
  std::vector<Assignment> assignments;
  std::optional<toolkit::Size> size;  // 96-DPI units
  std::vector<std::wstring> hot;
};

// False (with the offending argument) when an option is malformed.
bool ParseOptions(int argc, LPWSTR* argv, ViewOptions* options, std::wstring* bad) {
  for (int i = 3; i < argc; ++i) {
    const std::wstring option = argv[i];
    if (option == L"--frameless") {
      options->frameless = true;
      continue;
    }
    if (i + 1 >= argc) {
      *bad = option;
      return false;
    }
    const std::wstring value = argv[++i];
    const size_t equals = value.find(L'=');
    if (option == L"--select" && equals != std::wstring::npos) {
      const std::optional<int> index = toolkit::ParseInt(value.substr(equals + 1));
      if (!index) {
        *bad = value;
        return false;
      }
      options->selections.emplace_back(value.substr(0, equals), *index);
    } else if (option == L"--set" && equals != std::wstring::npos && value.find(L'.') < equals) {
      const size_t dot = value.find(L'.');
      options->assignments.push_back({value.substr(0, dot), value.substr(dot + 1, equals - dot - 1), value.substr(equals + 1)});
    } else if (option == L"--size" && toolkit::ParseSize(value)) {
      options->size = toolkit::ParseSize(value);
    } else if (option == L"--hot") {
      options->hot.push_back(value);
    } else {
      *bad = option + L" " + value;
      return false;
    }
  }
  return true;
}

// The frameless dialogs of the program round their corners with a region
// the description sizes; a frameless preview does the same.
void RoundCorners(HWND hwnd, int corner) {
  if (corner <= 0) return;
  RECT client;
  ::GetClientRect(hwnd, &client);
  toolkit::UniqueGdiObject region(::CreateRoundRectRgn(0, 0, client.right + 1, client.bottom + 1, corner, corner));
  if (region && ::SetWindowRgn(hwnd, static_cast<HRGN>(region.Get()), TRUE) != 0) {
    (void)region.Release();  // the window owns it now
  }
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  const platform::UniqueLocalMemory arguments(::CommandLineToArgvW(::GetCommandLineW(), &argc));
  auto* argv = static_cast<LPWSTR*>(arguments.Get());
  ViewOptions view;
  std::wstring bad;
  if (argv == nullptr || argc < 3 || !ParseOptions(argc, argv, &view, &bad)) {
    const std::wstring usage =
        L"usage: skinview skin.zip description.xml [--frameless] [--select NAME=INDEX] "
        L"[--set NAME.ATTRIBUTE=VALUE] [--size WIDTH,HEIGHT] [--hot NAME]" +
        (bad.empty() ? std::wstring() : L"\n\nnot understood: " + bad);
    ::MessageBoxW(nullptr, usage.c_str(), L"skinview", MB_OK | MB_ICONINFORMATION);
    return 2;
  }
  const std::wstring archive_path = argv[1];
  const std::wstring description = argv[2];
  (void)toolkit::EnableDpiAwareness();
  const toolkit::ScopedOle ole;  // for the web browsers a description may hold

  const size_t slash = archive_path.find_last_of(L"\\/");
  auto window = std::make_unique<ViewerWindow>(
      (slash == std::wstring::npos ? std::wstring() : archive_path.substr(0, slash + 1)) + L"skinview.log");
  ViewerWindow* raw = window.get();
  toolkit::SetLogSink([raw](const std::wstring& line) { raw->Write(line); });

  auto archive = std::make_shared<toolkit::ZipArchive>();
  (void)archive->OpenFile(archive_path);  // a refused archive is reported below
  toolkit::WindowOptions options;
  if (!view.frameless) options.style |= WS_CAPTION;
  options.caption = L"skinview - " + description;
  if (!window->CreateOrExit(archive, description, options)) return 1;
  for (const auto& assignment : view.assignments) {
    if (!window->SetAttribute(assignment.control, assignment.attribute, assignment.value)) {
      raw->Write(L"--set: no attribute \"" + assignment.attribute + L"\" on a control \"" + assignment.control + L"\"");
    }
  }
  for (const auto& [control, index] : view.selections) {
    if (!window->SelectItem(control, index)) raw->Write(L"--select: no item " + std::to_wstring(index) + L" in \"" + control + L"\"");
  }
  for (const std::wstring& name : view.hot) {
    if (toolkit::Control* control = window->FindControl(name)) control->SetStateFlag(toolkit::kStateHot, true);
  }
  const int dpi = toolkit::DpiOfWindow(window->hwnd());
  if (view.size) {
    RECT outer{0, 0, toolkit::ScaleBy(view.size->cx, dpi), toolkit::ScaleBy(view.size->cy, dpi)};
    ::AdjustWindowRectEx(&outer, static_cast<DWORD>(::GetWindowLongPtrW(window->hwnd(), GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongPtrW(window->hwnd(), GWL_EXSTYLE)));
    window->Resize(outer.right - outer.left, outer.bottom - outer.top);
    window->CenterOnOwner();  // a taller window stays on the screen
  }
  if (view.frameless) RoundCorners(window->hwnd(), toolkit::ScaleBy(window->core().description().round_corner, dpi));
  const int code = window->RunModal();
  toolkit::SetLogSink(nullptr);
  return code;
}
