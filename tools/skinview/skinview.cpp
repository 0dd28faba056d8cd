// skinview: opens any window description of any skin archive, for skin
// authors. Usage:
//   skinview skin.zip install.xml [--frameless] [--select NAME=INDEX]
//            [--set NAME.ATTRIBUTE=VALUE] [--size WIDTH,HEIGHT] [--hot NAME]
//            [--png OUT.png [--dpi DPI]]
// The window shows as the program would show it; notifications and the
// toolkit's log lines go to skinview.log beside the archive. A description
// that cannot be built shows an error and ends with exit code 1.
// --png renders the window off screen at DPI (default 96; 144 is 150 %)
// into a PNG file instead of showing it, so a change can be reviewed, or
// compared, without a display or clicking; it ends with 0 when the file is
// written and 1 otherwise (the reason in skinview.log and on stderr). Native
// edit boxes draw their text themselves there, as before the window opens.
// The options put the window into a state a page would, so every page and
// state can be looked at (and captured) without clicking through a run:
// --frameless draws no native frame and rounds the corners as the
// description asks; --select picks an item of a tab layout or combo box;
// --set sets any attribute (repeatable, applied in order); --size resizes
// the window to WIDTH x HEIGHT in 96-DPI units, as a page does; --hot shows
// a control as if the pointer rested on it.
#include <functional>
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
#include "toolkit/window_core.h"
#include "toolkit/window_description.h"
#include "toolkit/zip_archive.h"
#include "png_file.h"

namespace {

// Rendering beyond 480 DPI (500 %) is no preview any more, only a big bitmap.
constexpr int kMinDpi = 48;
constexpr int kMaxDpi = 480;

bool IsPreviewDpi(const std::wstring& value) {
  const std::optional<int> dpi = toolkit::ParseInt(value);
  return dpi && *dpi >= kMinDpi && *dpi <= kMaxDpi;
}

void AppendLog(const std::wstring& log_path, const std::wstring& line) {
  (void)platform::AppendToFile(log_path, platform::WideToUtf8(line + L"\r\n"));  // a lost line only
}

class ViewerWindow : public toolkit::Window {
 public:
  explicit ViewerWindow(std::wstring log_path) : log_path_(std::move(log_path)) {}
  void Write(const std::wstring& line) { AppendLog(log_path_, line); }

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
  std::wstring png;        // render into this file instead of showing the window
  std::optional<int> dpi;  // of the rendering
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
      options->assignments.push_back(
          {value.substr(0, dot), value.substr(dot + 1, equals - dot - 1), value.substr(equals + 1)});
    } else if (option == L"--size" && toolkit::ParseSize(value)) {
      options->size = toolkit::ParseSize(value);
    } else if (option == L"--hot") {
      options->hot.push_back(value);
    } else if (option == L"--png" && !value.empty()) {
      options->png = value;
    } else if (option == L"--dpi" && IsPreviewDpi(value)) {
      options->dpi = toolkit::ParseInt(value);
    } else {
      *bad = option + L" " + value;
      return false;
    }
  }
  if (options->dpi && options->png.empty()) {
    *bad = L"--dpi (only with --png: on screen the system's DPI applies)";
    return false;
  }
  return true;
}

// Puts the window (a native one or an off-screen core) into the state the
// options ask for; what does not apply is logged.
template <class Target>
void ApplyState(Target& target, const ViewOptions& view, const std::function<void(const std::wstring&)>& log) {
  for (const auto& assignment : view.assignments) {
    if (!target.SetAttribute(assignment.control, assignment.attribute, assignment.value)) {
      log(L"--set: no attribute \"" + assignment.attribute + L"\" on a control \"" + assignment.control + L"\"");
    }
  }
  for (const auto& [control, index] : view.selections) {
    if (!target.SelectItem(control, index))
      log(L"--select: no item " + std::to_wstring(index) + L" in \"" + control + L"\"");
  }
  for (const std::wstring& name : view.hot) {
    if (toolkit::Control* control = target.FindControl(name)) control->SetStateFlag(toolkit::kStateHot, true);
  }
}

// --png: the description rendered off screen at the asked DPI.
int RenderToPng(std::shared_ptr<const toolkit::ZipArchive> archive, const std::wstring& description,
                const ViewOptions& view, const std::wstring& log_path) {
  const auto fail = [&log_path](const std::wstring& message) {
    AppendLog(log_path, message);
    const std::string text = platform::WideToUtf8(L"skinview: " + message + L"\n");
    DWORD written = 0;
    (void)::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written,
                      nullptr);  // no console is no error: the log has it
    return 1;
  };
  if (archive->members().empty()) return fail(L"the skin archive is missing or damaged");
  toolkit::DescriptionResult built = toolkit::BuildWindowDescription(std::move(archive), description);
  if (!built.description) return fail(L"\"" + description + L"\" cannot be built: " + built.error);
  const int dpi = view.dpi.value_or(96);  // the units descriptions are written in
  toolkit::WindowCore core(std::move(built.description), dpi);
  ApplyState(core, view, [&log_path](const std::wstring& line) { AppendLog(log_path, line); });
  core.Resize(view.size ? toolkit::Size{toolkit::ScaleBy(view.size->cx, dpi), toolkit::ScaleBy(view.size->cy, dpi)}
                        : core.PreferredClientSize());
  if (!WritePngFile(view.png, core.Render())) return fail(L"cannot write " + view.png);
  return 0;
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
        L"[--set NAME.ATTRIBUTE=VALUE] [--size WIDTH,HEIGHT] [--hot NAME] [--png OUT.png [--dpi 48-480]]" +
        (bad.empty() ? std::wstring() : L"\n\nnot understood: " + bad);
    ::MessageBoxW(nullptr, usage.c_str(), L"skinview", MB_OK | MB_ICONINFORMATION);
    return 2;
  }
  const std::wstring archive_path = argv[1];
  const std::wstring description = argv[2];
  (void)toolkit::EnableDpiAwareness();
  const toolkit::ScopedOle ole;  // for the web browsers a description may hold

  const size_t slash = archive_path.find_last_of(L"\\/");
  const std::wstring log_path =
      (slash == std::wstring::npos ? std::wstring() : archive_path.substr(0, slash + 1)) + L"skinview.log";
  toolkit::SetLogSink([&log_path](const std::wstring& line) { AppendLog(log_path, line); });
  auto archive = std::make_shared<toolkit::ZipArchive>();
  (void)archive->OpenFile(archive_path);  // a refused archive is reported below
  if (!view.png.empty()) {
    const int code = RenderToPng(archive, description, view, log_path);
    toolkit::SetLogSink(nullptr);
    return code;
  }

  auto window = std::make_unique<ViewerWindow>(log_path);
  ViewerWindow* raw = window.get();
  toolkit::WindowOptions options;
  if (!view.frameless) options.style |= WS_CAPTION;
  options.caption = L"skinview - " + description;
  if (!window->CreateOrExit(archive, description, options)) return 1;
  ApplyState(*window, view, [raw](const std::wstring& line) { raw->Write(line); });
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
