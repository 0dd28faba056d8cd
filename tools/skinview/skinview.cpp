// skinview: opens any window description of any skin archive, for skin
// authors. Usage: skinview skin.zip install.xml [--dpi N]
// The window shows as the program would show it; notifications and the
// toolkit's log lines go to skinview.log beside the archive. A description
// that cannot be built shows an error and ends with exit code 1.
#include <memory>
#include <string>

#include "platform/file_io.h"
#include "platform/text.h"
#include "platform/unique_resource.h"
#include "platform/windows_api.h"
// After windows.h, which it needs.
#include <shellapi.h>
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

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  const platform::UniqueLocalMemory arguments(::CommandLineToArgvW(::GetCommandLineW(), &argc));
  const auto* argv = static_cast<const LPWSTR*>(arguments.Get());
  if (argv == nullptr || argc < 3) {
    ::MessageBoxW(nullptr, L"usage: skinview skin.zip description.xml", L"skinview", MB_OK | MB_ICONINFORMATION);
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
  options.style |= WS_CAPTION;
  options.caption = L"skinview - " + description;
  if (!window->CreateOrExit(archive, description, options)) return 1;
  const int code = window->RunModal();
  toolkit::SetLogSink(nullptr);
  return code;
}
